// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/zepa_error.hpp"  // hexBytes, the writer

namespace zepa::sim {

// Hex text as zepa::hexBytes writes it ("0a ff 00") back to bytes; accepts any whitespace
// between bytes. Nothing for malformed text.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);

}  // namespace zepa::sim
