// SPDX-License-Identifier: MIT
#include "tools/sim/zepa_firmware.hpp"

#include <algorithm>
#include <utility>

#include "tools/sim/hex.hpp"

namespace zepa::sim {

namespace {

// Data kinds the firmware accepts after a begin command, and how many data reports each
// announces.
struct DataKind {
  std::uint8_t kind;
  std::size_t count;
  const char* name;
};
constexpr DataKind dataKinds[] = {
    {0x13, 1, "lighting"},   {0x28, 1, "clock"},    {0x23, 9, "per-key colours"},
    {0x11, 9, "base remap"}, {0x27, 9, "Fn remap"},
};

const DataKind* findKind(std::uint8_t kind) {
  for (const auto& row : dataKinds)
    if (row.kind == kind) return &row;
  return nullptr;
}

constexpr std::uint8_t commandReport = 0x04;
constexpr std::uint8_t beginCommand = 0x18;
constexpr std::uint8_t applyCommand = 0x02;
constexpr std::uint8_t endCommand = 0xF0;
constexpr std::uint8_t perKeyEffect = 0x80;
// The firmware's own limit, not the protocol's mode table: the model judges what the host sends.
constexpr std::uint8_t lastEffect = 19;
constexpr std::size_t headerCountByte = 8;

bool isCommand(const ZEPAFirmware::Report& report, std::uint8_t command) {
  return report[0] == commandReport && report[1] == command;
}

// A bare command report: the two command bytes and nothing else.
bool isBareCommand(const ZEPAFirmware::Report& report) {
  return report[0] == commandReport &&
         (report[1] == beginCommand || report[1] == applyCommand || report[1] == endCommand) &&
         std::all_of(report.begin() + 2, report.end(), [](std::uint8_t b) { return b == 0; });
}

bool hasTrailer(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] == 0xAA && bytes[at + 1] == 0x55;
}

nlohmann::json slots(const ZEPAFirmware::Block& block, bool colours) {
  nlohmann::json list = nlohmann::json::array();
  // Slot 0 is never written and the last slot holds the trailer.
  for (std::size_t index = 1; index <= 142; ++index) {
    const std::uint8_t* slot = &block[index * 4];
    if (std::all_of(slot, slot + 4, [](std::uint8_t b) { return b == 0; })) continue;
    if (colours)
      list.push_back({{"index", index},
                      {"key", slot[0]},
                      {"red", slot[1]},
                      {"green", slot[2]},
                      {"blue", slot[3]}});
    else
      list.push_back({{"index", index},
                      {"action", slot[0]},
                      {"param1", slot[1]},
                      {"param2", slot[2]},
                      {"param3", slot[3]}});
  }
  return list;
}

}  // namespace

void ZEPAFirmware::receive(std::span<const std::uint8_t> bytes) {
  Report report{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), reportSize), report.begin());
  last_ = report;

  if (phase_ == Phase::receiving) {
    // A bare command while data is still due means the host gave up on the sequence (a
    // failed write) and starts over; data reports never look like that, since lighting and
    // clock reports carry a trailer and block reports start with a key index.
    if (!isBareCommand(report)) {
      std::copy(report.begin(), report.end(), pending_.begin() + received_ * reportSize);
      if (++received_ == expected_) phase_ = Phase::complete;
      return;
    }
    reject("wrong count: " + std::to_string(received_) + " of " + std::to_string(expected_) +
           " data reports before a command");
  }

  if (isCommand(report, beginCommand)) {
    if (phase_ == Phase::complete) reject("sequence restarted without apply");
    phase_ = Phase::begun;
    kind_ = 0;
    received_ = expected_ = 0;
    return;
  }
  if (phase_ == Phase::failed) return;  // ignored until the next begin

  if (isCommand(report, applyCommand)) {
    if (phase_ == Phase::complete) {
      apply();
    } else {
      reject("apply without data");
    }
    return;
  }
  if (isCommand(report, endCommand)) {
    if (phase_ == Phase::complete) reject("end without apply");
    phase_ = Phase::idle;
    return;
  }
  if (report[0] == commandReport && findKind(report[1])) {
    if (phase_ != Phase::begun) {
      reject("data header without begin");
      return;
    }
    const DataKind& kind = *findKind(report[1]);
    if (report[headerCountByte] != kind.count) {
      reject(std::string("wrong count: ") + kind.name + " header announces " +
             std::to_string(report[headerCountByte]) + " reports, expected " +
             std::to_string(kind.count));
      return;
    }
    kind_ = kind.kind;
    expected_ = kind.count;
    received_ = 0;
    pending_.fill(0);
    phase_ = Phase::receiving;
    return;
  }
  reject("data without header");
}

