// SPDX-License-Identifier: MIT
#include "protocol/zepa_reports.hpp"

#include <algorithm>
#include <array>

namespace zepa::ZEPAReports {

namespace {

constexpr std::uint8_t trailer0 = 0xAA;
constexpr std::uint8_t trailer1 = 0x55;

Report zeroReport() {
  return Report(reportLength, 0);
}

// Byte position and valid range of each date part in the clock report. A calendar seam can
// hand back anything, and a wrapped byte would set the clock to a wrong but plausible time.
struct ClockField {
  std::optional<int> DateParts::*part;
  std::size_t byte;
  int offset;  // subtracted before writing
  int low, high;
};

constexpr std::array<ClockField, 7> clockFields{{
    {&DateParts::year, 3, 2000, 2000, 2255},
    {&DateParts::month, 4, 0, 1, 12},
    {&DateParts::day, 5, 0, 1, 31},
    {&DateParts::hour, 6, 0, 0, 23},
    {&DateParts::minute, 7, 0, 0, 59},
    {&DateParts::second, 8, 0, 0, 60},   // a leap second is a real date
    {&DateParts::weekday, 10, 1, 1, 7},  // 1 = Sunday goes out as 0
}};

template <typename Entry, typename Slot>
Report keyBlock(const std::vector<Entry>& entries, Slot slot) {
  Report block(keyBlockLength, 0);
  for (const Entry& entry : entries) {
    const auto [index, bytes] = slot(entry);
    if (index == 0 || index > highestKeyIndex) continue;
    std::copy(bytes.begin(), bytes.end(), block.begin() + 4 * index);
  }
  block[keyBlockLength - 2] = trailer0;
  block[keyBlockLength - 1] = trailer1;
  return block;
}

}  // namespace

Report beginCommand() {
  return {0x04, 0x18};
}
Report applyCommand() {
  return {0x04, 0x02};
}
Report endCommand() {
  return {0x04, 0xF0};
}

Report dataHeader(DataKind kind, std::uint8_t count) {
  return {0x04, static_cast<std::uint8_t>(kind), 0, 0, 0, 0, 0, 0, count};
}

Report lightingReport(const LightingConfig& config) {
  Report report = zeroReport();
  report[0] = static_cast<std::uint8_t>(rawValue(config.mode));
  if (config.mode != LightingMode::off) {
    report[1] = config.color.red;
    report[2] = config.color.green;
    report[3] = config.color.blue;
    report[8] = config.colorful ? 1 : 0;
    report[9] = config.brightness;
    report[10] = config.speed;
    report[11] = config.direction;
  }
  report[14] = trailer0;
  report[15] = trailer1;
  return report;
}

Report perKeyModeReport(std::uint8_t brightness) {
  Report report = zeroReport();
  report[0] = perKeyMode;
  report[9] = brightness;
  report[14] = trailer0;
  report[15] = trailer1;
  return report;
}

std::optional<Report> clockReport(const DateParts& parts, std::uint8_t profile) {
  Report report = zeroReport();
  report[1] = profile;
  report[2] = 0x5A;
  for (const ClockField& field : clockFields) {
    const std::optional<int>& value = parts.*field.part;
    if (!value || *value < field.low || *value > field.high) return std::nullopt;
    report[field.byte] = static_cast<std::uint8_t>(*value - field.offset);
  }
  report[62] = trailer0;
  report[63] = trailer1;
  return report;
}

Report perKeyBlock(const std::vector<KeyColor>& colors) {
  return keyBlock(colors, [](const KeyColor& c) {
    return std::pair{c.index, std::array{c.index, c.color.red, c.color.green, c.color.blue}};
  });
}

Report remapBlock(const std::vector<KeyRemap>& remaps) {
  return keyBlock(remaps, [](const KeyRemap& r) {
    return std::pair{r.sourceIndex, std::array{rawValue(r.action), r.param1, r.param2, r.param3}};
  });
}

bool acknowledges(std::span<const std::uint8_t> sent, std::span<const std::uint8_t> response,
                  std::size_t length) {
  if (length < 4 || response.size() < 4) return false;
  if (response[3] == 0x01) return true;
  return sent.size() >= 3 && std::equal(sent.begin(), sent.begin() + 3, response.begin());
}

}  // namespace zepa::ZEPAReports
