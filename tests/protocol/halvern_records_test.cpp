#include "protocol/halvern_records.hpp"

#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "json_mutations.hpp"

namespace zepa {
namespace {

using nlohmann::json;

const char* const kLightingText =
    R"({"effect":11,"color":{"red":0,"green":210,"blue":255},"brightness":4,"speed":4,)"
    R"("colorful":true})";  // the application's initial Halvern lighting

TEST(HalvernEffectTest, EveryCaseRoundTripsThroughJson) {
  ASSERT_EQ(allHalvernEffects().size(), 19u);
  for (std::size_t i = 0; i < allHalvernEffects().size(); ++i) {
    HalvernEffect effect = allHalvernEffects()[i];
    EXPECT_EQ(rawValue(effect), static_cast<int>(i)) << "allCases out of raw order";
    EXPECT_EQ(toJson(effect), json(i));
    EXPECT_EQ(halvernEffectFromJson(toJson(effect)), effect);
    EXPECT_EQ(halvernEffectFromRaw(static_cast<int>(i)), effect);

    HalvernLightingConfig config{effect, RGBColor{1, 2, 3}, 0, 4, false};
    std::string text = encodeHalvernLighting(config);
    EXPECT_EQ(decodeHalvernLighting(text), config) << text;
  }
  for (int raw : {-1, 19, 256}) EXPECT_EQ(halvernEffectFromRaw(raw), std::nullopt) << raw;
  EXPECT_EQ(halvernEffectFromRaw(18), HalvernEffect::tidal);
  EXPECT_EQ(halvernEffectFromJson(json(3.0)), std::nullopt);
}

TEST(HalvernEffectTest, CapabilitiesFollowTheRules) {
  const std::set<HalvernEffect> withoutColor{HalvernEffect::off, HalvernEffect::wave,
                                             HalvernEffect::rainbowWave, HalvernEffect::prism,
                                             HalvernEffect::cycle};
  for (HalvernEffect effect : allHalvernEffects()) {
    SCOPED_TRACE(name(effect));
    EXPECT_EQ(supportsBrightness(effect), effect != HalvernEffect::off);
    EXPECT_EQ(supportsSpeed(effect), rawValue(effect) > 1);
    EXPECT_EQ(supportsColor(effect), !withoutColor.contains(effect));
    EXPECT_EQ(supportsColorful(effect), supportsColor(effect));
  }
}

TEST(HalvernEffectTest, VisibleEffectsHideThreeInOrder) {
  const std::set<HalvernEffect> hidden{HalvernEffect::colorShift, HalvernEffect::gradient,
                                       HalvernEffect::tidal};
  std::vector<HalvernEffect> expected;
  for (HalvernEffect effect : allHalvernEffects()) {
    if (!hidden.contains(effect)) expected.push_back(effect);
  }
  auto visible = visibleHalvernEffects();
  ASSERT_EQ(visible.size(), 16u);
  EXPECT_EQ(std::vector<HalvernEffect>(visible.begin(), visible.end()), expected);
  EXPECT_EQ(visible.front(), HalvernEffect::off);
  EXPECT_EQ(visible.back(), HalvernEffect::cycle);
  for (HalvernEffect effect : hidden) {
    HalvernLightingConfig config{effect, RGBColor::cyan, 4, 4, true};
    EXPECT_EQ(decodeHalvernLighting(encodeHalvernLighting(config)), config) << name(effect);
  }
}

TEST(HalvernLightingDecodingTest, EachRemovedKeyOrWrongValueFails) {
  json base = json::parse(kLightingText);
  ASSERT_TRUE(halvernLightingFromJson(base));
  auto mutations = testing::withEachKeyRemoved(base);
  auto wrong = testing::withEachWrongValue(base);
  mutations.insert(mutations.end(), wrong.begin(), wrong.end());
  for (int effect : {19, -1, 255}) {
    json copy = base;
    copy["effect"] = effect;
    mutations.push_back({"effect " + std::to_string(effect), copy});
  }
  for (const auto& mutation : mutations) {
    EXPECT_FALSE(decodeHalvernLighting(mutation.document.dump()))
        << mutation.description << "\n  " << mutation.document.dump();
  }
}

TEST(HalvernLightingDecodingTest, AcceptedDocuments) {
  // Ranges are checked only when sending; key order and unknown keys do not matter.
  EXPECT_EQ(decodeHalvernLighting(
                R"({"colorful":false,"speed":255,"brightness":7,"note":"x","effect":18,)"
                R"("color":{"blue":3,"green":2,"red":1}})"),
            (HalvernLightingConfig{HalvernEffect::tidal, RGBColor{1, 2, 3}, 7, 255, false}));
  for (const char* text : {"", "[]", "{}", "null", "{\"effect\":1"}) {
    EXPECT_FALSE(decodeHalvernLighting(text)) << text;
  }
}

TEST(HalvernAnswersTest, DerivedBytesNeedLongEnoughAnswers) {
  // Answers filled with their own positions, so a wrong offset shows as a wrong value.
  auto answer = [](std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
  };
  struct Row {
    std::size_t length;
    std::optional<std::uint8_t> model, hardware, effect;
  };
  const Row rows[] = {{0, {}, {}, {}},  {12, {}, {}, {}}, {13, 12, {}, {}}, {14, 12, 13, {}},
                      {18, 12, 13, {}}, {19, 12, 13, 18}, {136, 12, 13, 18}};
  for (const Row& row : rows) {
    EXPECT_EQ(HalvernDeviceInfo{answer(row.length)}.modelByte(), row.model) << row.length;
    EXPECT_EQ(HalvernDeviceInfo{answer(row.length)}.hardwareByte(), row.hardware) << row.length;
    EXPECT_EQ(HalvernConfigSnapshot{answer(row.length)}.effectID(), row.effect) << row.length;
  }

  struct ModeRow {
    std::size_t length;
    std::uint8_t byte17;
    bool custom;
  };
  const ModeRow modeRows[] = {
      {17, 1, false}, {18, 1, true}, {18, 2, false}, {136, 0, false}, {136, 1, true}};
  for (const ModeRow& row : modeRows) {
    std::vector<std::uint8_t> bytes(row.length, 1);
    if (row.length > 17) bytes[17] = row.byte17;
    if (row.length == 17) bytes[16] = row.byte17;
    EXPECT_EQ(HalvernConfigSnapshot{bytes}.customMode(), row.custom) << row.length;
  }
}

}  // namespace
}  // namespace zepa
