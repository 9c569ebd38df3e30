// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::sim {

// "0a ff 00": two lower-case hex digits per byte, single spaces.
std::string hexBytes(std::span<const std::uint8_t> bytes);
// The inverse; accepts any whitespace between bytes. Nothing for malformed text.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);

}  // namespace zepa::sim
