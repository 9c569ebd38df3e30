#include "protocol/records.hpp"

#include <functional>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "json_mutations.hpp"

namespace zepa {
namespace {

using nlohmann::json;

const char* const kProfileText = R"({
  "id": "6f1c1e9a-3b7d-4c2a-9e1f-0a1b2c3d4e5f",
  "name": "Büro",
  "lighting": {"mode": 10, "color": {"red": 1, "green": 2, "blue": 3},
               "brightness": 4, "speed": 5, "direction": 1, "colorful": false},
  "keyColors": [{"index": 85, "color": {"red": 255, "green": 0, "blue": 128}}],
  "remaps": [{"sourceIndex": 55, "action": 2, "param1": 1, "param2": 0, "param3": 0}]
})";

// --- Enumerations ---------------------------------------------------------------------------

TEST(LightingModeTest, EveryCaseRoundTripsThroughJson) {
  ASSERT_EQ(allLightingModes().size(), 20u);
  for (std::size_t i = 0; i < allLightingModes().size(); ++i) {
    LightingMode mode = allLightingModes()[i];
    EXPECT_EQ(rawValue(mode), static_cast<int>(i)) << "allCases out of raw order";
    EXPECT_EQ(toJson(mode), json(i));
    EXPECT_EQ(lightingModeFromJson(toJson(mode)), mode) << i;
    EXPECT_EQ(lightingModeFromRaw(static_cast<int>(i)), mode);
  }
  for (int raw : {-1, 20, 255, -2147483647 - 1}) {
    EXPECT_EQ(lightingModeFromRaw(raw), std::nullopt) << raw;
  }
  for (const char* text : {"-1", "20", "19.0", "true", "\"5\"", "null"}) {
    EXPECT_EQ(lightingModeFromJson(json::parse(text)), std::nullopt) << text;
  }
}

TEST(LightingModeTest, CapabilitiesFollowTheExceptionSets) {
  using enum LightingMode;
  const std::set<LightingMode> withoutSpeed{off, staticColor};
  const std::set<LightingMode> withDirection{scrolling, rolling, rotating, flowing, tilt};
  const std::set<LightingMode> withoutColor{off, colourful, spectrum};
  std::set<std::string> names;
  for (LightingMode mode : allLightingModes()) {
    SCOPED_TRACE(name(mode));
    EXPECT_EQ(supportsSpeed(mode), !withoutSpeed.contains(mode));
    EXPECT_EQ(supportsDirection(mode), withDirection.contains(mode));
    EXPECT_EQ(supportsColor(mode), !withoutColor.contains(mode));
    EXPECT_EQ(supportsColorful(mode), supportsColor(mode));
    names.insert(name(mode));
  }
  EXPECT_EQ(names.size(), 20u) << "display names must tell the effects apart";
  EXPECT_EQ(name(outward), "Nach außen");
}

TEST(RemapActionTest, EveryCaseRoundTripsAndGapsGiveNothing) {
  struct Row {
    int raw;
    std::optional<RemapAction> action;
  };
  const Row rows[] = {
      {0, RemapAction::none},     {1, RemapAction::special}, {2, RemapAction::key},
      {3, RemapAction::consumer}, {4, std::nullopt},         {5, RemapAction::profile},
      {6, RemapAction::macro},    {7, RemapAction::mouse},   {8, std::nullopt},
      {-1, std::nullopt},         {255, std::nullopt}};
  std::vector<KeyRemap> remaps;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.raw);
    EXPECT_EQ(remapActionFromRaw(row.raw), row.action);
    EXPECT_EQ(remapActionFromJson(json(row.raw)), row.action);
    if (row.action) {
      EXPECT_EQ(toJson(*row.action), json(row.raw));
      remaps.push_back({static_cast<std::uint8_t>(row.raw), *row.action, 255, 0, 7});
    }
  }
  EXPECT_EQ(remapActionFromJson(json(2.0)), std::nullopt);
  std::string text = encodeKeyRemaps(remaps);
  EXPECT_EQ(decodeKeyRemaps(text), remaps) << text;
}

// --- Encoding ---------------------------------------------------------------------------------

