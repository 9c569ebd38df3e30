// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Which HID interfaces and input nodes the simulator presents, with the report descriptors
// real keyboards of these kinds carry. Node numbers follow the order the kernel would
// assign when the devices are plugged in one after another: unrelated devices first.
namespace zepa::sim {

enum class Keyboard { none, zepa, halvern };

enum class NodeRole {
  unrelatedKeyboard,
  unrelatedMouse,
  bootKeyboard,     // a keyboard's key interface (page 1, usage 6)
  mediaKeyboard,    // the same with consumer and system control collections beside it
  consumerControl,  // page 0x0C, usage 1
  zepaConfig,       // vendor page 0xFF13, one unnumbered 64-byte feature report
  halvernConfig,    // report ID 6, 520-byte feature report
};

// One input device hid-input made for an application collection of a HID interface.
struct InputNode {
  int event = 0;       // eventN
  std::string suffix;  // what hid-input appends to the device name ("Consumer Control")

  std::string eventNode() const { return "event" + std::to_string(event); }
};

struct HidInterface {
  int hidraw = 0;                 // hidrawN
  std::vector<InputNode> inputs;  // its input nodes; siblings share one key map
  Keyboard keyboard = Keyboard::none;
  NodeRole role = NodeRole::bootKeyboard;
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::string name;  // HID_NAME
  int usbPort = 1;
  int usbInterface = 0;
  int hidSequence = 0;  // the .NNNN of the kernel's HID device name
  std::vector<std::uint8_t> descriptor;

  std::string hidrawNode() const { return "hidraw" + std::to_string(hidraw); }
  // 0003:0C45:800A.0003
  std::string hidDeviceName() const;
  // "HID_ID=…\nHID_NAME=…\n…"
  std::string uevent() const;
  // The input device's name: the HID name and hid-input's suffix.
  std::string inputName(const InputNode& input) const {
    return input.suffix.empty() ? name : name + " " + input.suffix;
  }
};

struct SimulatedTree {
  std::vector<HidInterface> interfaces;  // ascending hidraw number
};

// With `inputPerApplication`, every keyboard interface gets the input nodes hid-generic
// creates, one per application collection (HID_QUIRK_INPUT_PER_APP); without it, the
// fixed test tree: only the Halvern's key interface has one.
SimulatedTree buildTree(bool zepa, bool halvern, int extraDevices,
                        bool inputPerApplication = false);

// Descriptors, for tests that want to check what the tree serves.
std::vector<std::uint8_t> descriptorFor(NodeRole role);

}  // namespace zepa::sim
