// SPDX-License-Identifier: MIT
#include "tools/sim/key_map.hpp"

#include <cerrno>
#include <iterator>

#include "protocol/hid/linux_keycodes.hpp"

namespace zepa::sim {

namespace {
// The keyboards' key arrays cover usages 0x00 to 0xFF; the kernel gives the ones its table
// lacks KEY_RESERVED (0).
constexpr std::uint32_t lastUsage = 0xFF;

std::uint16_t defaultKeycode(std::uint32_t scancode) {
  return hid::linuxKeycode(static_cast<std::uint8_t>(scancode & 0xFF)).value_or(0);
}
}  // namespace

KeyMap::KeyMap() {
  reset();
}

void KeyMap::reset() {
  map_.clear();
  for (std::uint32_t usage = 0; usage <= lastUsage; ++usage)
    map_[keyboardPage | usage] = defaultKeycode(usage);
}

std::optional<std::uint16_t> KeyMap::keycode(std::uint32_t scancode) const {
  auto found = map_.find(scancode);
  if (found == map_.end()) return std::nullopt;
  return found->second;
}

int KeyMap::setKeycode(std::uint32_t scancode, std::uint32_t keycode) {
  auto found = map_.find(scancode);
  if (found == map_.end() || keycode > maxKeycode) return EINVAL;
  found->second = static_cast<std::uint16_t>(keycode);
  return 0;
}

std::optional<std::pair<std::uint32_t, std::uint16_t>> KeyMap::entry(std::size_t index) const {
  if (index >= map_.size()) return std::nullopt;
  auto it = std::next(map_.begin(), static_cast<std::ptrdiff_t>(index));
  return *it;
}

std::optional<std::size_t> KeyMap::indexOf(std::uint32_t scancode) const {
  auto found = map_.find(scancode);
  if (found == map_.end()) return std::nullopt;
  return static_cast<std::size_t>(std::distance(map_.begin(), found));
}

std::map<std::uint32_t, std::uint16_t> KeyMap::changes() const {
  std::map<std::uint32_t, std::uint16_t> changed;
  for (const auto& [scancode, keycode] : map_)
    if (keycode != defaultKeycode(scancode)) changed[scancode] = keycode;
  return changed;
}

}  // namespace zepa::sim
