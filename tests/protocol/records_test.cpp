// SPDX-License-Identifier: MIT
#include "protocol/records.hpp"

#include <functional>

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

TEST(Enumerations, RawValuesAndTheirBounds) {
  EXPECT_EQ(lightingModeFromRaw(-1), std::nullopt);
  EXPECT_EQ(lightingModeFromRaw(19), LightingMode::shuttle);
  EXPECT_EQ(lightingModeFromRaw(20), std::nullopt);
  EXPECT_EQ(halvernEffectFromRaw(-1), std::nullopt);
  EXPECT_EQ(halvernEffectFromRaw(18), HalvernEffect::tidal);
  EXPECT_EQ(halvernEffectFromRaw(19), std::nullopt);
}

// The remap actions leave gaps at 4 and 8.
TEST(Enumerations, RemapActionsWithGaps) {
  EXPECT_EQ(remapActionFromRaw(4), std::nullopt);
  EXPECT_EQ(remapActionFromRaw(7), RemapAction::mouse);
  EXPECT_EQ(remapActionFromRaw(8), std::nullopt);
}

TEST(Enumerations, HiddenHalvernEffectsAreNotOffered) {
  const auto visible = visibleHalvernEffects();
  EXPECT_EQ(visible.size(), 16u);
}

TEST(ProfileCoding, DefaultAndFullProfilesRoundTripCompactly) {
  const ZEPAProfile profile = ZEPAProfile::makeDefault();
  EXPECT_NE(profile.id, ZEPAProfile::makeDefault().id);
  const auto full = decodeProfile(profileJson);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->lighting, (LightingConfig{LightingMode::scrolling, {1, 2, 3}, 4, 5, 1, false}));
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
    wrong = {1.5, 256, -1, UINT64_MAX, true, "1", nullptr, json::array()};
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

// The profile holds the lighting, key colour and remap records, so its walk covers theirs.
TEST(Decoding, EveryMissingKeyOrWrongValueFailsTheWholeRecord) {
  auto fromText = [](auto decode) {
    return [=](const json& j) { return decode(j.dump()).has_value(); };
  };
  const std::pair<const char*, std::function<bool(const json&)>> rows[] = {
      {profileJson, fromText(decodeProfile)},
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
TEST(Decoding, RangesAndUnknownKeysAreLeftToTheSender) {
  json document = json::parse(profileJson);
  document["lighting"]["brightness"] = 9;
  document["extra"] = json::object();
  EXPECT_TRUE(decodeProfile(document.dump()));
}

// `length` bytes, each its own position but for byte 17.
std::vector<std::uint8_t> answer(std::size_t length, std::uint8_t byte17 = 17) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = std::uint8_t(i == 17 ? byte17 : i);
  return bytes;
}

TEST(HalvernAnswers, DerivedBytesNeedLongEnoughAnswers) {
  EXPECT_EQ(HalvernDeviceInfo{answer(12)}.modelByte(), std::nullopt);
  EXPECT_EQ(HalvernDeviceInfo{answer(13)}.modelByte(), 12);
  EXPECT_EQ(HalvernDeviceInfo{answer(13)}.hardwareByte(), std::nullopt);
  EXPECT_EQ(HalvernDeviceInfo{answer(14)}.hardwareByte(), 13);
  EXPECT_EQ(HalvernConfigSnapshot{answer(18)}.effectID(), std::nullopt);
  EXPECT_EQ(HalvernConfigSnapshot{answer(19)}.effectID(), 18);
}

TEST(HalvernAnswers, CustomModeIsByteSeventeenSetToOne) {
  EXPECT_TRUE(HalvernConfigSnapshot{answer(18, 1)}.customMode());
  EXPECT_FALSE(HalvernConfigSnapshot{answer(17, 1)}.customMode());
  EXPECT_FALSE(HalvernConfigSnapshot{answer(136, 2)}.customMode());
}

// Both maps are objects keyed by the decimal ID; stored values are not range-checked.
TEST(EffectMaps, DecodeStrictly) {
  const EffectNames names{{-1, "y"}, {0, ""}, {19, "Pendeln \"schnell\" – ruhig"}};
  EXPECT_EQ(decodeEffectNames(encodeEffectNames(names)), names);
  EXPECT_EQ(decodeEffectSemanticMap(R"({"3":25,"4":-1})"), (EffectSemanticMap{{3, 25}, {4, -1}}));
  for (const char* text :
       {"[]", R"({"7":7})", R"({"x":"A"})", R"({"99999999999":"A"})", R"({"7":"A","07":"B"})"})
    EXPECT_EQ(decodeEffectNames(text), std::nullopt) << text;
  EXPECT_EQ(decodeEffectSemanticMap(R"({"3":4294967296})"), std::nullopt);
}

// What the stores' original writer reads: keys by decimal integer conversion.
TEST(EffectMaps, DecodeLikeTheOriginalWriter) {
  EXPECT_EQ(decodeEffectSemanticMap(R"({"07":3})"), (EffectSemanticMap{{7, 3}}));
}

// The profile with `brightness` written as the given JSON text.
std::optional<int> brightnessRead(const std::string& brightness) {
  std::string text = json::parse(profileJson).dump();
  const std::string was = "\"brightness\":4";
  text.replace(text.find(was), was.size(), "\"brightness\":" + brightness);
  const auto profile = decodeProfile(text);
  return profile ? std::optional<int>(profile->lighting.brightness) : std::nullopt;
}

// Stored files hold the raw numbers; an integral number in any notation reads as one.
TEST(ProfileNumbers, IntegralValuesInAnyNotation) {
  EXPECT_EQ(brightnessRead("5.0"), 5);
  EXPECT_EQ(brightnessRead("256.0"), std::nullopt);
}

// The profile with an unknown member nested `depth` arrays deep (the document itself is one).
std::string withExtra(int depth) {
  std::string text(profileJson);
  const std::string extra = std::string(static_cast<std::size_t>(depth), '[') +
                            std::string(static_cast<std::size_t>(depth), ']');
  return text.insert(1, "\"extra\":" + extra + ",");
}

// Text around the document makes it unreadable, whatever the parser would stop at; so does
// a depth no stored document has.
TEST(UnreadableDocuments, DoNotDecode) {
  EXPECT_FALSE(decodeProfile(std::string(profileJson) + std::string(1, '\0')));
  EXPECT_FALSE(decodeProfile(withExtra(64)));
}

TEST(UnreadableDocuments, NestingUpToTheLimitDecodes) {
  EXPECT_TRUE(decodeProfile(withExtra(63)).has_value());
}

TEST(UnreadableDocuments, ABracketInsideAStringIsNotNesting) {
  json document = json::parse(profileJson);
  document["name"] = std::string(100, '[');
  EXPECT_TRUE(decodeProfile(document.dump()).has_value());
}

TEST(Uuid, ParsesOnlyItsOwnFormInAnyCase) {
  const std::string valid = "abcdef01-2345-6789-abcd-ef0123456789";
  EXPECT_EQ(Uuid::parse("ABCDEF01-2345-6789-abcd-EF0123456789").value_or(Uuid()).text(), valid);
  for (const std::string& bad :
       {valid.substr(0, 35), valid + "0", valid.substr(0, 35) + "z", "+" + valid.substr(1)})
    EXPECT_FALSE(Uuid::parse(bad)) << bad;
}

}  // namespace
}  // namespace zepa
