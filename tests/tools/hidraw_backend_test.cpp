#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/hid/hid.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa::hid {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> fromHex(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(text);
  std::string word;
  while (in >> word) bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  return bytes;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (const auto byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    if (!text.empty()) text += ' ';
    text += digits;
  }
  return text;
}

std::string status(IOReturn value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
  return text;
}

TEST(IOReturnFromErrno, Table) {
  const struct {
    int error;
    const char* expected;
  } rows[] = {
      {EACCES, "0xe00002e2"}, {EPERM, "0xe00002e2"},     {ENOENT, "0xe00002c0"},
      {ENODEV, "0xe00002c0"}, {ENXIO, "0xe00002c0"},     {EBUSY, "0xe00002d5"},
      {EPIPE, "0xe000404f"},  {ETIMEDOUT, "0xe00002d6"}, {EINVAL, "0xe00002c2"},
      {EIO, "0xe00002ca"},    {ENOTTY, "0xe00002bc"},    {0, "0xe00002bc"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(status(ioReturnFromErrno(row.error)), row.expected) << "errno " << row.error;
  }
}

// "vendor product page usage max-feature-size" in hex, "-" for a missing value.
std::string describe(const Device& device) {
  std::string text;
  for (const char* key :
       {"VendorID", "ProductID", "PrimaryUsagePage", "PrimaryUsage", "MaxFeatureReportSize"}) {
    const auto value = device.property(key);
    char number[16] = "-";
    if (value)
      std::snprintf(number, sizeof number, "%llx", static_cast<unsigned long long>(*value));
    text += (text.empty() ? "" : " ") + std::string(number);
  }
  return text;
}

// A hand-made sysfs/dev tree for discovery cases the simulator never produces.
class FakeDeviceTree : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zepa-hidraw-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "sys/class/hidraw");
    fs::create_directories(root_ / "dev");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // A node whose descriptor names `usage` as its primary usage, so the order is visible.
  void addNode(const std::string& name, const std::string& uevent, std::optional<int> usage) {
    const auto device = root_ / "sys/class/hidraw" / name / "device";
    fs::create_directories(device);
    std::ofstream(device / "uevent") << uevent;
    if (usage) {
      const auto bytes = fromHex("06 13 ff 09 " + hexByte(*usage) + " a1 01 75 08 95 40 b1 02 c0");
      std::ofstream(device / "report_descriptor", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    }
  }

  void writeDescriptor(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(root_ / "sys/class/hidraw" / name / "device/report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  static std::string hexByte(int value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", value & 0xFF);
    return text;
  }

  std::string discoveredUsages(std::uint16_t vendor = 0x0C45, std::uint16_t product = 0x800A) {
    std::string text;
    for (const auto& device : makeHidrawBackend(root_)->copyDevices(vendor, product)) {
      if (!text.empty()) text += ' ';
      const auto usage = device->property("PrimaryUsage");
      text += usage ? std::to_string(*usage) : "-";
    }
    return text;
  }

  fs::path root_;
};

constexpr const char* kZepa = "HID_ID=0003:00000C45:0000800A\nHID_NAME=ZEPA VX10\n";

TEST_F(FakeDeviceTree, UeventParsing) {
  const struct {
    const char* node;
    const char* uevent;
    bool matches;
  } rows[] = {
      {"hidraw1", "HID_ID=0003:00000C45:0000800A\n", true},
      {"hidraw2", "DRIVER=hid-generic\nHID_ID=0003:00000c45:0000800a\nHID_NAME=x\n", true},
      {"hidraw3", "HID_ID=0003:00000C45:0000800A", true},
      {"hidraw4", "HID_ID=0005:00000C45:0000800A\n", true},
      {"hidraw5", "HID_ID=0003:00000C45\n", false},
      {"hidraw6", "HID_ID=0003:00000C45:0000800G\n", false},
      {"hidraw7", "HID_ID=0003:00010C45:0000800A\n", false},
      {"hidraw8", "HID_ID=0003:00000C45:0001800A\n", false},
      {"hidraw9", "HID_ID=0003::0000800A\n", false},
      {"hidraw10", "HID_NAME=no id\n", false},
      {"hidraw11", "", false},
      {"hidraw12", "XHID_ID=0003:00000C45:0000800A\n", false},
      {"hidraw13", "HID_ID=0003:+0000C45:0000800A\n", false},
      {"hidraw14", "HID_ID=0003:00000C45:0000800A:0001\n", false},
  };
  std::string expected;
  for (const auto& row : rows) {
    const int number = std::atoi(row.node + 6);
    addNode(row.node, row.uevent, number);
    if (row.matches) expected += (expected.empty() ? "" : " ") + std::to_string(number);
  }
  EXPECT_EQ(discoveredUsages(), expected);
}

