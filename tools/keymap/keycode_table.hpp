#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

namespace zepa::keymap {

// The scancode → keycode table of one input event node, addressed by HID keyboard usage.
// Calls return 0 or the errno of the failed request.
class KeycodeTable {
 public:
  virtual ~KeycodeTable() = default;
  virtual int keycode(std::uint8_t usage, std::uint32_t& keycode) = 0;
  virtual int setKeycode(std::uint8_t usage, std::uint32_t keycode) = 0;
};

// Opens root/dev/input/eventN. Throws KeymapError with the line to show; a denied open names
// the udev rule that grants access.
std::unique_ptr<KeycodeTable> openEventNode(const std::filesystem::path& devicePath);

}  // namespace zepa::keymap
