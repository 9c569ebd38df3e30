// SPDX-License-Identifier: MIT
// zepa-sim --all-input-nodes: the input nodes hid-generic gives each application collection,
// the key map their HID device shares between them, and zepa-keymap on that tree.
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa::test {
namespace {

namespace fs = std::filesystem;

// EVIOCGKEYCODE_V2 / EVIOCSKEYCODE_V2 by scancode on a device node: the key code read, "ok"
// for a write, or the errno's name.
std::string keyCall(const fs::path& node, std::uint32_t scancode, std::optional<unsigned> set) {
  const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return strerrorname_np(errno);
  input_keymap_entry entry{};
  entry.len = sizeof scancode;
  std::memcpy(entry.scancode, &scancode, sizeof scancode);
  entry.keycode = set.value_or(0);
  const int result = ::ioctl(fd, set ? EVIOCSKEYCODE_V2 : EVIOCGKEYCODE_V2, &entry);
  const int error = errno;
  ::close(fd);
  if (result < 0) return strerrorname_np(error);
  return set ? "ok" : std::to_string(entry.keycode);
}

// The nodes the report log shows key-map calls on.
std::string keyMapNodes(const SimMount& sim) {
  std::set<std::string> nodes;
  for (const auto& entry : sim.readLog())
    if (entry.op == "SETKEYCODE" || entry.op == "GETKEYCODE") nodes.insert(entry.node);
  std::string text;
  for (const auto& node : nodes) text += (text.empty() ? "" : " ") + node;
  return text;
}

TEST(AllInputNodes, OneNodePerApplicationCollectionOnItsHidDevice) {
  const struct {
    std::string event, name, vendor, product;
    std::string hidDevice;  // the HID parent's directory
    std::string hidraw;     // the hidraw node of that parent
  } rows[] = {
      {"event0", "Logitech USB Keyboard", "046d", "c31c", "0003:046D:C31C.0001", "hidraw0"},
      {"event1", "ZEPA VX10 Keyboard", "0c45", "800a", "0003:0C45:800A.0002", "hidraw1"},
      {"event3", "ZEPA VX10 System Control", "0c45", "800a", "0003:0C45:800A.0003", "hidraw2"},
      {"event6", "Halvern Corvane Pro 108 System Control", "258a", "010c", "0003:258A:010C.0005",
       "hidraw4"},
  };
  SimMount sim({"--all-input-nodes", "--extra-devices", "1"});
  ZEPA_REQUIRE_SIM(sim);
  const fs::path sys = sim.root() / "sys/class";
  // No hidraw node is added: the configuration interfaces have no input application.
  EXPECT_EQ(listing(sys / "hidraw"), "hidraw0 hidraw1 hidraw2 hidraw3 hidraw4 hidraw5");
  EXPECT_EQ(listing(sys / "input"), "event0 event1 event2 event3 event4 event5 event6");
  EXPECT_EQ(listing(sim.root() / "dev/input"), "event0 event1 event2 event3 event4 event5 event6");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.event);
    const fs::path input = sys / "input" / row.event / "device";
    EXPECT_EQ(readText(input / "name"), row.name + "\n");
    EXPECT_EQ(readText(input / "id/vendor"), row.vendor + "\n");
    EXPECT_EQ(readText(input / "id/product"), row.product + "\n");
    EXPECT_EQ(fs::canonical(input / "device").filename(), row.hidDevice);
    EXPECT_EQ(readText(input / "device/report_descriptor"),
              readText(sys / "hidraw" / row.hidraw / "device/report_descriptor"));
    if (HasFailure()) return;  // the rows after a broken one would only repeat it
  }
}

// hid-input looks a scancode up across the whole HID device, whichever of its nodes is asked.
TEST(AllInputNodes, SiblingNodesShareTheirDevicesKeyMap) {
  const struct {
    std::string node;
    std::uint32_t scancode;
    std::optional<unsigned> set;
    std::string outcome;
  } steps[] = {
      {"event6", 0x70039, 29, "ok"},      // Caps Lock → Left Ctrl through System Control
      {"event4", 0x70039, {}, "29"},      // the Halvern's keyboard node sees it
      {"event1", 0x70039, {}, "58"},      // the ZEPA keeps its own map
      {"event2", 0x70039, {}, "EINVAL"},  // the ZEPA's media interface has no keyboard usage
      {"event0", 0x70039, {}, "58"},      // and the unrelated keyboard's map
  };
  SimMount sim({"--all-input-nodes", "--extra-devices", "1"});
  ZEPA_REQUIRE_SIM(sim);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.node + (step.set ? " set " : " get ") + std::to_string(step.scancode));
    ASSERT_EQ(keyCall(sim.root() / "dev/input" / step.node, step.scancode, step.set), step.outcome);
  }
  const auto keyMap = sim.stateJson("halvern").at("keyMap");
  ASSERT_EQ(keyMap.size(), 1u);
  EXPECT_EQ(keyMap[0].at("usage"), 0x39);
  EXPECT_EQ(keyMap[0].at("keycode"), 29);
}

// zepa-keymap matches all three Halvern nodes; it writes the map once, on the keyboard node,
// and never asks the ZEPA's nodes (another vendor and product).
TEST(AllInputNodes, ZepaKeymapWritesTheHalvernsMapOnce) {
  SimMount sim({"--all-input-nodes"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = runProgram(
      "zepa-keymap",
      {"--device-root", sim.root().string(), "property", "--matching",
       R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})", "--set",
       R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,)"
       R"("HIDKeyboardModifierMappingDst":30064771296}]})"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(keyMapNodes(sim), "event3");

  std::size_t writes = 0;
  for (const auto& entry : sim.readLog()) writes += entry.op == "SETKEYCODE" ? 1 : 0;
  // Every usage back to its default once, then the one pair.
  EXPECT_EQ(writes, 257u);

  const fs::path input = sim.root() / "dev/input";
  EXPECT_EQ(keyCall(input / "event3", 0x70039, {}), "29");
  EXPECT_EQ(keyCall(input / "event5", 0x70039, {}), "29");
}

}  // namespace
}  // namespace zepa::test
