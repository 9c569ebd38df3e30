// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

// The scancode-to-keycode table the kernel keeps for one HID keyboard's input node.
// Scancodes are 0x70000 | usage; a usage the keyboard's reports do not carry is unknown.
namespace zepa::sim {

class KeyMap {
 public:
  static constexpr std::uint32_t keyboardPage = 0x70000;
  static constexpr std::uint32_t maxKeycode = 0x2ff;  // KEY_MAX

  KeyMap();  // the kernel's default table

  std::optional<std::uint16_t> keycode(std::uint32_t scancode) const;
  // Returns 0, or EINVAL for an unknown scancode or a keycode above KEY_MAX.
  int setKeycode(std::uint32_t scancode, std::uint32_t keycode);
  // Look-up by position, as INPUT_KEYMAP_BY_INDEX does.
  std::optional<std::pair<std::uint32_t, std::uint16_t>> entry(std::size_t index) const;
  // The position of a scancode, which a look-up by scancode reports back.
  std::optional<std::size_t> indexOf(std::uint32_t scancode) const;
  std::size_t size() const { return map_.size(); }
  // Entries whose keycode differs from the default, by scancode.
  std::map<std::uint32_t, std::uint16_t> changes() const;
  void reset();

 private:
  std::map<std::uint32_t, std::uint16_t> map_;
};

}  // namespace zepa::sim
