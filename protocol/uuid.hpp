// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zepa {

// A 128-bit identifier; text form is the 36-character lower-case hyphenated one.
class Uuid {
 public:
  Uuid() = default;  // the nil UUID
  explicit Uuid(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

  static Uuid random();  // version 4, variant 1
  // Accepts upper- and lower-case hex in the 8-4-4-4-12 layout; nothing else.
  static std::optional<Uuid> parse(std::string_view text);

  std::string text() const;
  const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }

  friend bool operator==(const Uuid&, const Uuid&) = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace zepa
