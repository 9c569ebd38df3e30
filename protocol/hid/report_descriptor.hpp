// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// What the HID layer needs to know from a report descriptor. Parsing never fails: malformed
// or truncated input yields what could be read up to that point.
namespace zepa::hid {

struct DescriptorSummary {
  // Usage page and usage of the first Application (or Physical) collection.
  std::optional<std::uint32_t> primaryUsagePage;
  std::optional<std::uint32_t> primaryUsage;
  // Largest feature report in bytes, counting the ID byte when report IDs are used.
  std::uint32_t maxFeatureReportSize = 0;
  std::vector<std::uint8_t> reportIDs;  // distinct, in order of appearance (0 if unnumbered)
};

DescriptorSummary parseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace zepa::hid
