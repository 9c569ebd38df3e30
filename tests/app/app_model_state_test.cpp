// SPDX-License-Identifier: MIT
#include "model_test_support.hpp"

namespace zepa::test {
namespace {

// A launch takes the profile file and the stored values. What does not decode counts as absent
// (see stores_test.cpp).
TEST_F(ModelTest, LaunchTakesTheStoredProfileAndSettings) {
  ZEPAProfile evening = ZEPAProfile::makeDefault();
  evening.lighting.color = {1, 2, 3};
  writeFile(profilePath(), encodeProfile(evening));
  const HalvernLightingConfig wave{HalvernEffect::wave, RGBColor{4, 5, 6}, 2, 1, false};
  settings().setValue("halvernLighting", QByteArray::fromStdString(encodeHalvernLighting(wave)));
  const KeyRemap capsToControl{0x39, RemapAction::key, 0, 0xE0, 0};
  settings().setValue("halvernRemaps", QByteArray::fromStdString(encodeKeyRemaps({capsToControl})));
  auto model = makeModel();
  EXPECT_EQ(AppModel::colorValue(model->selectedColor()), (RGBColor{1, 2, 3}));
  EXPECT_EQ(AppModel::colorValue(model->halvernSelectedColor()), (RGBColor{4, 5, 6}));
  EXPECT_EQ(model->halvernRemaps(), std::vector{capsToControl});
}

struct Detection {
  const char* name;
  bool zepa, halvern;
  SupportedKeyboard before, after;
};
using test::PrintTo;

class DetectionTest : public ModelTest, public ::testing::WithParamInterface<Detection> {};

TEST_P(DetectionTest, KeepsOrSwitchesTheSelection) {
  useKeyboards(GetParam().zepa, GetParam().halvern);
  auto model = makeModel();
  model->setSelectedKeyboard(GetParam().before);
  model->refreshConnection();
  EXPECT_EQ(model->selectedKeyboard(), GetParam().after);
}

using enum SupportedKeyboard;
INSTANTIATE_TEST_SUITE_P(Model, DetectionTest,
                         ::testing::Values(Detection{"NoneKeeps", false, false, halvern, halvern},
                                           Detection{"OnlyZepa", true, false, halvern, zepa},
                                           Detection{"BothKeep", true, true, halvern, halvern}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ColorValue, EveryByteSurvivesTheWayThroughQColor) {
  for (int byte = 0; byte < 256; ++byte) {
    const RGBColor color{std::uint8_t(byte), std::uint8_t(255 - byte), std::uint8_t(byte)};
    ASSERT_EQ(AppModel::colorValue(AppModel::displayColor(color)), color) << byte;
  }
}

// Stored: 2 "SCROLLEN", 6 "Aus", 7 "Wellen"; recorded effects 7: 4, 8: 13, 9: 42 (unknown).
class EffectNaming : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    settings().setValue("customEffectNames",
                        QByteArray(R"({"2":"SCROLLEN","6":"Aus","7":"Wellen"})"));
    settings().setValue("effectSemanticMap", QByteArray(R"({"7":4,"8":13,"9":42})"));
    model_ = makeModel();
  }
  std::unique_ptr<AppModel> model_;
};

// A stored name matching a built-in effect (any case) records it.
TEST_F(EffectNaming, LaunchRecordsTheEffectsOfStoredNames) {
  EXPECT_EQ(model_->effectSemanticMap(),
            (EffectSemanticMap{{2, 10}, {6, 0}, {7, 4}, {8, 13}, {9, 42}}));
}

struct Naming {
  const char* name;
  int id;
  const char* typed;
  const char* kept;         // the stored name, "" for none
  std::optional<int> mode;  // the effect recorded for the ID
};

class NamingTest : public EffectNaming, public ::testing::WithParamInterface<Naming> {};

TEST_P(NamingTest, RecordsTheEffectTheNameShows) {
  model_->setCustomEffectName(QString::fromUtf8(GetParam().typed), GetParam().id);
  const auto name = model_->customEffectNames().find(GetParam().id);
  EXPECT_EQ(name == model_->customEffectNames().end() ? "" : name->second, GetParam().kept);
  const EffectSemanticMap& modes = model_->effectSemanticMap();
  EXPECT_EQ(modes.contains(GetParam().id) ? modes.at(GetParam().id) : std::optional<int>(),
            GetParam().mode);
  EXPECT_EQ(stored("customEffectNames"), encodeEffectNames(model_->customEffectNames()));
}

INSTANTIATE_TEST_SUITE_P(
    Model, NamingTest,
    ::testing::Values(Naming{"TrimmedAnyCase", 3, " \tscrollen \n", "scrollen", 10},
                      Naming{"OwnNameDropsTheEffect", 7, "Mein  Effekt", "Mein  Effekt", {}},
                      Naming{"BlankRemovesBoth", 7, "  \n", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EffectNaming, AssignmentsNameTheRecordedEffect) {
  EXPECT_EQ(model_->assignmentName(8), "Explosion") << "recorded without a name";
}

TEST_F(EffectNaming, ResetForgetsNamesAndEffects) {
  model_->resetCustomEffectNames();
  EXPECT_FALSE(settings().contains("customEffectNames"));
  EXPECT_FALSE(settings().contains("effectSemanticMap"));
}

}  // namespace
}  // namespace zepa::test
