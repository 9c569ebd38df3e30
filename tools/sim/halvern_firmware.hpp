// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/sim/key_map.hpp"

// The Halvern Corvane Pro 108's configuration firmware: 520-byte feature reports with
// report ID 6 (the ID byte is byte 0), a 128-byte configuration block, the model query, the
// configuration read and write, and the colour report. Its keyboard interface's key map
// lives in the kernel, but belongs to the same keyboard, so it is kept here.
namespace zepa::sim {

class HalvernFirmware {
 public:
  static constexpr std::size_t reportSize = 520;
  static constexpr std::size_t blockSize = 128;
  static constexpr std::size_t blockOffset = 8;  // block position inside the 136-byte answer
  static constexpr std::uint8_t reportID = 6;

  struct Color {
    std::uint8_t red = 0, green = 0, blue = 0;
  };

  HalvernFirmware();

  // One feature report, ID byte first (shorter reports are padded with zeros).
  void receive(std::span<const std::uint8_t> report);
  // The answer to the last request, 520 bytes with the ID byte first.
  std::vector<std::uint8_t> answer() const;

  // The model answer's 14 bytes (header 06 82 01 00 01 00 06 00, data bytes 8 to 13).
  const std::array<std::uint8_t, 14>& modelAnswer() const { return model_; }
  void setModelAnswer(const std::array<std::uint8_t, 14>& answer) { model_ = answer; }

  // The configuration block (bytes 8 to 135 of the configuration answer).
  const std::array<std::uint8_t, blockSize>& block() const { return block_; }
  void setBlock(const std::array<std::uint8_t, blockSize>& block) { block_ = block; }
  // Byte at `position` of the 136-byte answer (8 to 135).
  std::uint8_t configByte(std::size_t position) const;

  // Test hook: the next configuration write stores the byte at `position` (of the 136-byte
  // answer, 8 to 135) inverted, as a flaky flash write would.
  void corruptOnWrite(std::size_t position);

  const std::optional<Color>& color() const { return color_; }
  int configWrites() const { return configWrites_; }
  int rejectedCount() const { return rejected_; }
  const std::string& lastError() const { return lastError_; }

  KeyMap& keyMap() { return keyMap_; }
  const KeyMap& keyMap() const { return keyMap_; }

  nlohmann::json state() const;

 private:
  void reject(std::string reason);

  std::array<std::uint8_t, 14> model_;
  std::array<std::uint8_t, blockSize> block_;
  std::optional<Color> color_;
  std::uint8_t lastCommand_ = 0;
  std::optional<std::size_t> corruptPosition_;
  int configWrites_ = 0;
  int rejected_ = 0;
  std::string lastError_;
  KeyMap keyMap_;
};

}  // namespace zepa::sim
