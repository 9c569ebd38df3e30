// SPDX-License-Identifier: MIT
#include "protocol/records.hpp"

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

const char* const profileJson =
    R"({"id":"6f1c1e9a-3b7d-4c2a-9e1f-0a1b2c3d4e5f","name":"Büro","lighting":{"mode":10,)"
    R"("color":{"red":1,"green":2,"blue":3},"brightness":4,"speed":5,"direction":1,)"
    R"("colorful":false},"keyColors":[{"index":85,"color":{"red":255,"green":0,"blue":128}}],)"
    R"("remaps":[{"sourceIndex":55,"action":2,"param1":1,"param2":0,"param3":0}]})";

// Raw values from -1 to one past the last case: the cases in raw order, JSON as the raw number.
template <typename E>
void expectRoundTrips(std::span<const E> all, int count, auto fromRaw, auto fromJson) {
  ASSERT_EQ(all.size(), static_cast<std::size_t>(count));
  for (int raw = -1; raw <= count; ++raw) {
    const std::optional<E> value = fromRaw(raw);
    EXPECT_EQ(value, raw < 0 || raw == count ? std::nullopt : std::optional(all[raw])) << raw;
    EXPECT_EQ(fromJson(json(raw)), value) << raw;
    EXPECT_EQ(value ? toJson(*value) : json(raw), json(raw)) << raw;
  }
  EXPECT_EQ(fromJson(json(1.0)), fromRaw(1)) << "an integral number written 1.0";
  EXPECT_EQ(fromJson(json(1.5)), std::nullopt);
  EXPECT_EQ(fromJson(json("1")), std::nullopt);
}

TEST(Enumerations, EveryCaseRoundTripsThroughJson) {
  expectRoundTrips(allLightingModes(), 20, lightingModeFromRaw, lightingModeFromJson);
  expectRoundTrips(allHalvernEffects(), 19, halvernEffectFromRaw, halvernEffectFromJson);
  using enum RemapAction;
  const std::optional<RemapAction> actions[] = {none,    special, key,   consumer,    std::nullopt,
                                                profile, macro,   mouse, std::nullopt};
  std::vector<KeyRemap> remaps;
  for (int raw = 0; raw < 9; ++raw) {
    EXPECT_EQ(remapActionFromRaw(raw), actions[raw]) << raw;
    EXPECT_EQ(remapActionFromJson(json(raw)), actions[raw]) << raw;
    if (actions[raw]) remaps.push_back({static_cast<std::uint8_t>(raw), *actions[raw], 255, 0, 7});
  }
  EXPECT_EQ(decodeKeyRemaps(encodeKeyRemaps(remaps)), remaps);
}

TEST(Enumerations, CapabilitiesFollowTheExceptionSets) {
  auto flags = [](auto... capable) { return (std::string(capable ? "+" : "-") + ...); };
  {
    using enum LightingMode;
    const std::set<LightingMode> noSpeed{off, staticColor}, noColor{off, colourful, spectrum};
    const std::set<LightingMode> direction{scrolling, rolling, rotating, flowing, tilt};
    std::set<std::string> names;
    for (LightingMode m : allLightingModes()) {
      EXPECT_EQ(
          flags(supportsSpeed(m), supportsDirection(m), supportsColor(m), supportsColorful(m)),
          flags(!noSpeed.contains(m), direction.contains(m), !noColor.contains(m),
                !noColor.contains(m)))
          << name(m);
      names.insert(name(m));
    }
    EXPECT_EQ(names.size(), 20u) << "display names must tell the effects apart";
    EXPECT_EQ(name(outward), "Nach außen");
  }
  using enum HalvernEffect;
  const std::set<HalvernEffect> noSpeed{off, staticColor}, hidden{colorShift, gradient, tidal};
  const std::set<HalvernEffect> noColor{off, wave, rainbowWave, prism, cycle};
  std::vector<HalvernEffect> visible;
  for (HalvernEffect e : allHalvernEffects()) {
    EXPECT_EQ(flags(supportsBrightness(e), supportsSpeed(e), supportsColor(e), supportsColorful(e)),
              flags(e != off, !noSpeed.contains(e), !noColor.contains(e), !noColor.contains(e)))
        << name(e);
    if (!hidden.contains(e)) visible.push_back(e);
  }
  EXPECT_EQ(std::vector(visibleHalvernEffects().begin(), visibleHalvernEffects().end()), visible);
}

