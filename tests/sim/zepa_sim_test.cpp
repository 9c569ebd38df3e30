#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/sim/simulated_tree.hpp"

namespace zepa::test {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string listing(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

// An open device node; -errno in `error` when opening failed.
struct Node {
  int fd = -1;
  int error = 0;
  explicit Node(const fs::path& path) {
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) error = errno;
  }
  ~Node() {
    if (fd >= 0) ::close(fd);
  }
  // The ioctl's result, or -errno.
  int call(unsigned long request, void* argument) const {
    const int result = ::ioctl(fd, request, argument);
    return result < 0 ? -errno : result;
  }
};

std::string hidId(const SimMount& sim, int hidraw) {
  const auto uevent = readText(sim.root() / "sys/class/hidraw" /
                               ("hidraw" + std::to_string(hidraw)) / "device/uevent");
  const auto at = uevent.find("HID_ID=");
  return at == std::string::npos ? "" : uevent.substr(at + 7, uevent.find('\n', at) - at - 7);
}

TEST(ZepaSimTree, NodesFollowTheOptionsWithUnrelatedDevicesFirst) {
  struct Row {
    std::vector<std::string> arguments;
    const char* dev;
    const char* input;
    std::vector<const char*> hidIds;
  };
  const Row rows[] = {
      {{},
       "hidraw0 hidraw1 hidraw2 hidraw3 hidraw4 input",
       "event0",
       {"0003:00000C45:0000800A", "0003:00000C45:0000800A", "0003:00000C45:0000800A",
        "0003:0000258A:0000010C", "0003:0000258A:0000010C"}},
      {{"--halvern"},
       "hidraw0 hidraw1 input",
       "event0",
       {"0003:0000258A:0000010C", "0003:0000258A:0000010C"}},
      {{"--zepa", "--extra-devices", "2"},
       "hidraw0 hidraw1 hidraw2 hidraw3 hidraw4 input",
       "event0 event1",
       {"0003:0000046D:0000C31C", "0003:0000046D:0000C077", "0003:00000C45:0000800A",
        "0003:00000C45:0000800A", "0003:00000C45:0000800A"}},
  };
  for (const auto& row : rows) {
    SimMount sim(row.arguments);
    ZEPA_REQUIRE_SIM(sim);
    EXPECT_EQ(listing(sim.root() / "dev"), row.dev);
    EXPECT_EQ(listing(sim.root() / "dev/input"), row.input);
    EXPECT_EQ(listing(sim.root() / "sys/class/input"), row.input);
    for (std::size_t i = 0; i < row.hidIds.size(); ++i)
      EXPECT_EQ(hidId(sim, static_cast<int>(i)), row.hidIds[i]) << "hidraw" << i;
  }
}

TEST(ZepaSimTree, EventNodeLeadsToItsHidParent) {
  SimMount sim({"--extra-devices", "1"});
  ZEPA_REQUIRE_SIM(sim);
  const fs::path event = sim.root() / "sys/class/input/event1/device";
  EXPECT_EQ(readText(event / "id/vendor"), "258a\n");
  EXPECT_EQ(readText(event / "id/product"), "010c\n");
  const auto descriptor = readText(event / "device/report_descriptor");
  EXPECT_EQ(hex({reinterpret_cast<const std::uint8_t*>(descriptor.data()), descriptor.size()}),
            hex(sim::descriptorFor(sim::NodeRole::bootKeyboard)));
  EXPECT_NE(readText(event / "device/uevent").find("HID_NAME=Halvern Corvane Pro 108\n"),
            std::string::npos);
}

TEST(ZepaSimIoctls, DescribeEachHidrawNode) {
  struct Row {
    int hidraw;
    sim::NodeRole role;
    std::int16_t vendor, product;
  };
  const Row rows[] = {
      {0, sim::NodeRole::bootKeyboard, 0x0C45, static_cast<std::int16_t>(0x800A)},
      {1, sim::NodeRole::consumerControl, 0x0C45, static_cast<std::int16_t>(0x800A)},
      {2, sim::NodeRole::zepaConfig, 0x0C45, static_cast<std::int16_t>(0x800A)},
      {4, sim::NodeRole::halvernConfig, 0x258A, 0x010C},
  };
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  for (const auto& row : rows) {
    Node node(sim.root() / "dev" / ("hidraw" + std::to_string(row.hidraw)));
    ASSERT_EQ(node.error, 0) << std::strerror(node.error);
    const auto expected = sim::descriptorFor(row.role);
    int size = 0;
    ASSERT_EQ(node.call(HIDIOCGRDESCSIZE, &size), 0);
    EXPECT_EQ(size, static_cast<int>(expected.size()));
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<__u32>(size);
    ASSERT_EQ(node.call(HIDIOCGRDESC, &descriptor), 0);
    EXPECT_EQ(hex({descriptor.value, descriptor.size}), hex(expected));
    hidraw_devinfo info{};
    ASSERT_EQ(node.call(HIDIOCGRAWINFO, &info), 0);
    EXPECT_EQ(info.bustype, BUS_USB);
    EXPECT_EQ(info.vendor, row.vendor);
    EXPECT_EQ(info.product, row.product);
  }
}

TEST(ZepaSimIoctls, FeatureReportsCountTheReportNumberByte) {
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  Node zepa(sim.root() / "dev/hidraw2");
  auto set = report("00 04 18", 65);
  EXPECT_EQ(zepa.call(HIDIOCSFEATURE(65), set.data()), 65);
  std::vector<std::uint8_t> get(65, 0);
  EXPECT_EQ(zepa.call(HIDIOCGFEATURE(65), get.data()), 65);
  EXPECT_BYTES(get, hex(report("00 04 18 00 01", 65)));

  Node halvern(sim.root() / "dev/hidraw4");
  auto query = report("06 82 01 00 01 00 06", 520);
  EXPECT_EQ(halvern.call(HIDIOCSFEATURE(520), query.data()), 520);
  std::vector<std::uint8_t> answer(520, 0);
  answer[0] = 6;
  EXPECT_EQ(halvern.call(HIDIOCGFEATURE(520), answer.data()), 520);
  EXPECT_BYTES(std::span(answer).first(14), "06 82 01 00 01 00 06 00 8a 25 0c 01 6c 02");
  // A report the interface does not have stalls; the keyboard interface has none at all.
  answer[0] = 3;
  EXPECT_EQ(halvern.call(HIDIOCGFEATURE(520), answer.data()), -EPIPE);
  Node keyboard(sim.root() / "dev/hidraw0");
  EXPECT_EQ(keyboard.call(HIDIOCSFEATURE(65), set.data()), -EPIPE);
}

TEST(ZepaSimLog, OneFlushedLinePerCallInTheFixedFormat) {
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  Node config(sim.root() / "dev/hidraw1");
  auto query = report("06 82 01 00 01 00 06", 520);
  ASSERT_EQ(config.call(HIDIOCSFEATURE(520), query.data()), 520);
  std::vector<std::uint8_t> answer(520, 0);
  answer[0] = 6;
  ASSERT_EQ(config.call(HIDIOCGFEATURE(520), answer.data()), 520);
  Node event(sim.root() / "dev/input/event0");
  input_keymap_entry entry{};
  entry.len = 4;
  const std::uint32_t capsLock = 0x70039;
  std::memcpy(entry.scancode, &capsLock, 4);
  ASSERT_EQ(event.call(EVIOCGKEYCODE_V2, &entry), 0);

  // Read while the simulator still runs: every line must already be on disk.
  std::istringstream lines(readText(sim.logPath()));
  std::vector<std::string> text;
  for (std::string line; std::getline(lines, line);) text.push_back(line);
  ASSERT_EQ(text.size(), 3u);
  EXPECT_TRUE(
      std::regex_match(text[0], std::regex("\\d+ hidraw1 SET 6 06 82 01 00 01 00 06( 00){513}")))
      << text[0];
  EXPECT_TRUE(std::regex_match(
      text[1],
      std::regex("\\d+ hidraw1 GET 6 06 82 01 00 01 00 06 00 8a 25 0c 01 6c 02( 00){506}")))
      << text[1];
  EXPECT_TRUE(std::regex_match(text[2], std::regex("\\d+ event0 GETKEYCODE 0x70039 3a 00 00 00")))
      << text[2];
  const auto log = sim.readLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_LE(log[0].micros, log[1].micros);
  EXPECT_LE(log[1].micros, log[2].micros);
}

TEST(ZepaSimKeyMap, ReadsAndChangesTheHalvernKeyboardsMap) {
  struct Row {
    const char* name;
    bool set;
    std::uint32_t scancode;
    std::uint8_t len;
    std::uint32_t keycode;  // to set, or expected
    int result;
  };
  const Row rows[] = {
      {"defaultCapsLock", false, 0x70039, 4, KEY_CAPSLOCK, 0},
      {"defaultA", false, 0x70004, 4, KEY_A, 0},
      {"defaultLeftControl", false, 0x700E0, 4, KEY_LEFTCTRL, 0},
      {"capsToControl", true, 0x70039, 4, KEY_LEFTCTRL, 0},
      {"capsNowControl", false, 0x70039, 4, KEY_LEFTCTRL, 0},
      {"otherPage", false, 0x80004, 4, 0, -EINVAL},
      {"beyondTheArray", true, 0x70100, 4, KEY_A, -EINVAL},
      {"keycodeTooLarge", true, 0x70004, 4, KEY_MAX + 1, -EINVAL},
      {"badLength", false, 0x70004, 3, 0, -EINVAL},
  };
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  Node event(sim.root() / "dev/input/event0");
  ASSERT_EQ(event.error, 0);
  for (const auto& row : rows) {
    input_keymap_entry entry{};
    entry.len = row.len;
    std::memcpy(entry.scancode, &row.scancode, 4);
    entry.keycode = row.set ? row.keycode : 0;
    EXPECT_EQ(event.call(row.set ? EVIOCSKEYCODE_V2 : EVIOCGKEYCODE_V2, &entry), row.result)
        << row.name;
    if (!row.set && row.result == 0) {
      EXPECT_EQ(entry.keycode, row.keycode) << row.name;
    }
  }
  const auto state = sim.stateJson("halvern");
  EXPECT_EQ(state["keyMap"],
            nlohmann::json::parse(R"([{"scancode":458809,"usage":57,"keycode":29}])"));
}

TEST(ZepaSimState, FilesFollowEveryChange) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(sim.stateJson("zepa")["lighting"], nullptr);
  EXPECT_FALSE(fs::exists(sim.root() / "state/halvern.json"));
  Node config(sim.root() / "dev/hidraw2");
  const std::vector<std::string> sequence = {"00 04 18", "00 04 13 00 00 00 00 00 00 01",
                                             "00 0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55",
                                             "00 04 02", "00 04 f0"};
  for (const auto& text : sequence) {
    auto buffer = report(text, 65);
    ASSERT_EQ(config.call(HIDIOCSFEATURE(65), buffer.data()), 65);
  }
  const auto state = sim.stateJson("zepa");
  EXPECT_EQ(state["lighting"]["report"], "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55");
  EXPECT_EQ(state["applied"], 1);
}