TEST_F(FakeDeviceTree, EntriesThatAreNotNodesAreIgnored) {
  for (const char* name : {"hidraw", "hidrawX", "hidraw-1", "hidraw1a", "event3", "hidraw3"}) {
    addNode(name, kZepa, 3);
  }
  EXPECT_EQ(discoveredUsages(), "3");
}

// An unreadable descriptor leaves the device listed with only its IDs known.
TEST_F(FakeDeviceTree, UnreadableDescriptor) {
  addNode("hidraw0", kZepa, std::nullopt);
  const auto devices = makeHidrawBackend(root_)->copyDevices(0x0C45, 0x800A);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(describe(*devices[0]), "c45 800a - - -");
  EXPECT_TRUE(makeHidrawBackend(root_ / "absent")->copyDevices(0x0C45, 0x800A).empty());
}

// The kernel hands out at most 4096 descriptor bytes; anything after them is not ours.
TEST_F(FakeDeviceTree, DescriptorReadStopsAt4096Bytes) {
  const auto collection = fromHex("05 01 09 06 a1 01");
  const struct {
    std::size_t padding;
    std::optional<std::int64_t> page;
  } rows[] = {{4096 - collection.size(), 0x01}, {4096 - collection.size() + 1, std::nullopt}};
  for (const auto& row : rows) {
    addNode("hidraw0", kZepa, std::nullopt);
    std::vector<std::uint8_t> bytes(row.padding, 0x00);
    bytes.insert(bytes.end(), collection.begin(), collection.end());
    writeDescriptor("hidraw0", bytes);
    const auto devices = makeHidrawBackend(root_)->copyDevices(0x0C45, 0x800A);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->property("PrimaryUsagePage"), row.page) << "padding " << row.padding;
  }
}

