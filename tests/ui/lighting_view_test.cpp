// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QColorDialog>
#include <QPushButton>
#include <QSlider>
#include <map>

#include "app/views/color_button.hpp"
#include "app/views/lighting_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class LightingViewTest : public ViewTest {
 protected:
  static void setMode(AppModel& model, LightingMode mode, std::uint8_t direction = 0) {
    model.editProfile([&](ZEPAProfile& profile) {
      profile.lighting.mode = mode;
      profile.lighting.direction = direction;
    });
  }
  static QString entry(const QWidget& view, int id) {
    auto* box = find<QComboBox>(view, "effectPicker");
    return box->itemText(box->findData(id));
  }
};

// Direction and the active choice are left out, not disabled.
struct EffectControls {
  const char* name;
  int id;
  const char* named;  // the name recorded for the ID, "" for none
  QStringList enabled;
  bool direction;
};
using test::PrintTo;

class ZepaControls : public LightingViewTest,
                     public ::testing::WithParamInterface<EffectControls> {};

TEST_P(ZepaControls, FollowTheEffectTheIdShows) {
  AppModel& model = attach(Attached::zepa);
  if (*GetParam().named)
    model.setCustomEffectName(QString::fromUtf8(GetParam().named), GetParam().id);
  auto& view = open<LightingView>();
  setMode(model, *lightingModeFromRaw(GetParam().id));
  EXPECT_EQ(find<QComboBox>(view, "effectPicker")->currentData().toInt(), GetParam().id);
  EXPECT_EQ(enabledOf(view, {"colorPicker", "colorfulSwitch", "speedSlider", "brightnessSlider"}),
            GetParam().enabled);
  EXPECT_EQ(find(view, "directionLinks")->isVisible(), GetParam().direction);
  EXPECT_EQ(find(view, "activeSelection")->isVisible(), GetParam().direction);
}

const QStringList colour{"colorPicker", "colorfulSwitch", "brightnessSlider"};
const QStringList all{"colorPicker", "colorfulSwitch", "speedSlider", "brightnessSlider"};
INSTANTIATE_TEST_SUITE_P(
    Lighting, ZepaControls,
    ::testing::Values(EffectControls{"Off", 0, "", {"brightnessSlider"}, false},
                      EffectControls{"Static", 1, "", colour, false},
                      EffectControls{
                          "SpeedOnly", 6, "", {"speedSlider", "brightnessSlider"}, false},
                      EffectControls{"Scrolling", 10, "", all, true},
                      EffectControls{"NamedAsScrolling", 3, "Scrollen", all, true},
                      EffectControls{"ScrollingNamedWaves", 10, "Wellen", all, false},
                      EffectControls{"OwnNameKeepsItsMode", 3, "Mein Effekt", all, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LightingViewTest, TheDirectionButtonsRelabelTheEffectsWithoutSending) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  setMode(model, LightingMode::scrolling);
  ASSERT_EQ(find<QComboBox>(view, "effectPicker")->count(), 20);
  click(view, "directionRechts");
  EXPECT_EQ(model.profile().lighting.direction, 1);
  EXPECT_TRUE(find<QPushButton>(view, "directionRechts")->isChecked());
  EXPECT_EQ(entry(view, 10), "ID 10 – Scrollen · rechts");
  EXPECT_EQ(entry(view, 16), "ID 16 – Fließen · rechts");
  EXPECT_EQ(entry(view, 15), "ID 15 – Wellen") << "no direction";
  EXPECT_EQ(text(view, "activeSelection"), "ID 10 – Scrollen · rechts");
  click(view, "directionLinks");
  EXPECT_EQ(entry(view, 10), "ID 10 – Scrollen · links");
  EXPECT_TRUE(simulator_->log().empty()) << "a direction change must not send";
}

TEST_F(LightingViewTest, NamesRelabelTheEffectsAtOnce) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  model.setCustomEffectName("  scrollen ", 3);  // now a scrolling effect: with a direction
  EXPECT_EQ(entry(view, 3), "ID 03 – scrollen · links");
  model.resetCustomEffectNames();
  EXPECT_EQ(entry(view, 3), "ID 03 – Einzeln aus");
}

TEST_F(LightingViewTest, EditsWaitForTheApplyButtonButAnEffectChoiceSendsAtOnce) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  setMode(model, LightingMode::scrolling);
  auto* brightness = find<QSlider>(view, "brightnessSlider");
  EXPECT_EQ(brightness->maximum(), 5);
  brightness->setValue(2);
  find<QSlider>(view, "speedSlider")->setValue(4);
  find<QCheckBox>(view, "colorfulSwitch")->setChecked(false);
  model.setSelectedColor(QColor(255, 0, 0));
  EXPECT_EQ(text(view, "brightnessLabel"), "Helligkeit: 2");
  EXPECT_EQ(text(view, "speedLabel"), "Tempo: 4");
  EXPECT_TRUE(simulator_->log().empty());
  choose(view, "effectPicker", rawValue(LightingMode::breath));
  EXPECT_EQ(enabledOf(view, {"effectPicker", "applyButton"}), QStringList()) << "while sending";
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  // Breathing in the picked red, single colour, brightness 2, speed 4.
  EXPECT_EQ(simulator_->zepaState()["lighting"]["report"],
            "07 ff 00 00 00 00 00 00 00 02 04 00 00 00 aa 55");
  brightness->setValue(3);
  click(view, "applyButton");
  waitUntilIdle(model);
  EXPECT_EQ(simulator_->zepaState()["lighting"]["brightness"], 3);
}

