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

TEST(ZEPASimTree, UnrelatedKeyboardFirstThenBothKeyboards) {
  SimMount sim({"--extra-devices", "1"});
  ZEPA_REQUIRE_SIM(sim);
  const fs::path root = sim.root();
  EXPECT_EQ(listing(root / "dev"), "hidraw0 hidraw1 hidraw2 hidraw3 hidraw4 hidraw5 input");
  // The programs read the IDs from sysfs; the ioctl must tell the same.
  hidraw_devinfo info{};
  ASSERT_EQ(Node(root / "dev/hidraw5").call(HIDIOCGRAWINFO, &info), 0);
  char id[32];
  std::snprintf(id, sizeof id, "%04X:%08X:%08X", info.bustype,
                static_cast<std::uint16_t>(info.vendor), static_cast<std::uint16_t>(info.product));
  EXPECT_EQ(std::string(id), "0003:0000258A:0000010C");
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

// event2 is the Halvern's keyboard node.
TEST(ZEPASimCalls, KeyMapsByScancode) {
  SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  const Node halvern(sim.root() / "dev/input/event2");
  EXPECT_EQ(outcome(halvern.keycode(0x70039)), "58");
  EXPECT_EQ(outcome(halvern.setKeycode(0x70039, 29)), "0");
  EXPECT_EQ(outcome(halvern.keycode(0x70039)), "29");
  EXPECT_EQ(outcome(halvern.setKeycode(0x70004, 0)), "0");
  EXPECT_EQ(outcome(halvern.keycode(0x80004)), "EINVAL");          // not the keyboard page
  EXPECT_EQ(outcome(halvern.setKeycode(0x70100, 30)), "EINVAL");   // past the usages
  EXPECT_EQ(outcome(halvern.setKeycode(0x70004, 768)), "EINVAL");  // past KEY_MAX
  // Mapped to KEY_RESERVED is still a mapping.
  EXPECT_EQ(sim.stateJson("halvern").at("keyMap").size(), 2u);
}

// Faults: the ZEPA's configuration interface at hidraw2, the Halvern's at hidraw4.
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
  const std::vector<std::vector<std::string>> mistakes = {
      {}, {root, "--extra-devices", "x"}, {root, "--extra-devices"}, {root, "--frob"}};
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
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  std::set<std::string> nodes;
  std::size_t writes = 0;
  for (const auto& entry : sim.readLog()) {
    if (entry.op == "SETKEYCODE" || entry.op == "GETKEYCODE") nodes.insert(entry.node);
    writes += entry.op == "SETKEYCODE" ? 1 : 0;
  }
  EXPECT_EQ(nodes, std::set<std::string>{"event3"});
  // Every usage back to its default once, then the one pair.
  EXPECT_EQ(writes, 257u);
  // hid-input looks a scancode up across the whole HID device, whichever node is asked.
  EXPECT_EQ(outcome(Node(sim.root() / "dev/input/event5").keycode(0x70039)), "29");
}

}  // namespace
}  // namespace zepa::test
