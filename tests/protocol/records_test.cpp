#include "protocol/records.hpp"

#include <algorithm>
#include <functional>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "protocol/effect_maps.hpp"
#include "protocol/halvern_records.hpp"

namespace zepa {
namespace {

using nlohmann::json;
using Pointer = json::json_pointer;

const char* const kProfile =
    R"({"id":"6f1c1e9a-3b7d-4c2a-9e1f-0a1b2c3d4e5f","name":"Büro","lighting":{"mode":10,)"
    R"("color":{"red":1,"green":2,"blue":3},"brightness":4,"speed":5,"direction":1,)"
    R"("colorful":false},"keyColors":[{"index":85,"color":{"red":255,"green":0,"blue":128}}],)"
    R"("remaps":[{"sourceIndex":55,"action":2,"param1":1,"param2":0,"param3":0}]})";

// Every raw value from -1 to one past the last case: the cases in order, JSON as the raw
// number, nothing outside.
template <typename E>
void expectRoundTrips(std::span<const E> all, int count, auto fromRaw, auto fromJson) {
  ASSERT_EQ(all.size(), static_cast<std::size_t>(count));
  for (int raw = -1; raw <= count; ++raw) {
    SCOPED_TRACE(raw);
    const std::optional<E> value = fromRaw(raw);
    EXPECT_EQ(fromJson(json(raw)), value);
    if (raw < 0 || raw == count) {
      EXPECT_EQ(value, std::nullopt);
      continue;
    }
    ASSERT_EQ(value, all[static_cast<std::size_t>(raw)]);
    EXPECT_EQ(toJson(*value), json(raw));
  }
  for (const char* text : {"1.0", "true", "\"1\"", "null"})
    EXPECT_EQ(fromJson(json::parse(text)), std::nullopt) << text;
}

TEST(Enumerations, EveryCaseRoundTripsThroughJson) {
  expectRoundTrips(allLightingModes(), 20, lightingModeFromRaw, lightingModeFromJson);
  expectRoundTrips(allHalvernEffects(), 19, halvernEffectFromRaw, halvernEffectFromJson);
  std::vector<KeyRemap> remaps;
  const std::pair<int, std::optional<RemapAction>> actions[] = {
      {0, RemapAction::none},     {1, RemapAction::special}, {2, RemapAction::key},
      {3, RemapAction::consumer}, {4, std::nullopt},         {5, RemapAction::profile},
      {6, RemapAction::macro},    {7, RemapAction::mouse},   {8, std::nullopt}};
  for (const auto& [raw, action] : actions) {
    EXPECT_EQ(remapActionFromRaw(raw), action) << raw;
    EXPECT_EQ(remapActionFromJson(json(raw)), action) << raw;
    if (action) remaps.push_back({static_cast<std::uint8_t>(raw), *action, 255, 0, 7});
  }
  const std::string text = encodeKeyRemaps(remaps);
  EXPECT_EQ(decodeKeyRemaps(text), remaps) << text;
}

TEST(Enumerations, CapabilitiesFollowTheExceptionSets) {
  {
    using enum LightingMode;
    const std::set<LightingMode> noSpeed{off, staticColor}, noColor{off, colourful, spectrum};
    const std::set<LightingMode> direction{scrolling, rolling, rotating, flowing, tilt};
    std::set<std::string> names;
    for (LightingMode mode : allLightingModes()) {
      SCOPED_TRACE(name(mode));
      EXPECT_EQ(supportsSpeed(mode), !noSpeed.contains(mode));
      EXPECT_EQ(supportsDirection(mode), direction.contains(mode));
      EXPECT_EQ(supportsColor(mode), !noColor.contains(mode));
      EXPECT_EQ(supportsColorful(mode), !noColor.contains(mode));
      names.insert(name(mode));
    }
    EXPECT_EQ(names.size(), 20u) << "display names must tell the effects apart";
    EXPECT_EQ(name(outward), "Nach außen");
  }
  using enum HalvernEffect;
  const std::set<HalvernEffect> noSpeed{off, staticColor}, hidden{colorShift, gradient, tidal};
  const std::set<HalvernEffect> noColor{off, wave, rainbowWave, prism, cycle};
  std::vector<HalvernEffect> visible;
  for (HalvernEffect effect : allHalvernEffects()) {
    SCOPED_TRACE(name(effect));
    EXPECT_EQ(supportsBrightness(effect), effect != off);
    EXPECT_EQ(supportsSpeed(effect), !noSpeed.contains(effect));
    EXPECT_EQ(supportsColor(effect), !noColor.contains(effect));
    EXPECT_EQ(supportsColorful(effect), !noColor.contains(effect));
    if (!hidden.contains(effect)) visible.push_back(effect);
    const HalvernLightingConfig config{effect, {1, 2, 3}, 0, 4, false};
    EXPECT_EQ(decodeHalvernLighting(encodeHalvernLighting(config)), config);
  }
  const auto offered = visibleHalvernEffects();
  EXPECT_EQ(std::vector(offered.begin(), offered.end()), visible);
}

TEST(ProfileCoding, DefaultAndFullProfilesRoundTripCompactly) {
  const ZEPAProfile profile = ZEPAProfile::makeDefault();
  const std::string text = encodeProfile(profile);
  EXPECT_EQ(text.find_first_of(" \n"), std::string::npos) << text;
  json expected = json::parse(
      R"({"name":"Standard","keyColors":[],"remaps":[],"lighting":{"mode":11,)"
      R"("color":{"red":0,"green":210,"blue":255},"brightness":5,"speed":3,"direction":0,)"
      R"("colorful":true}})");
  expected["id"] = profile.id.text();
  EXPECT_EQ(json::parse(text), expected) << text;

  const auto full = decodeProfile(kProfile);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->name, "Büro");
  EXPECT_EQ(full->lighting, (LightingConfig{LightingMode::scrolling, {1, 2, 3}, 4, 5, 1, false}));
  EXPECT_EQ(full->keyColors, (std::vector<KeyColor>{{85, {255, 0, 128}}}));
  EXPECT_EQ(full->remaps, (std::vector<KeyRemap>{{55, RemapAction::key, 1, 0, 0}}));
  EXPECT_EQ(json::parse(encodeProfile(*full)), json::parse(kProfile));

