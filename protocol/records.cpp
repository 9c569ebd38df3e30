// SPDX-License-Identifier: MIT
#include "protocol/records.hpp"

#include <array>

#include <nlohmann/json.hpp>

#include "protocol/json_fields.hpp"

namespace zepa {

using nlohmann::json;
using namespace json_fields;

namespace {

struct LightingModeRow {
  LightingMode mode;
  const char* cliName;  // the case name, as zepactl accepts it
  const char* name;     // German display name
  bool speed;
  bool direction;
  bool color;
};

// The one list of modes: every other list, bound and name comes from it.
constexpr LightingModeRow lightingModeTable[] = {
    {LightingMode::off, "off", "Aus", false, false, false},
    {LightingMode::staticColor, "staticColor", "Statisch", false, false, true},
    {LightingMode::singleOn, "singleOn", "Einzeln ein", true, false, true},
    {LightingMode::singleOff, "singleOff", "Einzeln aus", true, false, true},
    {LightingMode::glittering, "glittering", "Glitzern", true, false, true},
    {LightingMode::falling, "falling", "Fallend", true, false, true},
    {LightingMode::colourful, "colourful", "Farbenreich", true, false, false},
    {LightingMode::breath, "breath", "Atmen", true, false, true},
    {LightingMode::spectrum, "spectrum", "Spektrum", true, false, false},
    {LightingMode::outward, "outward", "Nach außen", true, false, true},
    {LightingMode::scrolling, "scrolling", "Scrollen", true, true, true},
    {LightingMode::rolling, "rolling", "Rollen", true, true, true},
    {LightingMode::rotating, "rotating", "Rotieren", true, true, true},
    {LightingMode::explode, "explode", "Explosion", true, false, true},
    {LightingMode::launch, "launch", "Start", true, false, true},
    {LightingMode::ripples, "ripples", "Wellen", true, false, true},
    {LightingMode::flowing, "flowing", "Fließen", true, true, true},
    {LightingMode::pulsating, "pulsating", "Pulsieren", true, false, true},
    {LightingMode::tilt, "tilt", "Neigen", true, true, true},
    {LightingMode::shuttle, "shuttle", "Pendeln", true, false, true},
};

constexpr std::size_t lightingModeCount = std::size(lightingModeTable);
static_assert(lightingModeCount == static_cast<std::size_t>(lastLightingMode) + 1,
              "every mode has a row");
static_assert(
    [] {
      for (std::size_t i = 0; i < lightingModeCount; ++i) {
        if (static_cast<std::size_t>(lightingModeTable[i].mode) != i) return false;
      }
      return true;
    }(),
    "a raw value indexes its row");

constexpr auto lightingModeValues = [] {
  std::array<LightingMode, lightingModeCount> modes{};
  for (std::size_t i = 0; i < lightingModeCount; ++i) modes[i] = lightingModeTable[i].mode;
  return modes;
}();

bool known(LightingMode mode) {
  return rawValue(mode) >= 0 && rawValue(mode) < static_cast<int>(lightingModeCount);
}

// A value cast from an unchecked integer gets an empty name and no capabilities, not a read
// past the table.
const LightingModeRow& row(LightingMode mode) {
  static constexpr LightingModeRow unknown{LightingMode::off, "", "", false, false, false};
  return known(mode) ? lightingModeTable[static_cast<std::size_t>(rawValue(mode))] : unknown;
}

template <typename T, typename Decode>
std::optional<std::vector<T>> listFromJson(const json& array, Decode decode) {
  if (!array.is_array()) return std::nullopt;
  std::vector<T> values;
  values.reserve(array.size());
  for (const json& element : array) {
    auto value = decode(element);
    if (!value) return std::nullopt;
    values.push_back(*value);
  }
  return values;
}

}  // namespace

const RGBColor RGBColor::cyan{0, 210, 255};

std::span<const LightingMode> allLightingModes() {
  return lightingModeValues;
}

std::optional<LightingMode> lightingModeFromRaw(int raw) {
  const auto mode = static_cast<LightingMode>(raw);
  if (!known(mode)) return std::nullopt;
  return mode;
}

const std::string& name(LightingMode mode) {
  static const auto names = [] {
    std::array<std::string, lightingModeCount + 1> all;  // the last one for unknown values
    for (std::size_t i = 0; i < lightingModeCount; ++i) all[i] = lightingModeTable[i].name;
    return all;
  }();
  return names[known(mode) ? static_cast<std::size_t>(rawValue(mode)) : lightingModeCount];
}
const char* cliName(LightingMode mode) {
  return row(mode).cliName;
}
bool supportsSpeed(LightingMode mode) {
  return row(mode).speed;
}
bool supportsDirection(LightingMode mode) {
  return row(mode).direction;
}
bool supportsColor(LightingMode mode) {
  return row(mode).color;
}
bool supportsColorful(LightingMode mode) {
  return row(mode).color;
}

std::optional<RemapAction> remapActionFromRaw(int raw) {
  switch (raw) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
      return static_cast<RemapAction>(raw);
    default:
      return std::nullopt;
  }
}

ZEPAProfile ZEPAProfile::makeDefault() {
  return ZEPAProfile{Uuid::random(),
                     "Standard",
                     LightingConfig{LightingMode::rolling, RGBColor::cyan, 5, 3, 0, true},
                     {},
                     {}};
}

// Encoding.