// Calls that must be refused before anything reaches the kernel.
TEST_F(FakeDeviceTree, RefusedCalls) {
  addNode("hidraw0", kZepa, 1);
  const auto devices = makeHidrawBackend(root_)->copyDevices(0x0C45, 0x800A);
  ASSERT_EQ(devices.size(), 1u);
  auto& device = *devices[0];
  EXPECT_EQ(status(device.open()), "0xe00002c0") << "node missing";
  std::ofstream(root_ / "dev/hidraw0") << "";
  const auto report = fromHex("06 82 01");
  std::vector<std::uint8_t> buffer(8);
  std::size_t length = buffer.size();

  EXPECT_EQ(status(device.setReport(ReportType::feature, 6, report)), "0xe00002cd") << "not open";
  EXPECT_EQ(status(device.getReport(ReportType::feature, 6, buffer, length)), "0xe00002cd");
  ASSERT_EQ(status(device.open()), "0x00000000");
  EXPECT_EQ(status(device.open()), "0x00000000") << "second open";

  const struct {
    const char* name;
    ReportType type;
    std::uint8_t id;
    std::string report;
    const char* expected;
  } rows[] = {
      {"ID byte differs", ReportType::feature, 6, "05 82 01", "0xe00002c2"},
      {"ID byte missing", ReportType::feature, 6, "", "0xe00002c2"},
      {"output report", ReportType::output, 0, "01 02", "0xe00002c7"},
      {"input report", ReportType::input, 0, "01 02", "0xe00002c7"},
      // A regular file has no HID ioctls: the kernel answers ENOTTY.
      {"no HID node", ReportType::feature, 6, "06 82 01", "0xe00002bc"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(status(device.setReport(row.type, row.id, fromHex(row.report))), row.expected)
        << row.name;
  }
  std::vector<std::uint8_t> empty;
  length = 0;
  EXPECT_EQ(status(device.getReport(ReportType::feature, 6, empty, length)), "0xe00002c2");
  EXPECT_EQ(status(device.setReport(ReportType::feature, 0, std::vector<std::uint8_t>(16383, 0))),
            "0xe00002c2")
      << "longer than an ioctl can carry";
  device.close();
  device.close();
  EXPECT_EQ(status(device.setReport(ReportType::feature, 6, report)), "0xe00002cd")
      << "after close";
}

// "<node> <op> <id> <bytes>" per call the simulator logged.
std::vector<std::string> reportLog(const test::SimMount& sim) {
  std::vector<std::string> lines;
  for (const auto& entry : sim.readLog()) {
    lines.push_back(entry.node + " " + entry.op + " " + std::to_string(entry.id) + " " +
                    toHex(entry.bytes));
  }
  return lines;
}

std::string zeroPadded(const std::string& hex, std::size_t size) {
  auto bytes = fromHex(hex);
  bytes.resize(size, 0);
  return toHex(bytes);
}

constexpr std::uint16_t kZepaVendor = 0x0C45, kZepaProduct = 0x800A;
constexpr std::uint16_t kHalvernVendor = 0x258A, kHalvernProduct = 0x010C;

// Eight unrelated devices first put the ZEPA nodes at hidraw8, 9 and 10.
TEST(HidrawOnSim, DiscoveryOrderAndProperties) {
  test::SimMount sim({"--extra-devices", "8"});
  ZEPA_REQUIRE_SIM(sim);
  const struct {
    std::uint16_t vendor, product;
    std::vector<std::string> devices;  // vendor product page usage max-feature, hex
  } rows[] = {
      {kZepaVendor, kZepaProduct, {"c45 800a 1 6 0", "c45 800a c 1 1", "c45 800a ff13 1 40"}},
      {kHalvernVendor, kHalvernProduct, {"258a 10c 1 6 0", "258a 10c ff00 1 208"}},
      {kZepaVendor, 0x800B, {}},
  };
  const auto backend = makeHidrawBackend(sim.root());
  for (const auto& row : rows) {
    std::vector<std::string> found;
    for (const auto& device : backend->copyDevices(row.vendor, row.product)) {
      found.push_back(describe(*device));
    }
    EXPECT_EQ(found, row.devices) << std::hex << row.vendor << ":" << row.product;
  }
}

std::unique_ptr<Device> configInterface(Backend& backend, bool halvern) {
  const auto wanted = halvern ? 520 : 64;
  for (auto& device : halvern ? backend.copyDevices(kHalvernVendor, kHalvernProduct)
                              : backend.copyDevices(kZepaVendor, kZepaProduct)) {
    if (device->property("MaxFeatureReportSize") == wanted) return std::move(device);
  }
  return nullptr;
}

// What the keyboard received and answered, byte for byte, with the report ID handled both ways.
TEST(HidrawOnSim, FeatureReportsReachTheKeyboardUnchanged) {
  test::SimMount sim({"--extra-devices", "8"});
  ZEPA_REQUIRE_SIM(sim);
  const auto backend = makeHidrawBackend(sim.root());
  const struct {
    bool halvern;
    std::uint8_t id;
    std::string report;  // zero-padded to the report length
    std::size_t length;
    std::string logged;  // node and report ID of the log lines
    std::string answerStart;
  } rows[] = {
      {false, 0, "04 18", 64, "hidraw10 SET 0", "04 18 00 01"},
      {false, 0, "01 02 03 04 05", 64, "hidraw10 SET 0", "01 02 03 01 00"},
      {true, 6, "06 82 01 00 01 00 06", 520, "hidraw12 SET 6", "06 82"},
      {true, 6, "06 84 00 00 01 00 80 00", 520, "hidraw12 SET 6", "06 84"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.report);
    auto device = configInterface(*backend, row.halvern);
    ASSERT_TRUE(device);
    ASSERT_EQ(status(device->open()), "0x00000000");
    const auto report = fromHex(zeroPadded(row.report, row.length));
    const auto before = reportLog(sim).size();
    EXPECT_EQ(status(device->setReport(ReportType::feature, row.id, report)), "0x00000000");

    std::vector<std::uint8_t> answer(row.length, 0);
    answer[0] = row.id;
    std::size_t length = answer.size();
    EXPECT_EQ(status(device->getReport(ReportType::feature, row.id, answer, length)), "0x00000000");
    EXPECT_EQ(length, row.length);
    answer.resize(std::min(length, answer.size()));
    EXPECT_EQ(toHex(answer).substr(0, row.answerStart.size()), row.answerStart);

    const auto log = reportLog(sim);
    ASSERT_EQ(log.size(), before + 2);
    EXPECT_EQ(log[before], row.logged + " " + toHex(report));
    const std::string get = std::string(row.logged).replace(row.logged.find("SET"), 3, "GET");
    EXPECT_EQ(log[before + 1], get + " " + toHex(answer));
  }
}

// Each injected fault as the device layer reports it: open, then a write and a read.
TEST(HidrawOnSim, FaultsMapToIOReturn) {
  const struct {
    const char* fault;
    bool halvern;
    std::string statuses;  // open set get
    std::size_t length;    // of a successful read
    std::string answerStart;
  } rows[] = {
      {"open:EACCES", false, "e00002e2", 0, ""},
      {"set:1:EPIPE", false, "00000000 e000404f 00000000", 64, ""},
      {"get:1:EIO", false, "00000000 00000000 e00002ca", 0, ""},
      {"get:1:short:10", false, "00000000 00000000 00000000", 10, "04 18 00 01 00 00 00 00 00 00"},
      {"get:1:short:10", true, "00000000 00000000 00000000", 10, "06 82"},
      {"get:1:nak", false, "00000000 00000000 00000000", 64, zeroPadded("", 64)},
      {"get:1:nak", true, "00000000 00000000 00000000", 520, zeroPadded("", 520)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.fault) + (row.halvern ? " halvern" : " zepa"));
    test::SimMount sim({"--fail", row.fault, row.halvern ? "--halvern" : "--zepa"});
    ZEPA_REQUIRE_SIM(sim);
    auto device = configInterface(*makeHidrawBackend(sim.root()), row.halvern);
    ASSERT_TRUE(device);
    std::string statuses = status(device->open()).substr(2);
    if (statuses == "00000000") {
      const auto report = fromHex(
          zeroPadded(row.halvern ? "06 82 01 00 01 00 06" : "04 18", row.halvern ? 520 : 64));
      statuses +=
          " " +
          status(device->setReport(ReportType::feature, row.halvern ? 6 : 0, report)).substr(2);
      std::vector<std::uint8_t> answer(report.size(), 0);
      answer[0] = report[0];
      std::size_t length = answer.size();
      statuses +=
          " " + status(device->getReport(ReportType::feature, row.halvern ? 6 : 0, answer, length))
                    .substr(2);
      if (row.length != 0) {
        EXPECT_EQ(length, row.length);
        answer.resize(std::min(length, answer.size()));
        EXPECT_EQ(toHex(answer).substr(0, row.answerStart.size()), row.answerStart);
      }
    }
    EXPECT_EQ(statuses, row.statuses);
  }
}

// The keyboard disappears between two calls: the open handle fails, discovery finds nothing.
TEST(HidrawOnSim, UnplugBetweenCalls) {
  test::SimMount sim({"--zepa", "--fail", "unplug:2"});
  ZEPA_REQUIRE_SIM(sim);
  const auto backend = makeHidrawBackend(sim.root());
  auto device = configInterface(*backend, false);
  ASSERT_TRUE(device);
  ASSERT_EQ(status(device->open()), "0x00000000");
  const auto report = fromHex(zeroPadded("04 18", 64));
  EXPECT_EQ(status(device->setReport(ReportType::feature, 0, report)), "0x00000000");
  EXPECT_EQ(status(device->setReport(ReportType::feature, 0, report)), "0xe00002c0");
  EXPECT_EQ(status(device->setReport(ReportType::feature, 0, report)), "0xe00002c0");
  device->close();
  EXPECT_EQ(status(device->open()), "0xe00002c0");
  EXPECT_TRUE(backend->copyDevices(kZepaVendor, kZepaProduct).empty());
}

}  // namespace
}  // namespace zepa::hid
