// SPDX-License-Identifier: MIT
#include "protocol/halvern_records.hpp"

#include <array>

#include <nlohmann/json.hpp>

#include "protocol/json_fields.hpp"

namespace zepa {

using nlohmann::json;
using namespace json_fields;

namespace {

struct HalvernEffectRow {
  HalvernEffect effect;
  const char* cliName;  // the case name, as zepactl accepts it
  const char* name;     // German display name
  bool brightness;
  bool speed;
  bool color;
  bool visible;
};

// The one list of effects: every other list, bound and name comes from it.
constexpr HalvernEffectRow halvernEffectTable[] = {
    {HalvernEffect::off, "off", "Aus", false, false, false, true},
    {HalvernEffect::staticColor, "staticColor", "Konstant", true, false, true, true},
    {HalvernEffect::breathing, "breathing", "Atmen", true, true, true, true},
    {HalvernEffect::wave, "wave", "Welle", true, true, false, true},
    {HalvernEffect::spectrum, "spectrum", "Spektrum", true, true, true, true},
    {HalvernEffect::rain, "rain", "Regen", true, true, true, true},
    {HalvernEffect::colorShift, "colorShift", "Farbwechsel", true, true, true, false},
    {HalvernEffect::ripple, "ripple", "Wellenimpuls", true, true, true, true},
    {HalvernEffect::starlight, "starlight", "Sternenlicht", true, true, true, true},
    {HalvernEffect::snake, "snake", "Schlange", true, true, true, true},
    {HalvernEffect::marquee, "marquee", "Lauflicht", true, true, true, true},
    {HalvernEffect::aurora, "aurora", "Aurora", true, true, true, true},
    {HalvernEffect::reactive, "reactive", "Reaktiv", true, true, true, true},
    {HalvernEffect::firework, "firework", "Feuerwerk", true, true, true, true},
    {HalvernEffect::gradient, "gradient", "Verlauf", true, true, true, false},
    {HalvernEffect::rainbowWave, "rainbowWave", "Regenbogenwelle", true, true, false, true},
    {HalvernEffect::prism, "prism", "Prisma", true, true, false, true},
    {HalvernEffect::cycle, "cycle", "Farbzyklus", true, true, false, true},
    {HalvernEffect::tidal, "tidal", "Gezeiten", true, true, true, false},
};

constexpr std::size_t halvernEffectCount = std::size(halvernEffectTable);
static_assert(halvernEffectCount == static_cast<std::size_t>(lastHalvernEffect) + 1,
              "every effect has a row");
static_assert(
    [] {
      for (std::size_t i = 0; i < halvernEffectCount; ++i) {
        if (static_cast<std::size_t>(halvernEffectTable[i].effect) != i) return false;
      }
      return true;
    }(),
    "a raw value indexes its row");

bool known(HalvernEffect effect) {
  return rawValue(effect) >= 0 && rawValue(effect) < static_cast<int>(halvernEffectCount);
}

// A value cast from an unchecked integer gets an empty name and no capabilities.
const HalvernEffectRow& row(HalvernEffect effect) {
  static constexpr HalvernEffectRow unknown{HalvernEffect::off, "", "", false, false, false, false};
  return known(effect) ? halvernEffectTable[static_cast<std::size_t>(rawValue(effect))] : unknown;
}

template <bool visibleOnly>
std::vector<HalvernEffect> collectEffects() {
  std::vector<HalvernEffect> effects;
  for (const HalvernEffectRow& entry : halvernEffectTable) {
    if (!visibleOnly || entry.visible) effects.push_back(entry.effect);
  }
  return effects;
}

}  // namespace

std::span<const HalvernEffect> allHalvernEffects() {
  static const std::vector<HalvernEffect> effects = collectEffects<false>();
  return effects;
}

std::span<const HalvernEffect> visibleHalvernEffects() {
  static const std::vector<HalvernEffect> effects = collectEffects<true>();
  return effects;
}

std::optional<HalvernEffect> halvernEffectFromRaw(int raw) {
  const auto effect = static_cast<HalvernEffect>(raw);
  if (!known(effect)) return std::nullopt;
  return effect;
}

const std::string& name(HalvernEffect effect) {
  static const auto names = [] {
    std::array<std::string, halvernEffectCount + 1> all;  // the last one for unknown values
    for (std::size_t i = 0; i < halvernEffectCount; ++i) all[i] = halvernEffectTable[i].name;
    return all;
  }();
  return names[known(effect) ? static_cast<std::size_t>(rawValue(effect)) : halvernEffectCount];
}
const char* cliName(HalvernEffect effect) {
  return row(effect).cliName;
}
bool supportsBrightness(HalvernEffect effect) {
  return row(effect).brightness;
}
bool supportsSpeed(HalvernEffect effect) {
  return row(effect).speed;
}
bool supportsColor(HalvernEffect effect) {
  return row(effect).color;
}
bool supportsColorful(HalvernEffect effect) {
  return row(effect).color;
}

std::optional<std::uint8_t> HalvernDeviceInfo::modelByte() const {
  if (response.size() < 13) return std::nullopt;
  return response[12];
}

std::optional<std::uint8_t> HalvernDeviceInfo::hardwareByte() const {
  if (response.size() < 14) return std::nullopt;
  return response[13];
}

bool HalvernConfigSnapshot::customMode() const {
  return response.size() >= 18 && response[17] == 1;
}

std::optional<std::uint8_t> HalvernConfigSnapshot::effectID() const {
  if (response.size() < 19) return std::nullopt;
  return response[18];
}

json toJson(HalvernEffect value) {
  return rawValue(value);
}

json toJson(const HalvernLightingConfig& value) {
  return json{{"effect", toJson(value.effect)},
              {"color", toJson(value.color)},
              {"brightness", value.brightness},
              {"speed", value.speed},
              {"colorful", value.colorful}};
}

std::optional<HalvernEffect> halvernEffectFromJson(const json& value) {
  auto raw = integerIn(value, 0, static_cast<std::int64_t>(halvernEffectCount) - 1);
  if (!raw) return std::nullopt;
  return halvernEffectFromRaw(static_cast<int>(*raw));
}

std::optional<HalvernLightingConfig> halvernLightingFromJson(const json& value) {
  const json* effectValue = member(value, "effect");
  const json* colorValue = member(value, "color");
  if (!effectValue || !colorValue) return std::nullopt;
  auto effect = halvernEffectFromJson(*effectValue);
  auto color = rgbColorFromJson(*colorValue);
  auto brightness = byteField(value, "brightness");
  auto speed = byteField(value, "speed");
  auto colorful = boolField(value, "colorful");
  if (!effect || !color || !brightness || !speed || !colorful) return std::nullopt;
  return HalvernLightingConfig{*effect, *color, *brightness, *speed, *colorful};
}

std::string encodeHalvernLighting(const HalvernLightingConfig& config) {
  return dump(toJson(config));
}

std::optional<HalvernLightingConfig> decodeHalvernLighting(std::string_view text) {
  return halvernLightingFromJson(parse(text));
}

}  // namespace zepa
