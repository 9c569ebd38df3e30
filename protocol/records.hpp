// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "protocol/uuid.hpp"

// Plain value records shared by both keyboards, with their JSON coding.
namespace zepa {

enum class LightingMode : int {
  off = 0,
  staticColor = 1,
  singleOn = 2,
  singleOff = 3,
  glittering = 4,
  falling = 5,
  colourful = 6,
  breath = 7,
  spectrum = 8,
  outward = 9,
  scrolling = 10,
  rolling = 11,
  rotating = 12,
  explode = 13,
  launch = 14,
  ripples = 15,
  flowing = 16,
  pulsating = 17,
  tilt = 18,
  shuttle = 19,
};

// The mode with the highest raw value; the table has a row for each mode up to it.
inline constexpr LightingMode lastLightingMode = LightingMode::shuttle;

std::span<const LightingMode> allLightingModes();  // 20 cases in raw order
std::optional<LightingMode> lightingModeFromRaw(int raw);
constexpr int rawValue(LightingMode mode) {
  return static_cast<int>(mode);
}
const std::string& name(LightingMode mode);  // German display name
const char* cliName(LightingMode mode);      // its case name ("staticColor"), for the command line
bool supportsSpeed(LightingMode mode);
bool supportsDirection(LightingMode mode);
bool supportsColor(LightingMode mode);
bool supportsColorful(LightingMode mode);

struct RGBColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  static const RGBColor cyan;  // 0, 210, 255
  friend bool operator==(const RGBColor&, const RGBColor&) = default;
};

struct LightingConfig {
  LightingMode mode;
  RGBColor color;
  std::uint8_t brightness;
  std::uint8_t speed;
  std::uint8_t direction;
  bool colorful;

  friend bool operator==(const LightingConfig&, const LightingConfig&) = default;
};

struct KeyColor {
  std::uint8_t index = 0;
  RGBColor color;

  std::uint8_t id() const { return index; }
  friend bool operator==(const KeyColor&, const KeyColor&) = default;
};

enum class RemapAction : std::uint8_t {
  none = 0,
  special = 1,
  key = 2,
  consumer = 3,
  profile = 5,
  macro = 6,
  mouse = 7,
};

std::optional<RemapAction> remapActionFromRaw(int raw);
inline std::uint8_t rawValue(RemapAction action) {
  return static_cast<std::uint8_t>(action);
}

struct KeyRemap {
  std::uint8_t sourceIndex = 0;
  RemapAction action = RemapAction::none;
  std::uint8_t param1 = 0;
  std::uint8_t param2 = 0;
  std::uint8_t param3 = 0;

  std::uint8_t id() const { return sourceIndex; }
  friend bool operator==(const KeyRemap&, const KeyRemap&) = default;
};

struct ZEPAProfile {
  Uuid id;
  std::string name;
  LightingConfig lighting;
  std::vector<KeyColor> keyColors;
  std::vector<KeyRemap> remaps;

  // "Standard", rolling, cyan, brightness 5, speed 3, direction 0, multicolour; a fresh UUID.
  static ZEPAProfile makeDefault();
};

// JSON coding. Encoding writes every key; decoding is strict (every key required, exact types,
// ranges) and ignores unknown keys. Decoders return nothing instead of throwing.
nlohmann::json toJson(const RGBColor& value);
nlohmann::json toJson(const LightingConfig& value);
nlohmann::json toJson(const KeyColor& value);
nlohmann::json toJson(const KeyRemap& value);
nlohmann::json toJson(const ZEPAProfile& value);
nlohmann::json toJson(LightingMode value);
nlohmann::json toJson(RemapAction value);
nlohmann::json toJson(const std::vector<KeyRemap>& value);

std::optional<RGBColor> rgbColorFromJson(const nlohmann::json& json);
std::optional<LightingConfig> lightingConfigFromJson(const nlohmann::json& json);
std::optional<KeyColor> keyColorFromJson(const nlohmann::json& json);
std::optional<KeyRemap> keyRemapFromJson(const nlohmann::json& json);
std::optional<ZEPAProfile> profileFromJson(const nlohmann::json& json);
std::optional<LightingMode> lightingModeFromJson(const nlohmann::json& json);
std::optional<RemapAction> remapActionFromJson(const nlohmann::json& json);
std::optional<std::vector<KeyRemap>> keyRemapsFromJson(const nlohmann::json& json);

// Whole documents as text (compact JSON, UTF-8); decoding never throws.
std::string encodeProfile(const ZEPAProfile& profile);
std::optional<ZEPAProfile> decodeProfile(std::string_view text);
std::string encodeKeyRemaps(const std::vector<KeyRemap>& remaps);
std::optional<std::vector<KeyRemap>> decodeKeyRemaps(std::string_view text);

}  // namespace zepa
