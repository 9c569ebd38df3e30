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
    R"("colorful":true})";

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

TEST(HalvernEffectTest, GermanNames) {
  struct Row {
    HalvernEffect effect;
    const char* name;
  };
  const Row rows[] = {{HalvernEffect::off, "Aus"},
                      {HalvernEffect::staticColor, "Konstant"},
                      {HalvernEffect::ripple, "Wellenimpuls"},
                      {HalvernEffect::rainbowWave, "Regenbogenwelle"},
                      {HalvernEffect::tidal, "Gezeiten"}};
  for (const Row& row : rows) EXPECT_EQ(name(row.effect), row.name);
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
    EXPECT_FALSE(halvernLightingFromJson(mutation.document))
        << mutation.description << "\n  " << mutation.document.dump();
    EXPECT_FALSE(decodeHalvernLighting(mutation.document.dump())) << mutation.description;
  }
}

TEST(HalvernLightingDecodingTest, AcceptedDocuments) {
  struct Row {
    const char* text;
    HalvernLightingConfig expected;
  };
  const Row rows[] = {
      {kLightingText, {HalvernEffect::aurora, RGBColor::cyan, 4, 4, true}},
      {R"({"effect":18,"color":{"red":1,"green":2,"blue":3},"brightness":7,"speed":255,)"
       R"("colorful":false,"note":"x"})",
       {HalvernEffect::tidal, RGBColor{1, 2, 3}, 7, 255, false}},
      {R"({"colorful":true,"speed":0,"brightness":0,"color":{"blue":0,"green":0,"red":0},)"
       R"("effect":0})",
       {HalvernEffect::off, RGBColor{0, 0, 0}, 0, 0, true}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(decodeHalvernLighting(row.text), row.expected) << row.text;
    std::string encoded = encodeHalvernLighting(row.expected);
    EXPECT_EQ(decodeHalvernLighting(encoded), row.expected) << encoded;
  }
  for (const char* text : {"", "[]", "{}", "null", "{\"effect\":1"}) {
    EXPECT_FALSE(decodeHalvernLighting(text)) << text;
  }
}

TEST(HalvernAnswersTest, DerivedBytesNeedLongEnoughAnswers) {
  auto bytes = [](std::size_t count, std::uint8_t fill) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(fill + i);
    return out;
  };
  struct InfoRow {
    std::size_t length;
    std::optional<std::uint8_t> model, hardware;
  };
  const InfoRow infoRows[] = {
      {0, std::nullopt, std::nullopt},
      {12, std::nullopt, std::nullopt},
      {13, 0x1C, std::nullopt},
      {14, 0x1C, 0x1D},
      {520, 0x1C, 0x1D},
  };
  for (const InfoRow& row : infoRows) {
    HalvernDeviceInfo info{bytes(row.length, 0x10)};
    EXPECT_EQ(info.modelByte(), row.model) << row.length;
    EXPECT_EQ(info.hardwareByte(), row.hardware) << row.length;
  }

  struct SnapshotRow {
    std::vector<std::uint8_t> response;
    bool custom;
    std::optional<std::uint8_t> effect;
  };
  auto withByte17 = [](std::size_t length, std::uint8_t value) {
    std::vector<std::uint8_t> out(length, 0x09);
    if (length > 17) out[17] = value;
    return out;
  };
  const SnapshotRow snapshotRows[] = {
      {{}, false, std::nullopt},
      {withByte17(17, 1), false, std::nullopt},
      {withByte17(18, 1), true, std::nullopt},
      {withByte17(18, 2), false, std::nullopt},
      {withByte17(19, 1), true, 0x09},
      {withByte17(136, 0), false, 0x09},
  };
  for (const SnapshotRow& row : snapshotRows) {
    HalvernConfigSnapshot snapshot{row.response};
    EXPECT_EQ(snapshot.customMode(), row.custom) << row.response.size();
    EXPECT_EQ(snapshot.effectID(), row.effect) << row.response.size();
  }
}

}  // namespace
}  // namespace zepa
