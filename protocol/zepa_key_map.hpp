// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The ZEPA VX10's 104 keys: label, firmware index, HID keyboard usage.
namespace zepa {

struct ZEPAKey {
  std::string name;
  std::uint8_t index;
  std::uint8_t hid;

  std::uint8_t id() const { return index; }
  friend bool operator==(const ZEPAKey&, const ZEPAKey&) = default;
};

namespace ZEPAKeyMap {
std::span<const ZEPAKey> keys();
const ZEPAKey* key(std::uint8_t index);
// Case-insensitive (Unicode-aware for the table's labels), no trimming.
const ZEPAKey* key(std::string_view name);
std::optional<std::uint8_t> modifierBit(std::uint8_t hidUsage);
}  // namespace ZEPAKeyMap

// Lower-cases UTF-8 text, including the non-ASCII letters the key tables use (Ü → ü).
std::string lowercased(std::string_view text);

}  // namespace zepa
