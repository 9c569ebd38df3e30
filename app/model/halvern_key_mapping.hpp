// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "protocol/records.hpp"

// The per-device key mapping the key-map tool applies to the Halvern keyboard.
namespace zepa::HalvernKeyMapping {

// Vendor, product and the keyboard interface (generic desktop, keyboard).
inline constexpr const char* matching =
    R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})";

// {"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":…,"HIDKeyboardModifierMappingDst":…}…]}
// with the source and target usages on keyboard page 7, in list order. Compact JSON.
std::string property(const std::vector<KeyRemap>& remaps);

}  // namespace zepa::HalvernKeyMapping
