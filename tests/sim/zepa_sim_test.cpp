// SPDX-License-Identifier: MIT
// zepa-sim through the kernel's calls: hidraw and evdev ioctls on its FUSE nodes, what they
// answer, the report log and the state files they leave, faults and the process's lifetime.
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
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa::test {
namespace {

namespace fs = std::filesystem;

// A call's result as a comparison prints it: the count, or the errno's name.
std::string outcome(int result) {
  return result < 0 ? strerrorname_np(-result) : std::to_string(result);
}

// A node of the simulator's tree, open from construction on; calls give their result or
// -errno.
struct Node {
  int fd, error;
  explicit Node(const fs::path& path)
      : fd(::open(path.c_str(), O_RDWR | O_CLOEXEC)), error(fd < 0 ? errno : 0) {}
  ~Node() {
    if (fd >= 0) ::close(fd);
  }
  int call(unsigned long request, void* argument) const {
    const int result = ::ioctl(fd, request, argument);
    return result < 0 ? -errno : result;
  }
  // A feature write of the kernel's buffer: report number first, then the report.
  int set(Bytes buffer) const { return call(HIDIOCSFEATURE(buffer.size()), buffer.data()); }
  // A feature read into `buffer`, whose first byte names the report.
  int get(Bytes& buffer) const { return call(HIDIOCGFEATURE(buffer.size()), buffer.data()); }

  // Key-map calls by scancode: the key code read, or -errno.
  int keycode(std::uint32_t scancode) const {
    input_keymap_entry entry = byScancode(scancode);
    const int result = call(EVIOCGKEYCODE_V2, &entry);
    return result < 0 ? result : static_cast<int>(entry.keycode);
  }
  int setKeycode(std::uint32_t scancode, unsigned keycode) const {
    input_keymap_entry entry = byScancode(scancode);
    entry.keycode = keycode;
    return call(EVIOCSKEYCODE_V2, &entry);
  }
  static input_keymap_entry byScancode(std::uint32_t scancode) {
    input_keymap_entry entry{};
    entry.len = sizeof scancode;
    std::memcpy(entry.scancode, &scancode, sizeof scancode);
    return entry;
  }
};

// A ZEPA read: the unnumbered report's buffer, 65 bytes with the report number 0 first.
Bytes zepaBuffer() {
  return Bytes(65, 0);
}

// A node and its IDs as the uevent's HID_ID writes them.
struct NodeId {
  const char* node;
  const char* id;
};

TEST(ZEPASimTree, UnrelatedKeyboardFirstThenBothKeyboards) {
  SimMount sim({"--extra-devices", "1"});
  ZEPA_REQUIRE_SIM(sim);
  const fs::path root = sim.root();
  EXPECT_EQ(listing(root / "dev"), "hidraw0 hidraw1 hidraw2 hidraw3 hidraw4 hidraw5 input");
  EXPECT_EQ(listing(root / "dev/input"), "event0 event1");
  EXPECT_EQ(listing(root / "sys/class/input"), "event0 event1");
  EXPECT_EQ(listing(root / "state"), "halvern.json zepa.json");
  EXPECT_EQ(readText(root / "sys/class/input/event1/device/id/vendor"), "258a\n");
  EXPECT_EQ(readText(root / "sys/class/input/event1/device/id/product"), "010c\n");
  const NodeId ids[] = {{"hidraw0", "0003:0000046D:0000C31C"},
                        {"hidraw3", "0003:00000C45:0000800A"},
                        {"hidraw5", "0003:0000258A:0000010C"}};
  for (const NodeId& row : ids) {
    SCOPED_TRACE(row.node);
    const Node node(root / "dev" / row.node);
    const fs::path sys = root / "sys/class/hidraw" / row.node / "device";
    hidraw_devinfo info{};
    ASSERT_EQ(node.call(HIDIOCGRAWINFO, &info), 0);
    char id[32];
    std::snprintf(id, sizeof id, "%04X:%08X:%08X", info.bustype,
                  static_cast<std::uint16_t>(info.vendor),
                  static_cast<std::uint16_t>(info.product));
    ASSERT_EQ(std::string(id), row.id);
    ASSERT_NE(readText(sys / "uevent").find("HID_ID=" + std::string(id) + "\n"), std::string::npos);
    auto descriptor = std::make_unique<hidraw_report_descriptor>();
    ASSERT_EQ(node.call(HIDIOCGRDESCSIZE, &descriptor->size), 0);
    ASSERT_EQ(node.call(HIDIOCGRDESC, descriptor.get()), 0);
    ASSERT_EQ(std::string(reinterpret_cast<char*>(descriptor->value), descriptor->size),
              readText(sys / "report_descriptor"));
  }
  EXPECT_NE(readText(root / "sys/class/hidraw/hidraw5/device/uevent")
                .find("HID_NAME=Halvern Corvane Pro 108\n"),
            std::string::npos);
}

// After a keyboard and a mouse: the ZEPA's keyboard interface at hidraw2, its configuration
// interface at hidraw4, the Halvern's at hidraw6. The transfers themselves are the hidraw
// backend's tests.
TEST(ZEPASimCalls, ReportsAnInterfaceDoesNotHaveAreRefused) {
  SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  Bytes unknownReport = report("03", 520);
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw6").get(unknownReport)), "EPIPE");
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw2").set(report("00 04 18", 65))), "EPIPE");
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw4").set(report("00 04 18", 65))), "65");
  EXPECT_EQ(sim.readLog().size(), 1u);
}

// event2 is the Halvern's keyboard node, event1 the mouse's, event0 the unrelated keyboard's.
TEST(ZEPASimCalls, KeyMapsByScancodeAndPosition) {
  SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  const Node halvern(sim.root() / "dev/input/event2");
  EXPECT_EQ(outcome(halvern.keycode(0x70039)), "58");
  input_keymap_entry fourth{};
  fourth.flags = INPUT_KEYMAP_BY_INDEX;
  fourth.index = 4;
  ASSERT_EQ(halvern.call(EVIOCGKEYCODE_V2, &fourth), 0);
  std::uint32_t scancode = 0;
  std::memcpy(&scancode, fourth.scancode, sizeof scancode);
  EXPECT_EQ(scancode, 0x70004u);
  EXPECT_EQ(fourth.keycode, 30u);
  fourth.index = 256;
  EXPECT_EQ(outcome(halvern.call(EVIOCGKEYCODE_V2, &fourth)), "EINVAL");
  EXPECT_EQ(outcome(halvern.setKeycode(0x70039, 29)), "0");
  EXPECT_EQ(outcome(halvern.keycode(0x70039)), "29");
  EXPECT_EQ(outcome(halvern.setKeycode(0x70004, 0)), "0");
  EXPECT_EQ(outcome(halvern.keycode(0x80004)), "EINVAL");          // not the keyboard page
  EXPECT_EQ(outcome(halvern.setKeycode(0x70100, 30)), "EINVAL");   // past the usages
  EXPECT_EQ(outcome(halvern.setKeycode(0x70004, 768)), "EINVAL");  // past KEY_MAX
  EXPECT_EQ(outcome(Node(sim.root() / "dev/input/event1").keycode(0x70004)), "EINVAL");
  EXPECT_EQ(outcome(Node(sim.root() / "dev/input/event0").setKeycode(0x70005, 46)), "0");
  const auto keyMap = sim.stateJson("halvern").at("keyMap");
  ASSERT_EQ(keyMap.size(), 2u);
  EXPECT_EQ(keyMap[0], nlohmann::json::parse(R"({"scancode":458756,"usage":4,"keycode":0})"));
  EXPECT_EQ(keyMap[1], nlohmann::json::parse(R"({"scancode":458809,"usage":57,"keycode":29})"));
  const auto log = sim.readLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front().id, 0x70039u);
  EXPECT_EQ(hex(log.front().bytes), "3a 00 00 00");  // KEY_CAPSLOCK
}

// Faults: the ZEPA's configuration interface at hidraw2, the Halvern's at hidraw4.
TEST(ZEPASimFaults, RefusedOpenReachesTheEventNodes) {
  SimMount sim({"--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(Node(sim.root() / "dev/input/event0").error, EACCES);  // hidraw: the backend's tests
}

TEST(ZEPASimFaults, WritesAreCountedAcrossKeyboards) {
  SimMount sim({"--fail", "set:2:ETIMEDOUT"});
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw2").set(report("00 04 18", 65))), "65");
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw4").set(report("06 0a", 520))), "ETIMEDOUT");
}

TEST(ZEPASimFaults, FirstFaultOfACallWins) {
  SimMount sim({"--fail", "set:1:EIO", "--fail", "set:1:EPIPE"});
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw2").set(report("00 04 18", 65))), "EIO");
}

// Any errno name: what a cable pulled mid-transfer gives before the node goes.
TEST(ZEPASimFaults, AnyErrnoName) {
  SimMount sim({"--fail", "set:1:ESHUTDOWN", "--fail", "get:1:EPROTO"});
  ZEPA_REQUIRE_SIM(sim);
  const Node zepa(sim.root() / "dev/hidraw2");
  Bytes answer = zepaBuffer();
  EXPECT_EQ(outcome(zepa.set(report("00 04 18", 65))), "ESHUTDOWN");
  EXPECT_EQ(outcome(zepa.get(answer)), "EPROTO");
}

// Reads and writes count alike, key-map calls not; the keyboards go, their key map with them,
// and the unrelated keyboard stays.
TEST(ZEPASimFaults, UnplugRemovesBothKeyboards) {
  SimMount sim({"--extra-devices", "1", "--fail", "unplug:3"});
  ZEPA_REQUIRE_SIM(sim);
  const Node zepa(sim.root() / "dev/hidraw3"), halvern(sim.root() / "dev/hidraw5");
  Bytes answer = zepaBuffer();
  EXPECT_EQ(outcome(Node(sim.root() / "dev/input/event1").setKeycode(0x70039, 29)), "0");
  EXPECT_EQ(outcome(zepa.set(report("00 04 18", 65))), "65");
  EXPECT_EQ(outcome(zepa.get(answer)), "65");
  EXPECT_EQ(outcome(halvern.set(report("06 0a", 520))), "ENODEV");
  EXPECT_EQ(outcome(zepa.set(report("00 04 18", 65))), "ENODEV");
  EXPECT_EQ(listing(sim.root() / "dev"), "hidraw0 input");
  EXPECT_EQ(listing(sim.root() / "dev/input"), "event0");
  EXPECT_EQ(listing(sim.root() / "sys/class/hidraw"), "hidraw0");
  EXPECT_EQ(listing(sim.root() / "sys/class/input"), "event0");
  EXPECT_EQ(sim.stateJson("halvern").at("keyMap"), nlohmann::json::array());
  EXPECT_EQ(sim.stateJson("zepa").at("attached"), false);
}

// What hidraw checks before a request reaches the keyboard, and how it counts.
TEST(ZEPASimLimits, FollowTheKernels) {
  SimMount sim({"--zepa", "--fail", "get:1:short:0"});
  ZEPA_REQUIRE_SIM(sim);
  const Node config(sim.root() / "dev/hidraw2");
  const std::string expected =
      readText(sim.root() / "sys/class/hidraw/hidraw2/device/report_descriptor");
  ASSERT_GT(expected.size(), 5u);
  auto descriptor = std::make_unique<hidraw_report_descriptor>();
  std::memset(descriptor.get(), 0xEE, sizeof *descriptor);
  descriptor->size = 4096;
  EXPECT_EQ(outcome(config.call(HIDIOCGRDESC, descriptor.get())), "EINVAL");
  descriptor->size = 5;  // only what is asked is copied; the rest of the buffer stays
  ASSERT_EQ(config.call(HIDIOCGRDESC, descriptor.get()), 0);
  EXPECT_EQ(hex({descriptor->value, 5}), hex(Bytes(expected.begin(), expected.begin() + 5)));
  EXPECT_EQ(descriptor->value[5], 0xEE);
  Bytes empty = zepaBuffer(), one(1, 0), two(2, 0);
  EXPECT_EQ(outcome(config.get(empty)), "0");  // an answer without data counts nothing
  EXPECT_EQ(outcome(config.get(one)), "EINVAL");
  EXPECT_EQ(outcome(config.get(two)), "2");
  EXPECT_EQ(sim.readLog().size(), 2u);  // refused reads reach no keyboard
}

bool mounted(const fs::path& path) {
  return readText("/proc/self/mountinfo").find(" " + path.string() + " ") != std::string::npos;
}

TEST(ZEPASimLifetime, UnmountsOnSigtermAndSigintAndRecoversAfterSigkill) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    ASSERT_TRUE(mounted(sim.root() / "dev"));
    const auto status = sim.stop(signal);
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status));
    ASSERT_EQ(WEXITSTATUS(*status), 0);
    ASSERT_FALSE(mounted(sim.root() / "dev"));
    ASSERT_TRUE(sim.restart({"--zepa"})) << sim.errorOutput();
  }
  ASSERT_TRUE(sim.stop(SIGKILL).has_value());
  struct stat st {};
  EXPECT_EQ(::stat((sim.root() / "dev").c_str(), &st), -1);
  EXPECT_EQ(errno, ENOTCONN);
  ASSERT_TRUE(sim.restart({"--halvern"})) << sim.errorOutput();
  EXPECT_EQ(listing(sim.root() / "dev"), "hidraw0 hidraw1 input");
  EXPECT_EQ(listing(sim.root() / "sys/class/hidraw"), "hidraw0 hidraw1");
  EXPECT_FALSE(fs::exists(sim.root() / "state/zepa.json"));
}

