#include "protocol/effect_maps.hpp"

#include <gtest/gtest.h>

namespace zepa {
namespace {

TEST(EffectNamesTest, RoundTrip) {
  const EffectNames rows[] = {
      {},
      {{7, "Atmen"}},
      {{0, ""}, {3, "scrollen"}, {19, "Pendeln \"schnell\""}, {15, "Wellen – ruhig"}},
  };
  for (const EffectNames& names : rows) {
    std::string text = encodeEffectNames(names);
    EXPECT_EQ(decodeEffectNames(text), names) << text;
  }
  EXPECT_EQ(encodeEffectNames({}), "{}");
  EXPECT_EQ(encodeEffectNames({{10, "Scrollen"}}), R"({"10":"Scrollen"})");
}

TEST(EffectNamesTest, Decoding) {
  struct Row {
    const char* text;
    std::optional<EffectNames> expected;
  };
  const Row rows[] = {
      {R"({"4":"Wellen","15":"Wellen"})", EffectNames{{4, "Wellen"}, {15, "Wellen"}}},
      {R"({"25":"x","-1":"y"})", EffectNames{{25, "x"}, {-1, "y"}}},  // kept as stored
      {"{}", EffectNames{}},
      {"", std::nullopt},
      {"[]", std::nullopt},
      {R"("Atmen")", std::nullopt},
      {R"({"7":7})", std::nullopt},
      {R"({"7":["Atmen"]})", std::nullopt},
      {R"({"x":"Atmen"})", std::nullopt},
      {R"({"07":"Atmen"})", std::nullopt},
      {R"({"+7":"Atmen"})", std::nullopt},
      {R"({" 7":"Atmen"})", std::nullopt},
      {R"({"7.0":"Atmen"})", std::nullopt},
      {R"({"-0":"Atmen"})", std::nullopt},
      {R"({"":"Atmen"})", std::nullopt},
      {R"({"99999999999":"Atmen"})", std::nullopt},
      {R"({"7":"Atmen"} x)", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(decodeEffectNames(row.text), row.expected) << row.text;
}

TEST(EffectSemanticMapTest, RoundTrip) {
  const EffectSemanticMap rows[] = {{}, {{3, 10}}, {{0, 0}, {4, 15}, {15, 15}, {19, 19}}};
  for (const EffectSemanticMap& map : rows) {
    std::string text = encodeEffectSemanticMap(map);
    EXPECT_EQ(decodeEffectSemanticMap(text), map) << text;
  }
  EXPECT_EQ(encodeEffectSemanticMap({{3, 10}}), R"({"3":10})");
}

TEST(EffectSemanticMapTest, Decoding) {
  struct Row {
    const char* text;
    std::optional<EffectSemanticMap> expected;
  };
  const Row rows[] = {
      {R"({"3":10,"15":15})", EffectSemanticMap{{3, 10}, {15, 15}}},
      {R"({"3":25,"4":-1})", EffectSemanticMap{{3, 25}, {4, -1}}},  // unknown modes read as none
      {"{}", EffectSemanticMap{}},
      {R"({"3":10.0})", std::nullopt},
      {R"({"3":"10"})", std::nullopt},
      {R"({"3":true})", std::nullopt},
      {R"({"3":4294967296})", std::nullopt},
      {R"({"03":10})", std::nullopt},
      {R"({"three":10})", std::nullopt},
      {"[10]", std::nullopt},
      {"10", std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(decodeEffectSemanticMap(row.text), row.expected) << row.text;
  }
}

}  // namespace
}  // namespace zepa