  // A name that is not UTF-8 must neither throw nor give a document that cannot be read back.
  ZEPAProfile broken = profile;
  broken.name =
      "Pro\xff"
      "fil";
  std::string brokenText;
  ASSERT_NO_THROW(brokenText = encodeProfile(broken));
  const auto decoded = decodeProfile(brokenText);
  ASSERT_TRUE(decoded) << brokenText;
  EXPECT_EQ(decoded->name,
            "Pro\xEF\xBF\xBD"
            "fil");
}

// Copies of `base`, each with one member removed or one value of a wrong type or outside
// every 8-bit range, at `at` and below.
void damage(const json& base, const Pointer& at, std::vector<std::pair<std::string, json>>& out) {
  const json& value = base.at(at);
  if (!at.empty()) {
    if (base.at(at.parent_pointer()).is_object()) {
      json copy = base;
      copy.at(at.parent_pointer()).erase(at.back());
      out.emplace_back("without " + at.to_string(), copy);
    }
    std::vector<json> wrong = {nullptr, "x", json::object(), json::array({1})};
    if (value.is_number_integer()) {
      wrong = {1.5, 1.0, true, "1", nullptr, json::array(), json::object(), -1, 256};
    } else if (value.is_boolean()) {
      wrong = {1, 0, "true", nullptr};
    } else if (value.is_string()) {
      wrong = {5, nullptr, true, json::array()};
    } else if (value.is_object()) {
      wrong = {nullptr, "x", 1, json::array()};
    }
    for (const json& w : wrong) {
      json copy = base;
      copy.at(at) = w;
      out.emplace_back(at.to_string() + " = " + w.dump(), copy);
    }
  }
  if (value.is_structured())
    for (const auto& [key, child] : value.items()) damage(base, at / key, out);
}

TEST(Decoding, EveryMissingKeyOrWrongValueFailsTheWholeRecord) {
  using Decodes = std::function<bool(const json&)>;
  const std::pair<const char*, Decodes> rows[] = {
      {kProfile, [](const json& j) { return decodeProfile(j.dump()).has_value(); }},
      {R"({"mode":1,"color":{"red":9,"green":8,"blue":7},"brightness":2,"speed":3,)"
       R"("direction":0,"colorful":true})",
       [](const json& j) { return lightingConfigFromJson(j).has_value(); }},
      {R"({"index":0,"color":{"red":0,"green":0,"blue":0}})",
       [](const json& j) { return keyColorFromJson(j).has_value(); }},
      {R"({"sourceIndex":1,"action":3,"param1":2,"param2":3,"param3":4})",
       [](const json& j) { return keyRemapFromJson(j).has_value(); }},
      {R"({"effect":11,"color":{"red":0,"green":210,"blue":255},"brightness":4,"speed":4,)"
       R"("colorful":true})",
       [](const json& j) { return decodeHalvernLighting(j.dump()).has_value(); }},
  };
  for (const auto& [text, decodes] : rows) {
    const json base = json::parse(text);
    ASSERT_TRUE(decodes(base)) << text;
    std::vector<std::pair<std::string, json>> damaged;
    damage(base, Pointer(), damaged);
    for (const auto& [what, document] : damaged)
      EXPECT_FALSE(decodes(document)) << what << "\n  " << document.dump();
  }
}

// Ranges such as brightness are checked when sending, not here; unknown keys are ignored.
TEST(Decoding, ValuesAtTheEdges) {
  const std::tuple<const char*, json, bool> rows[] = {
      {"/lighting/mode", 20, false},
      {"/lighting/mode", 19, true},
      {"/lighting/brightness", 9, true},
      {"/lighting/direction", 255, true},
      {"/remaps/0/action", 4, false},
      {"/remaps/0/action", 8, false},
      {"/keyColors/0/color/red", 18446744073709551615ull, false},
      {"/remaps/0/param3", -9223372036854775807ll, false},
      {"/id", "6f1c1e9a3b7d4c2a9e1f0a1b2c3d4e5f", false},
      {"/id", "6F1C1E9A-3B7D-4C2A-9E1F-0A1B2C3D4E5F", true},
      {"/name", "", true},
      {"/keyColors", json::array(), true},
      {"/extra", json::object(), true},
  };
  for (const auto& [pointer, value, decodes] : rows) {
    json document = json::parse(kProfile);
    document[Pointer(pointer)] = value;
    EXPECT_EQ(profileFromJson(document).has_value(), decodes) << pointer << " = " << value.dump();
  }
  for (const char* text : {"", " ", "{", "null", "[]", "{} {}"}) EXPECT_FALSE(decodeProfile(text));
  EXPECT_FALSE(decodeProfile(std::string(kProfile) + " x"));
  EXPECT_TRUE(decodeProfile(std::string(kProfile) + "\n"));
  EXPECT_EQ(decodeHalvernLighting(R"({"colorful":false,"speed":255,"brightness":7,"note":"x",)"
                                  R"("effect":18,"color":{"blue":3,"green":2,"red":1}})"),
            (HalvernLightingConfig{HalvernEffect::tidal, {1, 2, 3}, 7, 255, false}));
  EXPECT_FALSE(decodeHalvernLighting(R"({"effect":19,"color":{"red":0,"green":0,"blue":0},)"
                                     R"("brightness":4,"speed":4,"colorful":true})"));
  const std::string remap = R"({"sourceIndex":1,"action":2,"param1":0,"param2":4,"param3":0})";
  EXPECT_EQ(
      decodeKeyRemaps("[" + remap + "," + remap + "]").value_or(std::vector<KeyRemap>{}).size(),
      2u);
  EXPECT_FALSE(decodeKeyRemaps("[" + remap + ",{}]")) << "one bad element fails the list";
  EXPECT_FALSE(decodeKeyRemaps(remap));
}

TEST(HalvernAnswers, DerivedBytesNeedLongEnoughAnswers) {
  // Answers filled with their own positions, so a wrong offset shows as a wrong value.
  auto answer = [](std::size_t length, std::uint8_t byte17 = 17) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    if (length > 17) bytes[17] = byte17;
    return bytes;
  };
  using Byte = std::optional<std::uint8_t>;
  const std::tuple<std::size_t, Byte, Byte, Byte> rows[] = {
      {12, {}, {}, {}}, {13, 12, {}, {}}, {14, 12, 13, {}}, {18, 12, 13, {}}, {19, 12, 13, 18}};
  for (const auto& [length, model, hardware, effect] : rows) {
    EXPECT_EQ(HalvernDeviceInfo{answer(length)}.modelByte(), model) << length;
    EXPECT_EQ(HalvernDeviceInfo{answer(length)}.hardwareByte(), hardware) << length;
    EXPECT_EQ(HalvernConfigSnapshot{answer(length)}.effectID(), effect) << length;
  }
  EXPECT_TRUE(HalvernConfigSnapshot{answer(18, 1)}.customMode());
  EXPECT_FALSE(HalvernConfigSnapshot{answer(17, 1)}.customMode());
  EXPECT_FALSE(HalvernConfigSnapshot{answer(136, 2)}.customMode());
}