TEST(ProfileCodingTest, DefaultProfileEncodesEveryKeyCompactly) {
  ZEPAProfile profile = ZEPAProfile::makeDefault();
  std::string text = encodeProfile(profile);
  EXPECT_EQ(text.find_first_of(" \n"), std::string::npos) << text;
  json expected = json::parse(
      R"({"name":"Standard","keyColors":[],"remaps":[],"lighting":{"mode":11,)"
      R"("color":{"red":0,"green":210,"blue":255},"brightness":5,"speed":3,"direction":0,)"
      R"("colorful":true}})");
  expected["id"] = profile.id.text();
  EXPECT_EQ(json::parse(text), expected) << text;

  auto decoded = decodeProfile(text);
  ASSERT_TRUE(decoded) << text;
  EXPECT_EQ(encodeProfile(*decoded), text);
}

TEST(ProfileCodingTest, FullProfileRoundTrips) {
  auto profile = decodeProfile(kProfileText);
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->name, "Büro");
  EXPECT_EQ(profile->lighting,
            (LightingConfig{LightingMode::scrolling, RGBColor{1, 2, 3}, 4, 5, 1, false}));
  EXPECT_EQ(profile->keyColors, (std::vector<KeyColor>{{85, RGBColor{255, 0, 128}}}));
  EXPECT_EQ(profile->remaps, (std::vector<KeyRemap>{{55, RemapAction::key, 1, 0, 0}}));
  std::string encoded = encodeProfile(*profile);
  EXPECT_EQ(json::parse(encoded), json::parse(kProfileText)) << encoded;
}

TEST(ProfileCodingTest, InvalidUtf8NameStillEncodesToValidJson) {
  ZEPAProfile profile = ZEPAProfile::makeDefault();
  profile.name =
      "Pro\xff"
      "fil";
  std::string text;
  ASSERT_NO_THROW(text = encodeProfile(profile));
  auto decoded = decodeProfile(text);
  ASSERT_TRUE(decoded) << text;
  EXPECT_EQ(decoded->name,
            "Pro\xEF\xBF\xBD"
            "fil");
}

// --- Decoding ---------------------------------------------------------------------------------

TEST(ProfileDecodingTest, EachRemovedKeyOrWrongValueFailsTheWholeDocument) {
  json base = json::parse(kProfileText);
  ASSERT_TRUE(profileFromJson(base));
  auto mutations = testing::withEachKeyRemoved(base);
  auto wrong = testing::withEachWrongValue(base);
  mutations.insert(mutations.end(), wrong.begin(), wrong.end());
  EXPECT_GT(mutations.size(), 100u);
  for (const auto& mutation : mutations) {
    EXPECT_FALSE(decodeProfile(mutation.document.dump()))
        << mutation.description << "\n  " << mutation.document.dump();
  }
}

TEST(ProfileDecodingTest, ValuesAtTheEdges) {
  struct Row {
    const char* pointer;
    json value;
    bool decodes;
  };
  const Row rows[] = {
      {"/lighting/mode", 20, false},
      {"/lighting/mode", 19, true},
      {"/lighting/brightness", 256, false},
      {"/lighting/brightness", 9, true},  // checked only when sending
      {"/lighting/direction", 255, true},
      {"/remaps/0/action", 4, false},
      {"/remaps/0/action", 8, false},
      {"/remaps/0/action", 7, true},
      {"/keyColors/0/color/red", 18446744073709551615ull, false},
      {"/remaps/0/param3", -9223372036854775807ll, false},
      {"/id", "", false},
      {"/id", "6f1c1e9a3b7d4c2a9e1f0a1b2c3d4e5f", false},
      {"/id", "{6f1c1e9a-3b7d-4c2a-9e1f-0a1b2c3d4e5f}", false},
      {"/id", " 6f1c1e9a-3b7d-4c2a-9e1f-0a1b2c3d4e5f", false},
      {"/id", "6F1C1E9A-3B7D-4C2A-9E1F-0A1B2C3D4E5F", true},
      {"/name", "", true},
      {"/keyColors", json::array(), true},
      {"/extra", json::object(), true},
      {"/remaps/0/comment", nullptr, true},
  };
  for (const Row& row : rows) {
    json document = json::parse(kProfileText);
    document[json::json_pointer(row.pointer)] = row.value;
    EXPECT_EQ(profileFromJson(document).has_value(), row.decodes)
        << row.pointer << " = " << row.value.dump();
  }
}