TEST(ProfileCoding, DefaultAndFullProfilesRoundTripCompactly) {
  const ZEPAProfile profile = ZEPAProfile::makeDefault();
  EXPECT_EQ(
      std::tuple(profile.name, profile.lighting, profile.keyColors.size() + profile.remaps.size()),
      std::tuple("Standard", LightingConfig{LightingMode::rolling, {0, 210, 255}, 5, 3, 0, true},
                 0u));
  EXPECT_NE(profile.id, ZEPAProfile::makeDefault().id);
  const auto full = decodeProfile(profileJson);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->name, "Büro");
  EXPECT_EQ(full->lighting, (LightingConfig{LightingMode::scrolling, {1, 2, 3}, 4, 5, 1, false}));
  EXPECT_EQ(full->keyColors, (std::vector<KeyColor>{{85, {255, 0, 128}}}));
  EXPECT_EQ(full->remaps, (std::vector<KeyRemap>{{55, RemapAction::key, 1, 0, 0}}));
  const std::string text = encodeProfile(*full);
  EXPECT_EQ(json::parse(text), json::parse(profileJson)) << text;
  EXPECT_EQ(text.find_first_of(" \n"), std::string::npos) << text;
  const HalvernLightingConfig halvern{HalvernEffect::tidal, {1, 2, 3}, 7, 255, false};
  EXPECT_EQ(decodeHalvernLighting(encodeHalvernLighting(halvern)), halvern);
  // A name that is not UTF-8 must neither throw nor give a document that cannot be read back.
  ZEPAProfile broken = profile;
  broken.name = "Pro\377fil";
  std::string brokenText;
  ASSERT_NO_THROW(brokenText = encodeProfile(broken));
  EXPECT_EQ(decodeProfile(brokenText).value_or(profile).name, "Pro\357\277\275fil");
}

// Copies of `base`, each with one member removed or one value of a wrong type or outside
// every 8-bit range, at `at` and below.
void damage(const json& base, const Pointer& at, std::vector<std::pair<std::string, json>>& out) {
  const json& value = base.at(at);
  std::vector<json> wrong = {nullptr, "x", json::object(), json::array({1})};
  if (value.is_number_integer())
    wrong = {1.5, 0.25,    255.5,         256.0, -1e0, 1e300,      true,
             "1", nullptr, json::array(), -1,    256,  UINT64_MAX, INT64_MIN};
  if (value.is_boolean()) wrong = {1, 0, "true", nullptr};
  if (value.is_string()) wrong = {5, nullptr, true, json::array()};
  if (value.is_object()) wrong = {nullptr, "x", 1, json::array()};
  for (const json& w : at.empty() ? std::vector<json>() : wrong) {
    out.emplace_back(at.to_string() + " = " + w.dump(), base);
    out.back().second.at(at) = w;
  }
  if (!at.empty() && base.at(at.parent_pointer()).is_object()) {
    out.emplace_back("without " + at.to_string(), base);
    out.back().second.at(at.parent_pointer()).erase(at.back());
  }
  if (value.is_structured())
    for (const auto& [key, child] : value.items()) damage(base, at / key, out);
}

TEST(Decoding, EveryMissingKeyOrWrongValueFailsTheWholeRecord) {
  auto fromText = [](auto decode) {
    return [=](const json& j) { return decode(j.dump()).has_value(); };
  };
  auto fromJson = [](auto decode) { return [=](const json& j) { return decode(j).has_value(); }; };
  const std::pair<const char*, std::function<bool(const json&)>> rows[] = {
      {profileJson, fromText(decodeProfile)},
      {R"({"mode":1,"color":{"red":9,"green":8,"blue":7},"brightness":2,"speed":3,)"
       R"("direction":0,"colorful":true})",
       fromJson(lightingConfigFromJson)},
      {R"({"index":0,"color":{"red":0,"green":0,"blue":0}})", fromJson(keyColorFromJson)},
      {R"({"sourceIndex":1,"action":3,"param1":2,"param2":3,"param3":4})",
       fromJson(keyRemapFromJson)},
      {R"({"effect":11,"color":{"red":0,"green":210,"blue":255},"brightness":4,"speed":4,)"
       R"("colorful":true})",
       fromText(decodeHalvernLighting)},
  };
  for (const auto& [text, decodes] : rows) {
    std::vector<std::pair<std::string, json>> damaged;
    damage(json::parse(text), Pointer(), damaged);
    EXPECT_TRUE(decodes(json::parse(text))) << text;
    for (const auto& [what, document] : damaged) EXPECT_FALSE(decodes(document)) << what;
  }
}

