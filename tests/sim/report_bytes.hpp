#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/sim/hex.hpp"

// Reports written as hex text: "04 18" padded to the report size, with optional pieces at
// given offsets ({{62, "aa 55"}}).
namespace zepa::test {

inline std::vector<std::uint8_t> bytes(const std::string& hex) {
  auto parsed = zepa::sim::parseHexBytes(hex);
  EXPECT_TRUE(parsed.has_value()) << "bad hex in test: " << hex;
  return parsed.value_or(std::vector<std::uint8_t>{});
}

inline std::vector<std::uint8_t> report(const std::string& head, std::size_t size,
                                        const std::map<std::size_t, std::string>& at = {}) {
  std::vector<std::uint8_t> out(size, 0);
  auto place = [&](std::size_t offset, const std::string& hex) {
    const auto piece = bytes(hex);
    for (std::size_t i = 0; i < piece.size() && offset + i < size; ++i) out[offset + i] = piece[i];
  };
  place(0, head);
  for (const auto& [offset, hex] : at) place(offset, hex);
  return out;
}

inline std::string hex(std::span<const std::uint8_t> data) {
  return zepa::sim::hexBytes(data);
}

}  // namespace zepa::test

// Compares byte strings and prints both in hex when they differ.
#define EXPECT_BYTES(actual, expectedHex) \
  EXPECT_EQ(::zepa::test::hex(actual), ::zepa::test::hex(::zepa::test::bytes(expectedHex)))
