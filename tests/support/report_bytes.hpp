// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tools/sim/hex.hpp"

// The suite's one notation for bytes: hex text, "04 18"; a report is its head padded with
// zeros to the report size, with optional pieces at given offsets ({{62, "aa 55"}}).
namespace zepa::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytes(const std::string& hex) {
  auto parsed = zepa::sim::parseHexBytes(hex);
  EXPECT_TRUE(parsed.has_value()) << "bad hex in test: " << hex;
  return parsed.value_or(Bytes{});
}

inline Bytes report(const std::string& head, std::size_t size,
                    const std::map<std::size_t, std::string>& at = {}) {
  Bytes out(size, 0);
  auto place = [&](std::size_t offset, const std::string& hex) {
    const auto piece = bytes(hex);
    for (std::size_t i = 0; i < piece.size() && offset + i < size; ++i) out[offset + i] = piece[i];
  };
  place(0, head);
  for (const auto& [offset, hex] : at) place(offset, hex);
  return out;
}

inline std::string hex(std::span<const std::uint8_t> data) {
  return zepa::hexBytes(data);
}

// A report as one line a reader can compare: its bytes up to the last non-zero one, then its
// size ("04 18 /64").
inline std::string shown(std::span<const std::uint8_t> data) {
  std::size_t end = data.size();
  while (end > 0 && data[end - 1] == 0) --end;
  return hex(data.first(end)) + " /" + std::to_string(data.size());
}

// GoogleTest prints a failing row by its name instead of its raw bytes; test files bring this
// into their own namespace (`using test::PrintTo;`) so it is found for their row types.
template <typename Row>
requires requires(const Row& row) {
  std::string_view(row.name);
}
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

}  // namespace zepa::test