TEST(ZEPASimArguments, MistakesEndWithUsageStatusAndNoTree) {
  const std::string root = fs::temp_directory_path() / "zepa-sim-arguments";
  const std::vector<std::vector<std::string>> mistakes = {{},
                                                          {root, "--fail", "bogus"},
                                                          {root, "--extra-devices", "x"},
                                                          {root, "--extra-devices"},
                                                          {root, "--frob"},
                                                          {root, "--log"}};
  for (const auto& arguments : mistakes) {
    const ProgramOutcome run = runProgram("zepa-sim", arguments);
    ASSERT_EQ(run.status, 2) << (arguments.empty() ? "no arguments" : arguments.back());
  }
  EXPECT_FALSE(fs::exists(root + "/sys"));
  fs::remove_all(root);
}

TEST(SimMount, WithoutFuseFailsUnderCiInsteadOfSkipping) {
  const std::string saved = std::getenv("CI") ? std::getenv("CI") : "";
  ::setenv("CI", "true", 1);
  EXPECT_TRUE(SimMount::fuseRequired());
  ::setenv("CI", "1", 1);
  EXPECT_FALSE(SimMount::fuseRequired());
  if (saved.empty())
    ::unsetenv("CI");
  else
    ::setenv("CI", saved.c_str(), 1);
}

}  // namespace
}  // namespace zepa::test
