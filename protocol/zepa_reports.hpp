// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/pacing.hpp"
#include "protocol/records.hpp"

// The ZEPA VX10's report layouts, as free functions so each report can be checked byte for
// byte without a device.
namespace zepa::ZEPAReports {

using Report = std::vector<std::uint8_t>;

inline constexpr std::size_t reportLength = 64;
inline constexpr std::size_t keyBlockLength = 576;  // nine reports
inline constexpr std::uint8_t keyBlockReports = keyBlockLength / reportLength;
inline constexpr std::uint8_t perKeyMode = 0x80;
// Slot 143 shares its bytes with the block trailer, so it can never be written.
inline constexpr std::uint8_t highestKeyIndex = 142;

// What a data header announces.
enum class DataKind : std::uint8_t {
  lighting = 0x13,
  perKeyColors = 0x23,
  clock = 0x28,
  remapsBase = 0x11,
  remapsFn = 0x27,
};

// Commands are short; the transport pads them to a full report.
Report beginCommand();  // 04 18
Report applyCommand();  // 04 02
Report endCommand();    // 04 F0
Report dataHeader(DataKind kind, std::uint8_t count);

// Byte 0 is the effect number; "off" carries no settings.
Report lightingReport(const LightingConfig& config);
Report perKeyModeReport(std::uint8_t brightness);
// Nothing when a part is missing or does not fit its byte (years 2000 to 2255 only).
std::optional<Report> clockReport(const DateParts& parts, std::uint8_t profile);

// 144 four-byte slots addressed by firmware key index, trailer AA 55 in the last two bytes.
// Indices 0 and above 142 are dropped; a later entry for an index wins.
Report perKeyBlock(const std::vector<KeyColor>& colors);
Report remapBlock(const std::vector<KeyRemap>& remaps);

// A read-back acknowledges `sent` when at least four bytes came back and either byte 3 is 1
// or bytes 0 to 2 echo the request.
bool acknowledges(std::span<const std::uint8_t> sent, std::span<const std::uint8_t> response,
                  std::size_t length);

}  // namespace zepa::ZEPAReports
