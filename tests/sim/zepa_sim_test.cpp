// SPDX-License-Identifier: MIT
// zepa-sim through the kernel's calls: hidraw and evdev ioctls on its FUSE nodes, what they
// answer, the report log and the state files they leave, faults and the process's lifetime.
#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
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
  int fd;
  explicit Node(const fs::path& path) : fd(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {}
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

// After a keyboard and a mouse: the ZEPA's keyboard interface at hidraw2, the Halvern's
// configuration interface at hidraw6. The transfers themselves are the hidraw backend's tests;
// refused calls reach no keyboard's log.
TEST(ZEPASimCalls, ReportsAnInterfaceDoesNotHaveAreRefused) {
  SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  Bytes unknownReport = report("03", 520);
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw6").get(unknownReport)), "EPIPE");
  EXPECT_EQ(outcome(Node(sim.root() / "dev/hidraw2").set(report("00 04 18", 65))), "EPIPE");
  EXPECT_EQ(sim.readLog().size(), 0u);
}

// No program of ours asks these, other tools do: they answer as hidraw does.
TEST(ZEPASimCalls, DeviceInfoAndDescriptor) {
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const Node config(sim.root() / "dev/hidraw1");
  hidraw_devinfo info{};
  ASSERT_EQ(config.call(HIDIOCGRAWINFO, &info), 0);
  EXPECT_EQ(static_cast<std::uint16_t>(info.vendor), 0x258A);
  EXPECT_EQ(static_cast<std::uint16_t>(info.product), 0x010C);
  auto descriptor = std::make_unique<hidraw_report_descriptor>();
  descriptor->size = HID_MAX_DESCRIPTOR_SIZE;  // hidraw refuses even the whole buffer
  EXPECT_EQ(outcome(config.call(HIDIOCGRDESC, descriptor.get())), "EINVAL");
  const std::string expected =
      readText(sim.root() / "sys/class/hidraw/hidraw1/device/report_descriptor");
  descriptor->size = static_cast<std::uint32_t>(expected.size());
  ASSERT_EQ(config.call(HIDIOCGRDESC, descriptor.get()), 0);
  EXPECT_EQ(std::string(descriptor->value, descriptor->value + expected.size()), expected);
}

// event2 is the Halvern's keyboard node.
TEST(ZEPASimCalls, KeyMapsByScancode) {
  SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  const Node halvern(sim.root() / "dev/input/event2");
  EXPECT_EQ(outcome(halvern.setKeycode(0x70004, 0)), "0");
  EXPECT_EQ(outcome(halvern.keycode(0x80004)), "EINVAL");          // not the keyboard page
  EXPECT_EQ(outcome(halvern.setKeycode(0x70100, 30)), "EINVAL");   // past the usages
  EXPECT_EQ(outcome(halvern.setKeycode(0x70004, 768)), "EINVAL");  // past KEY_MAX
}

// Key-map calls do not count towards the unplug (feature calls do, the device tests' walk);
// the keyboards go, their key map with them, and the unrelated keyboard stays.
TEST(ZEPASimFaults, UnplugRemovesBothKeyboards) {
  SimMount sim({"--extra-devices", "1", "--fail", "unplug:2"});
  ZEPA_REQUIRE_SIM(sim);
  const Node zepa(sim.root() / "dev/hidraw3"), halvern(sim.root() / "dev/hidraw5");
  EXPECT_EQ(outcome(Node(sim.root() / "dev/input/event1").setKeycode(0x70039, 29)), "0");
  EXPECT_EQ(outcome(zepa.set(report("00 04 18", 65))), "65");
  EXPECT_EQ(outcome(halvern.set(report("06 0a", 520))), "ENODEV");
  EXPECT_EQ(listing(sim.root() / "dev"), "hidraw0 input");
  EXPECT_EQ(sim.stateJson("halvern").at("keyMap"), nlohmann::json::array());
}

// What hidraw checks before a request reaches the keyboard, and how it counts.
TEST(ZEPASimLimits, FollowTheKernels) {
  SimMount sim({"--zepa", "--fail", "get:1:short:0"});
  ZEPA_REQUIRE_SIM(sim);
  const Node config(sim.root() / "dev/hidraw2");
  Bytes empty(65, 0), one(1, 0), two(2, 0);    // a ZEPA read takes 65: report number 0 first
  EXPECT_EQ(outcome(config.get(empty)), "0");  // an answer without data counts nothing
  EXPECT_EQ(outcome(config.get(one)), "EINVAL");
  EXPECT_EQ(outcome(config.get(two)), "2");
  EXPECT_EQ(sim.readLog().size(), 2u);  // refused reads reach no keyboard
}

bool mounted(const fs::path& path) {
  return readText("/proc/self/mountinfo").find(" " + path.string() + " ") != std::string::npos;
}

// A killed simulator leaves its mount behind; the next one must start all the same. SIGINT
// takes libfuse's handler, the same as SIGTERM.
TEST(ZEPASimLifetime, RecoversAfterSigkillAndUnmountsOnSigterm) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ASSERT_TRUE(sim.stop(SIGKILL).has_value());
  ASSERT_TRUE(sim.restart({"--halvern"})) << sim.errorOutput();
  EXPECT_EQ(listing(sim.root() / "dev"), "hidraw0 hidraw1 input");
  EXPECT_FALSE(fs::exists(sim.root() / "state/zepa.json"));
  EXPECT_EQ(sim.stop(SIGTERM), 0);  // exited with status 0
  EXPECT_FALSE(mounted(sim.root() / "dev"));
}

TEST(ZEPASimArguments, MistakesEndWithUsageStatusAndNoTree) {
  const std::string root = fs::temp_directory_path() / "zepa-sim-arguments";
  const std::vector<std::vector<std::string>> mistakes = {
      {}, {root, "--extra-devices", "x"}, {root, "--frob"}};
  for (const auto& arguments : mistakes) {
    const ProgramOutcome run = runProgram("zepa-sim", arguments);
    ASSERT_EQ(run.status, 2) << (arguments.empty() ? "no arguments" : arguments.back());
  }
  EXPECT_FALSE(fs::exists(root + "/sys"));
  fs::remove_all(root);
}

// --all-input-nodes gives each application collection its own input node. zepa-keymap matches
// all three Halvern nodes; it writes the map once, on the keyboard node, and never asks the
// ZEPA's nodes (another vendor and product).
TEST(AllInputNodes, ZepaKeymapWritesTheHalvernsMapOnce) {
  SimMount sim({"--all-input-nodes"});
  ZEPA_REQUIRE_SIM(sim);
  const ProgramOutcome run = runProgram(
      "zepa-keymap",
      {"--device-root", sim.root().string(), "property", "--matching",
       R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})", "--set",
       R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,)"
       R"("HIDKeyboardModifierMappingDst":30064771296}]})"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::set<std::string> nodes;
  for (const auto& entry : sim.readLog())
    if (entry.op == "SETKEYCODE" || entry.op == "GETKEYCODE") nodes.insert(entry.node);
  EXPECT_EQ(nodes, std::set<std::string>{"event3"});
}

}  // namespace
}  // namespace zepa::test
