// SPDX-License-Identifier: MIT
#include "app/model/halvern_key_mapping.hpp"

#include <cstdint>

#include <nlohmann/json.hpp>

namespace zepa::HalvernKeyMapping {

namespace {
// Keyboard usage page 7 in the upper 32 bits of the 64-bit usage.
constexpr std::uint64_t keyboardPage = 0x700000000ULL;
}  // namespace

std::string property(const std::vector<KeyRemap>& remaps) {
  nlohmann::json pairs = nlohmann::json::array();
  for (const KeyRemap& remap : remaps) {
    pairs.push_back({{"HIDKeyboardModifierMappingSrc", keyboardPage + remap.sourceIndex},
                     {"HIDKeyboardModifierMappingDst", keyboardPage + remap.param2}});
  }
  return nlohmann::json{{"UserKeyMapping", pairs}}.dump();
}

}  // namespace zepa::HalvernKeyMapping
