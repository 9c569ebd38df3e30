// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <nlohmann/json.hpp>

// The ZEPA VX10's configuration firmware: it takes 64-byte feature reports framed as
// begin / data header / data / apply / end, applies a complete sequence when the apply
// command arrives and acknowledges every read-back.
namespace zepa::sim {

class ZEPAFirmware {
 public:
  static constexpr std::size_t reportSize = 64;
  static constexpr std::size_t blockSize = 576;
  using Report = std::array<std::uint8_t, reportSize>;
  using Block = std::array<std::uint8_t, blockSize>;

  struct Clock {
    int profile = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0,
        weekday = 0;  // 0 = Sunday
  };

  // One feature report as written by the host (shorter reports are padded with zeros).
  void receive(std::span<const std::uint8_t> report);
  // The read-back: first three bytes of the last report, byte 3 = 0x01.
  Report answer() const;

  // The applied state. The lighting report is the last applied effect report, the per-key
  // mode included (byte 0 = 0x80).
  const std::optional<Report>& lighting() const { return lighting_; }
  const std::optional<Clock>& clock() const { return clock_; }
  const Block& perKeyBlock() const { return perKey_; }
  const Block& remapBlock(bool fnLayer) const { return fnLayer ? fnRemaps_ : baseRemaps_; }
  int appliedCount() const { return applied_; }
  int rejectedCount() const { return rejected_; }
  const std::string& lastError() const { return lastError_; }

  nlohmann::json state() const;

 private:
  enum class Phase { idle, begun, receiving, complete, failed };

  void reject(std::string reason);
  void apply();

  Phase phase_ = Phase::idle;
  std::uint8_t kind_ = 0;
  std::size_t expected_ = 0;
  std::size_t received_ = 0;
  Block pending_{};
  Report last_{};

  std::optional<Report> lighting_;
  std::optional<Clock> clock_;
  Block perKey_{};
  Block baseRemaps_{};
  Block fnRemaps_{};
  int applied_ = 0;
  int rejected_ = 0;
  std::string lastError_;
};

}  // namespace zepa::sim