TEST(EffectMaps, DecodeStrictlyAndRoundTrip) {
  const std::pair<const char*, std::optional<EffectNames>> names[] = {
      {R"({"4":"Wellen","15":"Wellen"})", EffectNames{{4, "Wellen"}, {15, "Wellen"}}},
      {R"({"25":"x","-1":"y","0":""})", EffectNames{{25, "x"}, {-1, "y"}, {0, ""}}},
      {R"({"19":"Pendeln \"schnell\" – ruhig"})", EffectNames{{19, "Pendeln \"schnell\" – ruhig"}}},
      {"{}", EffectNames{}},
  };
  for (const auto& [text, expected] : names) {
    EXPECT_EQ(decodeEffectNames(text), expected) << text;
    EXPECT_EQ(decodeEffectNames(encodeEffectNames(*expected)), expected) << text;
  }
  for (const char* text :
       {"", "[]", R"("Atmen")", R"({"7":7})", R"({"7":["Atmen"]})", R"({"x":"A"})", R"({"07":"A"})",
        R"({"+7":"A"})", R"({" 7":"A"})", R"({"7.0":"A"})", R"({"-0":"A"})", R"({"":"A"})",
        R"({"99999999999":"A"})", R"({"7":"A"} x)"})
    EXPECT_EQ(decodeEffectNames(text), std::nullopt) << text;
  EXPECT_EQ(encodeEffectNames({{10, "Scrollen"}}), R"({"10":"Scrollen"})");

  const std::pair<const char*, std::optional<EffectSemanticMap>> maps[] = {
      {R"({"3":10,"15":15})", EffectSemanticMap{{3, 10}, {15, 15}}},
      {R"({"3":25,"4":-1})", EffectSemanticMap{{3, 25}, {4, -1}}},  // unknown modes read as none
      {"{}", EffectSemanticMap{}},
  };
  for (const auto& [text, expected] : maps) {
    EXPECT_EQ(decodeEffectSemanticMap(text), expected) << text;
    EXPECT_EQ(decodeEffectSemanticMap(encodeEffectSemanticMap(*expected)), expected) << text;
  }
  for (const char* text : {R"({"3":10.0})", R"({"3":"10"})", R"({"3":true})", R"({"3":4294967296})",
                           R"({"03":10})", R"({"three":10})", "[10]", "10"})
    EXPECT_EQ(decodeEffectSemanticMap(text), std::nullopt) << text;
  EXPECT_EQ(encodeEffectSemanticMap({{3, 10}}), R"({"3":10})");
}

