// SPDX-License-Identifier: MIT
#include "tools/sim/halvern_firmware.hpp"

#include <algorithm>
#include <utility>

#include "tools/sim/hex.hpp"

namespace zepa::sim {

namespace {

constexpr std::uint8_t modelQuery = 0x82;
constexpr std::uint8_t configRead = 0x84;
constexpr std::uint8_t configWrite = 0x04;
constexpr std::uint8_t colorCommand = 0x0A;

constexpr std::array<std::uint8_t, 8> configHeader = {0x06, 0x84, 0x00, 0x00,
                                                      0x01, 0x00, 0x80, 0x00};
constexpr std::array<std::uint8_t, 6> writeHeaderTail = {0x00, 0x00, 0x01, 0x00, 0x80, 0x00};

constexpr std::size_t customModeByte = 17;
constexpr std::size_t effectByte = 18;
// The firmware's own limit, not the protocol's effect table: the model judges what the host sends.
constexpr int lastEffect = 18;
constexpr std::size_t brightnessByte(int effect) {
  return 64 + 2 * effect;
}
constexpr std::size_t modeByte(int effect) {
  return 65 + 2 * effect;
}

// What a keyboard fresh from the box reports: custom mode on, rainbow wave, every effect at full
// brightness and middle speed, multicolour where it has a speed. The bytes the host does not
// interpret are not zero, so a host that fails to write them back unchanged is noticed.
std::array<std::uint8_t, HalvernFirmware::blockSize> factoryBlock() {
  std::array<std::uint8_t, HalvernFirmware::blockSize> block{};
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0xFF);
  auto at = [&](std::size_t position) -> std::uint8_t& {
    return block[position - HalvernFirmware::blockOffset];
  };
  at(customModeByte) = 1;
  at(effectByte) = 15;
  for (int effect = 1; effect <= lastEffect; ++effect) {
    at(brightnessByte(effect)) = 4;
    at(modeByte(effect)) = effect == 1 ? 0x00 : 0x27;
  }
  return block;
}

}  // namespace

HalvernFirmware::HalvernFirmware()
    : model_{0x06, 0x82, 0x01, 0x00, 0x01, 0x00, 0x06, 0x00, 0x8A, 0x25, 0x0C, 0x01, 0x6C, 0x02},
      block_(factoryBlock()) {}

std::uint8_t HalvernFirmware::configByte(std::size_t position) const {
  if (position < blockOffset || position >= blockOffset + blockSize) return 0;
  return block_[position - blockOffset];
}

void HalvernFirmware::corruptOnWrite(std::size_t position) {
  corruptPosition_ = position;
}

void HalvernFirmware::reject(std::string reason) {
  ++rejected_;
  lastError_ = std::move(reason);
}

void HalvernFirmware::receive(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> report(reportSize, 0);
  std::copy_n(bytes.begin(), std::min(bytes.size(), reportSize), report.begin());
  lastCommand_ = report[1];
  switch (report[1]) {
    case modelQuery:
    case configRead:
      return;
    case configWrite: {
      if (!std::equal(writeHeaderTail.begin(), writeHeaderTail.end(), report.begin() + 2))
        return reject("configuration write with a wrong header");
      std::copy_n(report.begin() + blockOffset, blockSize, block_.begin());
      if (corruptPosition_ && *corruptPosition_ >= blockOffset &&
          *corruptPosition_ < blockOffset + blockSize)
        block_[*corruptPosition_ - blockOffset] ^= 0xFF;
      corruptPosition_.reset();
      ++configWrites_;
      return;
    }
    case colorCommand:
      if (report[7] != 0x02 || report[514] != 0x5A || report[515] != 0xA5)
        return reject("colour report without its markers");
      color_ = Color{report[29], report[30], report[31]};
      return;
    default:
      return reject("unknown command " + hexBytes(std::span(report).subspan(1, 1)));
  }
}

std::vector<std::uint8_t> HalvernFirmware::answer() const {
  std::vector<std::uint8_t> answer(reportSize, 0);
  answer[0] = reportID;
  switch (lastCommand_) {
    case modelQuery:
      std::copy(model_.begin(), model_.end(), answer.begin());
      break;
    case configRead:
      std::copy(configHeader.begin(), configHeader.end(), answer.begin());
      std::copy(block_.begin(), block_.end(), answer.begin() + blockOffset);
      break;
    default:
      // Anything else is echoed without data, as the keyboard does after a write.
      answer[1] = lastCommand_;
      break;
  }
  return answer;
}

nlohmann::json HalvernFirmware::state() const {
  nlohmann::json effects = nlohmann::json::array();
  for (int effect = 1; effect <= lastEffect; ++effect) {
    std::uint8_t mode = configByte(modeByte(effect));
    effects.push_back({{"effect", effect},
                       {"brightness", configByte(brightnessByte(effect))},
                       {"speed", mode >> 4},
                       {"colorful", (mode & 0x07) == 0x07}});
  }
  nlohmann::json keys = nlohmann::json::array();
  for (const auto& [scancode, keycode] : keyMap_.changes())
    keys.push_back({{"scancode", scancode}, {"usage", scancode & 0xFF}, {"keycode", keycode}});

  nlohmann::json state;
  state["modelAnswer"] = hexBytes(model_);
  state["configBlock"] = hexBytes(block_);
  state["customMode"] = configByte(customModeByte) == 1;
  state["effect"] = configByte(effectByte);
  state["effects"] = effects;
  state["color"] =
      color_
          ? nlohmann::json{{"red", color_->red}, {"green", color_->green}, {"blue", color_->blue}}
          : nlohmann::json(nullptr);
  state["keyMap"] = keys;
  state["configWrites"] = configWrites_;
  state["rejected"] = rejected_;
  state["lastError"] = lastError_;
  return state;
}

}  // namespace zepa::sim