json toJson(const RGBColor& value) {
  return json{{"red", value.red}, {"green", value.green}, {"blue", value.blue}};
}

json toJson(LightingMode value) {
  return rawValue(value);
}

json toJson(RemapAction value) {
  return rawValue(value);
}

json toJson(const LightingConfig& value) {
  return json{{"mode", toJson(value.mode)},     {"color", toJson(value.color)},
              {"brightness", value.brightness}, {"speed", value.speed},
              {"direction", value.direction},   {"colorful", value.colorful}};
}

json toJson(const KeyColor& value) {
  return json{{"index", value.index}, {"color", toJson(value.color)}};
}

json toJson(const KeyRemap& value) {
  return json{{"sourceIndex", value.sourceIndex},
              {"action", toJson(value.action)},
              {"param1", value.param1},
              {"param2", value.param2},
              {"param3", value.param3}};
}

json toJson(const std::vector<KeyRemap>& value) {
  json array = json::array();
  for (const KeyRemap& remap : value) array.push_back(toJson(remap));
  return array;
}

json toJson(const ZEPAProfile& value) {
  json keyColors = json::array();
  for (const KeyColor& color : value.keyColors) keyColors.push_back(toJson(color));
  return json{{"id", value.id.text()},
              {"name", value.name},
              {"lighting", toJson(value.lighting)},
              {"keyColors", std::move(keyColors)},
              {"remaps", toJson(value.remaps)}};
}

// Decoding.

std::optional<RGBColor> rgbColorFromJson(const json& value) {
  auto red = byteField(value, "red");
  auto green = byteField(value, "green");
  auto blue = byteField(value, "blue");
  if (!red || !green || !blue) return std::nullopt;
  return RGBColor{*red, *green, *blue};
}

std::optional<LightingMode> lightingModeFromJson(const json& value) {
  auto raw = integerIn(value, 0, static_cast<std::int64_t>(lightingModeCount) - 1);
  if (!raw) return std::nullopt;
  return lightingModeFromRaw(static_cast<int>(*raw));
}

std::optional<RemapAction> remapActionFromJson(const json& value) {
  auto raw = integerIn(value, 0, 255);
  if (!raw) return std::nullopt;
  return remapActionFromRaw(static_cast<int>(*raw));
}

std::optional<LightingConfig> lightingConfigFromJson(const json& value) {
  const json* modeValue = member(value, "mode");
  const json* colorValue = member(value, "color");
  if (!modeValue || !colorValue) return std::nullopt;
  auto mode = lightingModeFromJson(*modeValue);
  auto color = rgbColorFromJson(*colorValue);
  auto brightness = byteField(value, "brightness");
  auto speed = byteField(value, "speed");
  auto direction = byteField(value, "direction");
  auto colorful = boolField(value, "colorful");
  if (!mode || !color || !brightness || !speed || !direction || !colorful) return std::nullopt;
  return LightingConfig{*mode, *color, *brightness, *speed, *direction, *colorful};
}

std::optional<KeyColor> keyColorFromJson(const json& value) {
  auto index = byteField(value, "index");
  const json* colorValue = member(value, "color");
  if (!index || !colorValue) return std::nullopt;
  auto color = rgbColorFromJson(*colorValue);
  if (!color) return std::nullopt;
  return KeyColor{*index, *color};
}

std::optional<KeyRemap> keyRemapFromJson(const json& value) {
  auto sourceIndex = byteField(value, "sourceIndex");
  const json* actionValue = member(value, "action");
  auto param1 = byteField(value, "param1");
  auto param2 = byteField(value, "param2");
  auto param3 = byteField(value, "param3");
  if (!sourceIndex || !actionValue || !param1 || !param2 || !param3) return std::nullopt;
  auto action = remapActionFromJson(*actionValue);
  if (!action) return std::nullopt;
  return KeyRemap{*sourceIndex, *action, *param1, *param2, *param3};
}

std::optional<std::vector<KeyRemap>> keyRemapsFromJson(const json& value) {
  return listFromJson<KeyRemap>(value, keyRemapFromJson);
}

std::optional<ZEPAProfile> profileFromJson(const json& value) {
  auto idText = stringField(value, "id");
  auto name = stringField(value, "name");
  const json* lightingValue = member(value, "lighting");
  const json* keyColorsValue = member(value, "keyColors");
  const json* remapsValue = member(value, "remaps");
  if (!idText || !name || !lightingValue || !keyColorsValue || !remapsValue) return std::nullopt;
  auto id = Uuid::parse(*idText);
  auto lighting = lightingConfigFromJson(*lightingValue);
  auto keyColors = listFromJson<KeyColor>(*keyColorsValue, keyColorFromJson);
  auto remaps = keyRemapsFromJson(*remapsValue);
  if (!id || !lighting || !keyColors || !remaps) return std::nullopt;
  return ZEPAProfile{*id, std::move(*name), *lighting, std::move(*keyColors), std::move(*remaps)};
}

// Documents.

std::string encodeProfile(const ZEPAProfile& profile) {
  return dump(toJson(profile));
}

std::optional<ZEPAProfile> decodeProfile(std::string_view text) {
  return profileFromJson(parse(text));
}

std::string encodeKeyRemaps(const std::vector<KeyRemap>& remaps) {
  return dump(toJson(remaps));
}

std::optional<std::vector<KeyRemap>> decodeKeyRemaps(std::string_view text) {
  return keyRemapsFromJson(parse(text));
}

}  // namespace zepa
