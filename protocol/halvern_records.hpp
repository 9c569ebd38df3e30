// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "protocol/records.hpp"

// The Halvern Corvane Pro 108 lighting model and the raw answers of its model query and
// configuration read.
namespace zepa {

enum class HalvernEffect : int {
  off = 0,
  staticColor = 1,
  breathing = 2,
  wave = 3,
  spectrum = 4,
  rain = 5,
  colorShift = 6,
  ripple = 7,
  starlight = 8,
  snake = 9,
  marquee = 10,
  aurora = 11,
  reactive = 12,
  firework = 13,
  gradient = 14,
  rainbowWave = 15,
  prism = 16,
  cycle = 17,
  tidal = 18,
};

// The effect with the highest raw value; the table has a row for each effect up to it.
inline constexpr HalvernEffect lastHalvernEffect = HalvernEffect::tidal;

std::span<const HalvernEffect> allHalvernEffects();      // 19 cases in raw order
std::span<const HalvernEffect> visibleHalvernEffects();  // the 16 offered in the lighting view
std::optional<HalvernEffect> halvernEffectFromRaw(int raw);
constexpr int rawValue(HalvernEffect effect) {
  return static_cast<int>(effect);
}
const std::string& name(HalvernEffect effect);  // German display name
const char* cliName(HalvernEffect effect);  // its case name ("staticColor"), for the command line
bool supportsBrightness(HalvernEffect effect);
bool supportsSpeed(HalvernEffect effect);
bool supportsColor(HalvernEffect effect);
bool supportsColorful(HalvernEffect effect);

struct HalvernLightingConfig {
  HalvernEffect effect;
  RGBColor color;
  std::uint8_t brightness;
  std::uint8_t speed;
  bool colorful;

  friend bool operator==(const HalvernLightingConfig&, const HalvernLightingConfig&) = default;
};

struct HalvernDeviceInfo {
  std::vector<std::uint8_t> response;  // bytes 0-13 of the model answer

  std::optional<std::uint8_t> modelByte() const;
  std::optional<std::uint8_t> hardwareByte() const;
};

struct HalvernConfigSnapshot {
  std::vector<std::uint8_t> response;  // bytes 0-135 of the configuration answer

  bool customMode() const;
  std::optional<std::uint8_t> effectID() const;
};

nlohmann::json toJson(HalvernEffect value);
nlohmann::json toJson(const HalvernLightingConfig& value);
std::optional<HalvernEffect> halvernEffectFromJson(const nlohmann::json& json);
std::optional<HalvernLightingConfig> halvernLightingFromJson(const nlohmann::json& json);

std::string encodeHalvernLighting(const HalvernLightingConfig& config);
std::optional<HalvernLightingConfig> decodeHalvernLighting(std::string_view text);

}  // namespace zepa