struct FaultRow {
  const char* name;
  const char* fault;
  // The reply to: SET 04 18, GET, SET 04 18 on hidraw2 (65-byte buffers).
  int set1, get, set2;
  const char* answer;  // GET data bytes 0-3, when it succeeded
};

void PrintTo(const FaultRow& c, std::ostream* out) {
  *out << c.name;
}

class ZepaSimFaults : public ::testing::TestWithParam<FaultRow> {};

TEST_P(ZepaSimFaults, ReachTheIoctlCaller) {
  const FaultRow& row = GetParam();
  SimMount sim({"--zepa", "--fail", row.fault});
  ZEPA_REQUIRE_SIM(sim);
  Node config(sim.root() / "dev/hidraw2");
  ASSERT_EQ(config.error, 0);
  auto set = report("00 04 18", 65);
  std::vector<std::uint8_t> get(65, 0);
  EXPECT_EQ(config.call(HIDIOCSFEATURE(65), set.data()), row.set1);
  EXPECT_EQ(config.call(HIDIOCGFEATURE(65), get.data()), row.get);
  if (row.get > 0) {
    EXPECT_BYTES(std::span(get).subspan(1, 4), row.answer);
  }
  EXPECT_EQ(config.call(HIDIOCSFEATURE(65), set.data()), row.set2);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ZepaSimFaults,
    ::testing::Values(FaultRow{"none", "set:9:EIO", 65, 65, 65, "04 18 00 01"},
                      FaultRow{"setStalls", "set:1:EPIPE", -EPIPE, 65, 65, "00 00 00 01"},
                      FaultRow{"getFails", "get:1:EIO", 65, -EIO, 65, ""},
                      FaultRow{"getTimesOut", "get:1:ETIMEDOUT", 65, -ETIMEDOUT, 65, ""},
                      FaultRow{"shortRead", "get:1:short:2", 65, 3, 65, "04 18 00 00"},
                      FaultRow{"nak", "get:1:nak", 65, 65, 65, "00 00 00 00"},
                      FaultRow{"unplug", "unplug:2", 65, -ENODEV, -ENODEV, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZepaSimFaults, OpenRefused) {
  SimMount sim({"--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(Node(sim.root() / "dev/hidraw2").error, EACCES);
  EXPECT_EQ(Node(sim.root() / "dev/input/event0").error, EACCES);
}

TEST(ZepaSimFaults, UnplugRemovesTheKeyboardsNodesOnly) {
  SimMount sim({"--extra-devices", "1", "--fail", "unplug:1"});
  ZEPA_REQUIRE_SIM(sim);
  {
    Node config(sim.root() / "dev/hidraw3");
    auto set = report("00 04 18", 65);
    EXPECT_EQ(config.call(HIDIOCSFEATURE(65), set.data()), -ENODEV);
    EXPECT_EQ(config.call(HIDIOCSFEATURE(65), set.data()), -ENODEV);
  }
  EXPECT_EQ(listing(sim.root() / "dev"), "hidraw0 input");
  EXPECT_EQ(listing(sim.root() / "dev/input"), "event0");
  EXPECT_EQ(listing(sim.root() / "sys/class/hidraw"), "hidraw0");
  EXPECT_EQ(listing(sim.root() / "sys/class/input"), "event0");
  EXPECT_EQ(Node(sim.root() / "dev/hidraw3").error, ENOENT);
  EXPECT_EQ(sim.stateJson("zepa")["attached"], false);
}

bool mounted(const fs::path& path) {
  return readText("/proc/self/mountinfo").find(" " + path.string() + " ") != std::string::npos;
}

TEST(ZepaSimLifetime, StopsCleanlyOnSigtermAndSigint) {
  for (int signal : {SIGTERM, SIGINT}) {
    SimMount sim;
    ZEPA_REQUIRE_SIM(sim);
    ASSERT_TRUE(mounted(sim.root() / "dev"));
    const auto status = sim.stop(signal);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_FALSE(mounted(sim.root() / "dev"));
  }
}

TEST(ZepaSimLifetime, RecoversTheRootAfterBeingKilled) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ASSERT_TRUE(sim.stop(SIGKILL).has_value());
  struct stat st {};
  EXPECT_EQ(::stat((sim.root() / "dev").c_str(), &st), -1);
  EXPECT_EQ(errno, ENOTCONN);
  ASSERT_TRUE(sim.restart({"--halvern"})) << sim.errorOutput();
  EXPECT_EQ(listing(sim.root() / "dev"), "hidraw0 hidraw1 input");
  EXPECT_EQ(listing(sim.root() / "sys/class/hidraw"), "hidraw0 hidraw1");
  EXPECT_FALSE(fs::exists(sim.root() / "state/zepa.json"));
}

TEST(ZepaSimArguments, MistakesEndWithUsageStatus) {
  const std::string program = std::string(ZEPA_BIN_DIR) + "/zepa-sim";
  const fs::path root = fs::temp_directory_path() / "zepa-sim-arguments";
  const char* rows[] = {"",       "--fail bogus", "--extra-devices x", "--extra-devices",
                        "--frob", "--log"};
  for (const char* arguments : rows) {
    const std::string command = program + " " +
                                (std::string(arguments).empty() ? "" : root.string() + " ") +
                                arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << arguments;
  }
  EXPECT_FALSE(fs::exists(root / "sys"));
  fs::remove_all(root);
}

}  // namespace
}  // namespace zepa::test