// Ranges such as brightness are checked when sending, not here; unknown keys are ignored.
TEST(Decoding, WholeDocuments) {
  json document = json::parse(profileJson);
  document["lighting"]["brightness"] = 9;
  document["extra"] = json::object();
  EXPECT_TRUE(decodeProfile(document.dump()));
  for (std::string text : {"", "{", "null", "[]", "{} {}"}) EXPECT_FALSE(decodeProfile(text));
  EXPECT_FALSE(decodeProfile(std::string(profileJson) + " x"));
  EXPECT_TRUE(decodeProfile(std::string(profileJson) + "\n"));
  const std::string remap = R"({"sourceIndex":1,"action":2,"param1":0,"param2":4,"param3":0})";
  EXPECT_EQ(decodeKeyRemaps("[" + remap + "," + remap + "]"),
            std::vector<KeyRemap>(2, {1, RemapAction::key, 0, 4, 0}));
  EXPECT_FALSE(decodeKeyRemaps("[" + remap + ",{}]")) << "one bad element fails the list";
}

TEST(HalvernAnswers, DerivedBytesNeedLongEnoughAnswers) {
  auto answer = [](std::size_t length, std::uint8_t byte17) {  // byte i is i, but for byte 17
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = std::uint8_t(i == 17 ? byte17 : i);
    return bytes;
  };
  using Byte = std::optional<std::uint8_t>;
  const std::tuple<std::size_t, Byte, Byte, Byte> rows[] = {// model, hardware, effect
                                                            {12, {}, {}, {}},
                                                            {13, 12, {}, {}},
                                                            {14, 12, 13, {}},
                                                            {18, 12, 13, {}},
                                                            {19, 12, 13, 18}};
  for (const auto& [length, model, hardware, effect] : rows) {
    const HalvernDeviceInfo info{answer(length, 17)};
    EXPECT_EQ(std::tuple(info.modelByte(), info.hardwareByte(),
                         HalvernConfigSnapshot{answer(length, 17)}.effectID()),
              std::tuple(model, hardware, effect));
  }
  EXPECT_EQ(std::vector({HalvernConfigSnapshot{answer(18, 1)}.customMode(),
                         HalvernConfigSnapshot{answer(17, 1)}.customMode(),
                         HalvernConfigSnapshot{answer(136, 2)}.customMode()}),
            std::vector({true, false, false}));
}

// Both maps are objects keyed by the decimal ID; stored values are not range-checked.
TEST(EffectMaps, DecodeStrictly) {
  const EffectNames names{{-1, "y"}, {0, ""}, {19, "Pendeln \"schnell\" – ruhig"}};
  EXPECT_EQ(decodeEffectNames(encodeEffectNames(names)), names);
  EXPECT_EQ(decodeEffectSemanticMap(R"({"3":25,"4":-1})"), (EffectSemanticMap{{3, 25}, {4, -1}}));
  for (const char* text : {"", "[]", R"({"7":7})", R"({"x":"A"})", R"({" 7":"A"})", R"({"7 ":"A"})",
                           R"({"+":"A"})", R"({"-":"A"})", R"({"0x7":"A"})", R"({"":"A"})",
                           R"({"99999999999":"A"})", R"({"7":"A"} x)", R"({"7":"A","07":"B"})"})
    EXPECT_EQ(decodeEffectNames(text), std::nullopt) << text;
  for (const char* text :
       {R"({"3":10.5})", R"({"3":"10"})", R"({"3":4294967296})", R"({"3":true})", R"({"3":1e10})"})
    EXPECT_EQ(decodeEffectSemanticMap(text), std::nullopt) << text;
}

// What the stores' original writer reads: keys by decimal integer conversion, integral numbers
// in any notation.
struct LenientRow {
  const char* name;
  const char* text;
  int id;
  int mode;
};

class EffectMapKeys : public ::testing::TestWithParam<LenientRow> {};

