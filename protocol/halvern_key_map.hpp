// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <string>

// The Halvern Corvane Pro 108's 109 keys in physical row order: label and firmware position.
namespace zepa {

struct HalvernKey {
  std::string name;
  std::uint8_t index;

  std::uint8_t id() const { return index; }
  friend bool operator==(const HalvernKey&, const HalvernKey&) = default;
};

namespace HalvernKeyMap {
std::span<const HalvernKey> keys();
}  // namespace HalvernKeyMap

}  // namespace zepa
