// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The call zepa-keymap understands:
//   zepa-keymap [--device-root DIR] property --matching MATCH --set PROPERTY
// Everything is checked here, before any device is touched, so a bad call changes nothing.
namespace zepa::keymap {

// A failure the tool reports as its single German line on standard error.
class KeymapError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The keyboard interface the map is meant for, as the matching dictionary names it.
struct DeviceMatch {
  std::int64_t vendorID = 0;
  std::int64_t productID = 0;
  std::int64_t primaryUsagePage = 0;
  std::int64_t primaryUsage = 0;
};

// The key with HID keyboard usage `sourceUsage` is to produce `keycode`, the Linux keycode of
// the keyboard usage `targetUsage`.
struct KeyPair {
  std::uint8_t sourceUsage = 0;
  std::uint8_t targetUsage = 0;
  std::uint16_t keycode = 0;
};

struct KeyMappingRequest {
  std::filesystem::path deviceRoot = "/";
  DeviceMatch match;
  std::vector<KeyPair> pairs;  // in the order given; a later pair for the same key wins
};

// Usage values carry the keyboard page in their upper 32 bits.
inline constexpr std::uint64_t keyboardPageBase = 0x700000000;

DeviceMatch parseDeviceMatch(std::string_view text);
std::vector<KeyPair> parseUserKeyMapping(std::string_view text);
// `args` without the program name.
KeyMappingRequest parseArguments(std::span<const std::string_view> args);

// "0x39": a keyboard usage as messages show it.
std::string usageText(std::uint8_t usage);

// Text taken from the caller, made safe to show inside one message line.
std::string quotedForMessage(std::string_view text);

}  // namespace zepa::keymap