TEST(Uuid, ParseTextAndRandom) {
  const std::pair<const char*, const char*> rows[] = {
      // second: the text, or "" if rejected
      {"00000000-0000-0000-0000-000000000000", "00000000-0000-0000-0000-000000000000"},
      {"ABCDEF01-2345-6789-abcd-EF0123456789", "abcdef01-2345-6789-abcd-ef0123456789"},
      {"abcdef01-2345-6789-abcd-ef012345678", ""},
      {"abcdef01-2345-6789-abcd-ef01234567890", ""},
      {"abcdef0-12345-6789-abcd-ef0123456789", ""},
      {"abcdef01-2345-6789-abcd_ef0123456789", ""},
      {"abcdef01-2345-6789-abcd-ef012345678z", ""},
      {"+bcdef01-2345-6789-abcd-ef0123456789", ""},
      {"{6f1c1e9a-3b7d-4c2a-9e1f-0a1b2c3d4e5}", ""},
  };
  for (const auto& [input, text] : rows) {
    const auto uuid = Uuid::parse(input);
    EXPECT_EQ(uuid ? uuid->text() : "", text) << input;
  }
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    const std::string text = Uuid::random().text();
    EXPECT_TRUE(text[14] == '4' && std::string("89ab").find(text[19]) != std::string::npos) << text;
    EXPECT_EQ(Uuid::parse(text).value_or(Uuid()).text(), text);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 64u);
}

}  // namespace
}  // namespace zepa