TEST(ProfileDecodingTest, TextThatIsNotOneJsonDocumentFails) {
  for (const char* text : {"", " ", "{", "null", "[]", "\"profile\"", "{} {}"}) {
    EXPECT_FALSE(decodeProfile(text)) << text;
  }
  EXPECT_FALSE(decodeProfile(std::string(kProfileText) + " x"));
  EXPECT_TRUE(decodeProfile(std::string(kProfileText) + "\n"));
}

TEST(RecordDecodingTest, LightingKeyColorRemapAndColorRejectEveryMutation) {
  struct Row {
    const char* valid;
    std::function<bool(const json&)> decodes;
  };
  const Row rows[] = {
      {R"({"mode":1,"color":{"red":9,"green":8,"blue":7},"brightness":2,"speed":3,)"
       R"("direction":0,"colorful":true})",
       [](const json& j) { return lightingConfigFromJson(j).has_value(); }},
      {R"({"index":0,"color":{"red":0,"green":0,"blue":0}})",
       [](const json& j) { return keyColorFromJson(j).has_value(); }},
      {R"({"sourceIndex":1,"action":3,"param1":2,"param2":3,"param3":4})",
       [](const json& j) { return keyRemapFromJson(j).has_value(); }},
      {R"({"red":0,"green":210,"blue":255})",
       [](const json& j) { return rgbColorFromJson(j).has_value(); }},
  };
  for (const Row& row : rows) {
    json base = json::parse(row.valid);
    ASSERT_TRUE(row.decodes(base)) << row.valid;
    auto mutations = testing::withEachKeyRemoved(base);
    auto wrong = testing::withEachWrongValue(base);
    mutations.insert(mutations.end(), wrong.begin(), wrong.end());
    for (const auto& mutation : mutations) {
      EXPECT_FALSE(row.decodes(mutation.document))
          << mutation.description << "\n  " << mutation.document.dump();
    }
  }
}

TEST(RecordDecodingTest, RemapListFailsAsAWholeOnOneBadElement) {
  std::string good = R"({"sourceIndex":1,"action":2,"param1":0,"param2":4,"param3":0})";
  std::string bad = R"({"sourceIndex":1,"action":4,"param1":0,"param2":4,"param3":0})";
  EXPECT_EQ(decodeKeyRemaps("[" + good + "," + good + "]")->size(), 2u);
  EXPECT_FALSE(decodeKeyRemaps("[" + good + "," + bad + "]"));
  EXPECT_FALSE(decodeKeyRemaps(good));
  EXPECT_EQ(encodeKeyRemaps({}), "[]");
}

// --- UUID -------------------------------------------------------------------------------------

TEST(UuidTest, ParseAndText) {
  struct Row {
    const char* input;
    const char* text;  // nullptr: rejected
  };
  const Row rows[] = {
      {"00000000-0000-0000-0000-000000000000", "00000000-0000-0000-0000-000000000000"},
      {"ABCDEF01-2345-6789-abcd-EF0123456789", "abcdef01-2345-6789-abcd-ef0123456789"},
      {"abcdef01-2345-6789-abcd-ef012345678", nullptr},
      {"abcdef01-2345-6789-abcd-ef01234567890", nullptr},
      {"abcdef0-12345-6789-abcd-ef0123456789", nullptr},
      {"abcdef01-2345-6789-abcd_ef0123456789", nullptr},
      {"abcdef01-2345-6789-abcd-ef012345678z", nullptr},
      {"+bcdef01-2345-6789-abcd-ef0123456789", nullptr},
  };
  for (const Row& row : rows) {
    auto uuid = Uuid::parse(row.input);
    EXPECT_EQ(uuid ? uuid->text() : "(rejected)", row.text ? row.text : "(rejected)") << row.input;
  }
}

TEST(UuidTest, RandomIsVersionFourVariantOneAndFresh) {
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    Uuid uuid = Uuid::random();
    std::string text = uuid.text();
    EXPECT_EQ(text[14], '4') << text;
    EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos) << text;
    EXPECT_EQ(Uuid::parse(text), uuid) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 64u);
}

}  // namespace
}  // namespace zepa
