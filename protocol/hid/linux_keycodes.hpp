// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>

// HID keyboard usages (page 7) and the Linux keycodes the kernel maps them to by default.
namespace zepa::hid {

struct KeycodeEntry {
  std::uint8_t usage;
  std::uint16_t keycode;
  const char* name;  // KEY_… as in linux/input-event-codes.h
};

std::span<const KeycodeEntry> keyboardKeycodes();  // ascending usage
std::optional<std::uint16_t> linuxKeycode(std::uint8_t usage);

}  // namespace zepa::hid