TEST_P(EffectMapKeys, DecodeLikeTheOriginalWriter) {
  const auto map = decodeEffectSemanticMap(GetParam().text);
  ASSERT_TRUE(map.has_value());
  EXPECT_EQ(map->size(), 1u);
  EXPECT_EQ(map->count(GetParam().id), 1u);
  EXPECT_EQ(map->begin()->second, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Records, EffectMapKeys,
                         ::testing::Values(LenientRow{"LeadingZero", R"({"07":3})", 7, 3},
                                           LenientRow{"PlusSign", R"({"+7":3})", 7, 3},
                                           LenientRow{"NegativeLeadingZero", R"({"-07":3})", -7, 3},
                                           LenientRow{"MinusZero", R"({"-0":3})", 0, 3},
                                           LenientRow{"ValueWithFraction", R"({"7":3.0})", 7, 3},
                                           LenientRow{"ValueWithExponent", R"({"7":3e0})", 7, 3},
                                           LenientRow{"NegativeExponent", R"({"7":300e-2})", 7, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FieldRow {
  const char* name;
  const char* brightness;  // the JSON text put in as the lighting brightness
  std::optional<int> decoded;
};

class ProfileNumbers : public ::testing::TestWithParam<FieldRow> {};

TEST_P(ProfileNumbers, IntegralValuesInAnyNotation) {
  json document = json::parse(profileJson);
  const std::string marker = "\"@@\"";
  document["lighting"]["brightness"] = "@@";
  std::string text = document.dump();
  text.replace(text.find(marker), marker.size(), GetParam().brightness);
  const auto profile = decodeProfile(text);
  ASSERT_EQ(profile.has_value(), GetParam().decoded.has_value()) << text;
  if (profile) {
    EXPECT_EQ(profile->lighting.brightness, *GetParam().decoded);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, ProfileNumbers,
    ::testing::Values(
        FieldRow{"Plain", "5", 5}, FieldRow{"Fraction", "5.0", 5}, FieldRow{"Exponent", "5e0", 5},
        FieldRow{"NegativeZero", "-0.0", 0}, FieldRow{"Largest", "2.55e2", 255},
        FieldRow{"HalfStep", "5.5", std::nullopt}, FieldRow{"AboveByte", "256.0", std::nullopt},
        FieldRow{"Negative", "-1.0", std::nullopt}, FieldRow{"Huge", "1e300", std::nullopt},
        FieldRow{"TooLargeForDouble", "1e999", std::nullopt},
        FieldRow{"String", "\"5\"", std::nullopt}, FieldRow{"Boolean", "true", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Text around the document makes it unreadable, whatever the parser would stop at; so does
// a size or depth no stored document has.
struct DocumentRow {
  const char* name;
  std::string text;
};

// The profile with an unknown member nested `depth` arrays deep (the document itself is one).
std::string withExtra(int depth) {
  std::string text(profileJson);
  const std::string extra = std::string(static_cast<std::size_t>(depth), '[') +
                            std::string(static_cast<std::size_t>(depth), ']');
  return text.insert(1, "\"extra\":" + extra + ",");
}

class UnreadableDocuments : public ::testing::TestWithParam<DocumentRow> {};

TEST_P(UnreadableDocuments, DoNotDecode) {
  EXPECT_FALSE(decodeProfile(GetParam().text).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Records, UnreadableDocuments,
    ::testing::Values(
        DocumentRow{"NulThenGarbage", std::string(profileJson) + std::string(1, '\0') + "garbage"},
        DocumentRow{"TrailingNul", std::string(profileJson) + std::string(1, '\0')},
        DocumentRow{"TrailingGarbage", std::string(profileJson) + "}"},
        DocumentRow{"OverOneMebibyte",
                    std::string(profileJson).insert(1, std::string(1024 * 1024, ' '))},
        DocumentRow{"DeepNesting", std::string(5 * 1024 * 1024, '[')},
        DocumentRow{"DeepUnknownMember", withExtra(64)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnreadableDocuments, NestingUpToTheLimitDecodes) {
  EXPECT_TRUE(decodeProfile(withExtra(63)).has_value());
}

TEST(UnreadableDocuments, ABracketInsideAStringIsNotNesting) {
  json document = json::parse(profileJson);
  document["name"] = std::string(100, '[');
  EXPECT_TRUE(decodeProfile(document.dump()).has_value());
}

TEST(Uuid, ParseTextAndRandom) {
  const std::string valid = "abcdef01-2345-6789-abcd-ef0123456789";
  EXPECT_EQ(Uuid::parse("ABCDEF01-2345-6789-abcd-EF0123456789").value_or(Uuid()).text(), valid);
  for (const std::string& bad : {valid.substr(0, 35), valid + "0", valid.substr(0, 35) + "z",
                                 "+" + valid.substr(1), " " + valid.substr(1), "{" + valid + "}"})
    EXPECT_FALSE(Uuid::parse(bad)) << bad;
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) seen.insert(Uuid::random().text());
  EXPECT_EQ(seen.size(), 64u);
  for (const std::string& text : seen) {
    EXPECT_TRUE(text[14] == '4' && std::string("89ab").find(text[19]) != std::string::npos) << text;
    EXPECT_EQ(Uuid::parse(text).value_or(Uuid()).text(), text);
  }
}

}  // namespace
}  // namespace zepa
