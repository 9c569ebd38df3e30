// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "protocol/hid/hid.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa::hid {
namespace {

using test::PrintTo;

namespace fs = std::filesystem;
using test::hex;

// "0" for success, else the status as eight hex digits.
std::string status(IOReturn value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return value ? text : "0";
}

// usbcore's answer for a device gone mid-transfer is an unplug; wire errors fail the transfer
// only. The other errno values take the same table lookup.
TEST(IOReturnFromErrno, DeviceGoneMidTransferIsNoDevice) {
  EXPECT_EQ(status(ioReturnFromErrno(ESHUTDOWN)), "e00002c0");
}

TEST(IOReturnFromErrno, WireErrorIsAnIOError) {
  EXPECT_EQ(status(ioReturnFromErrno(EPROTO)), "e00002ca");
}

// Each device's primary usage, "-" for one whose descriptor is gone.
std::string describe(const std::vector<std::unique_ptr<Device>>& devices) {
  std::string text;
  for (const auto& device : devices) {
    const auto usage = device->property("PrimaryUsage");
    text += (text.empty() ? "" : " ") + (usage ? std::to_string(*usage) : "-");
  }
  return text;
}

class TempTree : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_ = fs::path(testing::TempDir()) / ("zepa-hidraw-" + std::to_string(::getpid()));
};

// What the simulator never produces: uevents of other shapes and buses, a descriptor that
// went away mid-scan. Each descriptor's usage is its row number, so the order shows.
TEST_F(TempTree, DiscoveryListsMatchingNodesInNumericOrder) {
  const std::string id = "HID_ID=0003:00000C45:0000800A\n";
  const std::pair<const char*, std::string> rows[] = {
      {"hidraw1", id},
      {"hidraw2", "DRIVER=hid-generic\nHID_ID=0003:00000c45:0000800a\nHID_NAME=x\n"},
      {"hidraw3", "HID_ID=0005:00000C45:0000800A\n"},  // Bluetooth
      {"hidraw4", "HID_ID=0003:00000C45\n"},
      {"hidraw5", "HID_ID=0003:00010C45:0000800A\n"},
      {"hidraw6", "HID_ID=0003:00000C45:0000800G\n"},
      {"hidraw7", "X" + id},
      {"hidraw10", id},
      {"hidraw11", id},  // its descriptor is gone
  };
  for (std::uint8_t usage = 1; const auto& [node, uevent] : rows) {
    const auto device = root_ / "sys/class/hidraw" / node / "device";
    fs::create_directories(device);
    std::ofstream(device / "uevent") << uevent;
    const auto bytes =
        test::report("06 13 ff 09 00 a1 01 75 08 95 40 b1 02 c0", 14, {{4, hex({&usage, 1})}});
    ++usage;
    if (std::string_view(node) != "hidraw11")
      std::ofstream(device / "report_descriptor", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
  }
  EXPECT_EQ(describe(makeHidrawBackend(root_)->copyDevices(0x0C45, 0x800A)), "1 2 3 8 -");
}

// Calls that must be refused before anything reaches the kernel.
TEST_F(TempTree, RefusedCalls) {
  fs::create_directories(root_ / "sys/class/hidraw/hidraw0/device");
  fs::create_directories(root_ / "dev");
  std::ofstream(root_ / "sys/class/hidraw/hidraw0/device/uevent")
      << "HID_ID=0003:00000C45:0000800A";
  auto devices = makeHidrawBackend(root_)->copyDevices(0x0C45, 0x800A);
  ASSERT_EQ(devices.size(), 1u);
  auto& device = *devices[0];
  std::vector<std::uint8_t> buffer(8);
  std::size_t length = buffer.size();
  EXPECT_EQ(status(device.setReport(ReportType::feature, 6, test::bytes("06 82"))), "e00002cd");
  EXPECT_EQ(status(device.getReport(ReportType::feature, 6, buffer, length)), "e00002cd");
  std::ofstream(root_ / "dev/hidraw0") << "";
  ASSERT_EQ(status(device.open()), "0");
  const struct {
    const char* name;
    std::uint8_t id;
    std::vector<std::uint8_t> report;
  } rows[] = {
      {"ID byte differs", 6, test::bytes("05 82 01")},
      {"past an ioctl", 0, std::vector<std::uint8_t>(16383)},
  };
  for (const auto& row : rows)
    EXPECT_EQ(status(device.setReport(ReportType::feature, row.id, row.report)), "e00002c2")
        << row.name;
  // Read buffers the kernel would refuse: below two bytes with the report number.
  length = 1;
  EXPECT_EQ(status(device.getReport(ReportType::feature, 6, buffer, length)), "e00002c2")
      << "report 6 in one byte";
}

std::unique_ptr<Device> configInterface(Backend& backend, bool halvern) {
  for (auto& device :
       halvern ? backend.copyDevices(0x258A, 0x010C) : backend.copyDevices(0x0C45, 0x800A))
    if (device->property("MaxFeatureReportSize") == (halvern ? 520 : 64)) return std::move(device);
  return nullptr;
}

// Opens, writes `head` padded to the report and reads the answer: "open set get" statuses.
struct Exchange {
  std::string statuses;
  std::vector<std::uint8_t> sent, answer;  // the answer only when the read succeeded
};
Exchange exchange(Device& device, bool halvern, const std::string& head) {
  const std::uint8_t id = halvern ? 6 : 0;
  Exchange e{status(device.open()), test::report(head, halvern ? 520 : 64), {}};
  if (e.statuses != "0") return e;
  e.statuses += " " + status(device.setReport(ReportType::feature, id, e.sent));
  std::vector<std::uint8_t> answer(e.sent.size(), 0);
  answer[0] = id;
  std::size_t length = answer.size();
  e.statuses += " " + status(device.getReport(ReportType::feature, id, answer, length));
  if (e.statuses.ends_with(" 0")) e.answer.assign(answer.begin(), answer.begin() + length);
  return e;
}

// Each injected fault as the device layer reports it.
struct Fault {
  const char* name;
  const char* fault;
  bool halvern;
  std::string statuses;  // open, set and get
  std::string answer;    // see test::shown(); "" when the read failed
};

class HidrawFault : public ::testing::TestWithParam<Fault> {};

TEST_P(HidrawFault, MapsToIOReturn) {
  const Fault& row = GetParam();
  test::SimMount sim({"--fail", row.fault, row.halvern ? "--halvern" : "--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  const auto backend = makeHidrawBackend(sim.root());
  auto device = configInterface(*backend, row.halvern);
  ASSERT_TRUE(device);
  const auto e = exchange(*device, row.halvern, row.halvern ? "06 82 01 00 01 00 06" : "04 18");
  EXPECT_EQ(e.statuses, row.statuses);
  EXPECT_EQ(e.answer.empty() ? "" : test::shown(e.answer), row.answer);
}

INSTANTIATE_TEST_SUITE_P(
    , HidrawFault,
    ::testing::Values(Fault{"set_EPIPE", "set:1:EPIPE", false, "0 e000404f 0", "00 00 00 01 /64"},
                      // Unnumbered reports lose the leading zero, numbered ones keep their ID.
                      Fault{"zepa_short_read", "get:1:short:10", false, "0 0 0", "04 18 00 01 /10"},
                      Fault{"halvern_short_read", "get:1:short:10", true, "0 0 0",
                            "06 82 01 00 01 00 06 00 8a 25 /10"},
                      // Pulled out between the write and the read.
                      Fault{"unplugged_before_the_read", "unplug:2", false, "0 0 e00002c0", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zepa::hid
