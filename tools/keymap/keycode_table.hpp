// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "protocol/hid/exclusive_lock.hpp"
#include "tools/keymap/key_mapping_request.hpp"

namespace zepa::keymap {

// The scancode → keycode table of one input event node, addressed by HID keyboard usage.
// Calls return 0 or the errno of the failed request.
class KeycodeTable {
 public:
  virtual ~KeycodeTable() = default;
  virtual int keycode(std::uint8_t usage, std::uint32_t& keycode) = 0;
  virtual int setKeycode(std::uint8_t usage, std::uint32_t keycode) = 0;
};

// Opens root/dev/input/eventN, checks that it still belongs to the keyboard `match` names and
// locks it for this program until the table goes away. Throws KeymapError with the line to
// show; a denied open names the udev rule that grants access.
std::unique_ptr<KeycodeTable> openEventNode(const std::filesystem::path& devicePath,
                                            const DeviceMatch& match,
                                            const hid::LockWait& wait = {});

}  // namespace zepa::keymap