ZEPAFirmware::Report ZEPAFirmware::answer() const {
  Report answer{};
  std::copy_n(last_.begin(), 3, answer.begin());
  answer[3] = 0x01;
  return answer;
}

void ZEPAFirmware::reject(std::string reason) {
  ++rejected_;
  lastError_ = std::move(reason);
  phase_ = Phase::failed;
}

void ZEPAFirmware::apply() {
  const std::span<const std::uint8_t> data(pending_.data(), expected_ * reportSize);
  switch (kind_) {
    case 0x13: {
      if (!hasTrailer(data, 14)) return reject("lighting report without AA 55 trailer");
      if (data[0] > lastEffect && data[0] != perKeyEffect)
        return reject("unknown effect " + std::to_string(data[0]));
      if (data[9] > 5 || data[10] > 5 || data[11] > 1)
        return reject("brightness, speed or direction out of range");
      Report report{};
      std::copy_n(data.begin(), reportSize, report.begin());
      lighting_ = report;
      break;
    }
    case 0x28: {
      if (!hasTrailer(data, 62)) return reject("clock report without AA 55 trailer");
      Clock clock{data[1], 2000 + data[3], data[4], data[5], data[6], data[7], data[8], data[10]};
      if (clock.month < 1 || clock.month > 12 || clock.day < 1 || clock.day > 31 ||
          clock.hour > 23 || clock.minute > 59 || clock.second > 60 || clock.weekday > 6)
        return reject("clock report with an impossible date");
      clock_ = clock;
      break;
    }
    default: {
      if (!hasTrailer(data, blockSize - 2)) return reject("block without AA 55 trailer");
      Block& target = kind_ == 0x23 ? perKey_ : kind_ == 0x11 ? baseRemaps_ : fnRemaps_;
      target = pending_;
      break;
    }
  }
  ++applied_;
  phase_ = Phase::idle;
}

nlohmann::json ZEPAFirmware::state() const {
  nlohmann::json state;
  if (lighting_) {
    const Report& r = *lighting_;
    state["lighting"] = {{"effect", r[0]},     {"perKeyMode", r[0] == perKeyEffect},
                         {"red", r[1]},        {"green", r[2]},
                         {"blue", r[3]},       {"colorful", r[8] != 0},
                         {"brightness", r[9]}, {"speed", r[10]},
                         {"direction", r[11]}, {"report", hexBytes(std::span(r).first(16))}};
  } else {
    state["lighting"] = nullptr;
  }
  if (clock_) {
    state["clock"] = {{"profile", clock_->profile}, {"year", clock_->year},
                      {"month", clock_->month},     {"day", clock_->day},
                      {"hour", clock_->hour},       {"minute", clock_->minute},
                      {"second", clock_->second},   {"weekday", clock_->weekday}};
  } else {
    state["clock"] = nullptr;
  }
  state["perKeyColors"] = slots(perKey_, true);
  state["baseRemaps"] = slots(baseRemaps_, false);
  state["fnRemaps"] = slots(fnRemaps_, false);
  state["applied"] = applied_;
  state["rejected"] = rejected_;
  state["lastError"] = lastError_;
  return state;
}

}  // namespace zepa::sim
