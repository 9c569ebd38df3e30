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
  std::string name;
  bool brightness;
  bool speed;
  bool color;
  bool visible;
};

const std::array<HalvernEffectRow, 19>& halvernEffectTable() {
  static const std::array<HalvernEffectRow, 19> table{{
      {HalvernEffect::off, "Aus", false, false, false, true},
      {HalvernEffect::staticColor, "Konstant", true, false, true, true},
      {HalvernEffect::breathing, "Atmen", true, true, true, true},
      {HalvernEffect::wave, "Welle", true, true, false, true},
      {HalvernEffect::spectrum, "Spektrum", true, true, true, true},
      {HalvernEffect::rain, "Regen", true, true, true, true},
      {HalvernEffect::colorShift, "Farbwechsel", true, true, true, false},
      {HalvernEffect::ripple, "Wellenimpuls", true, true, true, true},
      {HalvernEffect::starlight, "Sternenlicht", true, true, true, true},
      {HalvernEffect::snake, "Schlange", true, true, true, true},
      {HalvernEffect::marquee, "Lauflicht", true, true, true, true},
      {HalvernEffect::aurora, "Aurora", true, true, true, true},
      {HalvernEffect::reactive, "Reaktiv", true, true, true, true},
      {HalvernEffect::firework, "Feuerwerk", true, true, true, true},
      {HalvernEffect::gradient, "Verlauf", true, true, true, false},
      {HalvernEffect::rainbowWave, "Regenbogenwelle", true, true, false, true},
      {HalvernEffect::prism, "Prisma", true, true, false, true},
      {HalvernEffect::cycle, "Farbzyklus", true, true, false, true},
      {HalvernEffect::tidal, "Gezeiten", true, true, true, false},
  }};
  return table;
}

// A value cast from an unchecked integer gets an empty name and no capabilities.
const HalvernEffectRow& row(HalvernEffect effect) {
  static const HalvernEffectRow unknown{effect, "", false, false, false, false};
  auto raw = rawValue(effect);
  if (raw < 0 || raw >= static_cast<int>(halvernEffectTable().size())) return unknown;
  return halvernEffectTable()[static_cast<std::size_t>(raw)];
}

template <bool visibleOnly>
std::vector<HalvernEffect> collectEffects() {
  std::vector<HalvernEffect> effects;
  for (const HalvernEffectRow& entry : halvernEffectTable()) {
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
  if (raw < 0 || raw > 18) return std::nullopt;
  return static_cast<HalvernEffect>(raw);
}

const std::string& name(HalvernEffect effect) {
  return row(effect).name;
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
  auto raw = integerIn(value, 0, 18);
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