TEST_F(LightingViewTest, HalvernOffersNoHiddenEffect) {
  attach(Attached::halvern);
  auto& view = open<LightingView>();
  auto* effect = find<QComboBox>(view, "halvernEffectPicker");
  EXPECT_EQ(effect->count(), 16);
  EXPECT_EQ(effect->findData(6), -1);
  EXPECT_EQ(effect->findData(14), -1);
  EXPECT_EQ(effect->findData(18), -1);
  EXPECT_EQ(effect->itemText(15), "ID 17 – Farbzyklus");
}

struct HalvernControls {
  const char* name;
  HalvernEffect effect;
  QStringList enabled;
};

class HalvernControlsTest : public LightingViewTest,
                            public ::testing::WithParamInterface<HalvernControls> {};

// A hidden effect that is stored shows no entry but keeps its controls.
TEST_P(HalvernControlsTest, FollowTheEffect) {
  AppModel& model = attach(Attached::halvern);
  auto& view = open<LightingView>();
  model.editHalvernLighting([&](HalvernLightingConfig& l) { l.effect = GetParam().effect; });
  const QStringList enabled = enabledOf(view, {"halvernColorPicker", "halvernColorfulSwitch",
                                               "halvernBrightnessSlider", "halvernSpeedSlider"});
  EXPECT_EQ(enabled, GetParam().enabled);
  EXPECT_EQ(find(view, "halvernColorStatus")->isVisible(), enabled.contains("halvernColorPicker"));
}

INSTANTIATE_TEST_SUITE_P(
    Lighting, HalvernControlsTest,
    ::testing::Values(
        HalvernControls{"Off", HalvernEffect::off, {}},
        HalvernControls{"Static",
                        HalvernEffect::staticColor,
                        {"halvernColorPicker", "halvernColorfulSwitch", "halvernBrightnessSlider"}},
        HalvernControls{
            "Wave", HalvernEffect::wave, {"halvernBrightnessSlider", "halvernSpeedSlider"}},
        HalvernControls{"HiddenGradient",
                        HalvernEffect::gradient,
                        {"halvernColorPicker", "halvernColorfulSwitch", "halvernBrightnessSlider",
                         "halvernSpeedSlider"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LightingViewTest, HalvernStaticChoiceTurnsMulticolourOffAndSends) {
  AppModel& model = attach(Attached::halvern);
  auto& view = open<LightingView>();
  ASSERT_TRUE(model.halvernLighting().colorful);
  choose(view, "halvernEffectPicker", rawValue(HalvernEffect::staticColor));
  EXPECT_FALSE(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
  EXPECT_EQ(text(view, "halvernColorStatus"),
            "Einzelfarbe ist aktiv und wird mit „Auf Keyboard anwenden“ übertragen.");
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Halvern-Beleuchtung aktualisiert");
  const auto state = simulator_->halvernState();
  EXPECT_EQ(state["effect"], rawValue(HalvernEffect::staticColor));
  EXPECT_EQ(state["effects"][rawValue(HalvernEffect::staticColor) - 1]["colorful"], false);
}

TEST_F(LightingViewTest, HalvernOtherChoiceKeepsMulticolour) {
  AppModel& model = attach(Attached::halvern);
  auto& view = open<LightingView>();
  choose(view, "halvernEffectPicker", rawValue(HalvernEffect::breathing));
  EXPECT_TRUE(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
  EXPECT_EQ(text(view, "halvernColorStatus"),
            "Mehrfarbig ist aktiv. Für die ausgewählte Einzelfarbe den Schalter ausschalten.");
  waitUntilIdle(model);
  EXPECT_TRUE(model.halvernLighting().colorful);
}

// A picked colour means one colour too, without sending.
TEST_F(LightingViewTest, HalvernPickedColourTurnsMulticolourOff) {
  AppModel& model = attach(Attached::halvern);
  auto& view = open<LightingView>();
  auto* picker = find<ColorButton>(view, "halvernColorPicker");
  QTest::mouseClick(picker, Qt::LeftButton);
  ASSERT_NE(picker->dialog(), nullptr);
  picker->dialog()->setCurrentColor(QColor(200, 10, 20));
  picker->dialog()->accept();
  EXPECT_EQ(AppModel::colorValue(model.halvernSelectedColor()), (RGBColor{200, 10, 20}));
  EXPECT_FALSE(model.halvernLighting().colorful);
  EXPECT_FALSE(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
  EXPECT_TRUE(simulator_->log().empty());
}

// Rows that hide and labels that change must not move the other controls: each keeps the x
// position and width it has under the first effect.
TEST_F(LightingViewTest, ControlsStayPutAcrossEffectsWithAndWithoutDirection) {
  const std::pair<LightingMode, std::uint8_t> effects[] = {{LightingMode::staticColor, 0},
                                                           {LightingMode::scrolling, 0},
                                                           {LightingMode::scrolling, 1},
                                                           {LightingMode::breath, 0}};
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  std::map<std::string, QRect> first;
  for (const auto& [mode, direction] : effects) {
    SCOPED_TRACE(testing::Message() << name(mode) << " direction " << int(direction));
    setMode(model, mode, direction);
    QCoreApplication::processEvents();
    for (const char* control : {"effectPicker", "colorPicker", "colorfulSwitch", "brightnessSlider",
                                "speedSlider", "applyButton"}) {
      const QWidget* widget = find(view, control);
      const QRect place(widget->mapTo(&view, QPoint(0, 0)), widget->size());
      const QRect known = first.emplace(control, place).first->second;
      ASSERT_EQ(place.x(), known.x()) << control << " moved sideways";
      ASSERT_EQ(place.width(), known.width()) << control << " changed width";
    }
  }
}

}  // namespace
}  // namespace zepa::uitest
