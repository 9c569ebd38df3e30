// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QColorDialog>
#include <QFormLayout>
#include <QSlider>
#include <map>

#include "app/views/color_button.hpp"
#include "app/views/form_parts.hpp"
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

const QStringList colour{"colorPicker", "colorfulSwitch", "brightnessSlider"};
const QStringList all{"colorPicker", "colorfulSwitch", "speedSlider", "brightnessSlider"};

class ZepaControls : public LightingViewTest,
                     public ::testing::WithParamInterface<EffectControls> {};

TEST_P(ZepaControls, FollowTheEffectTheIdShows) {
  AppModel& model = attach(Attached::zepa);
  if (*GetParam().named)
    model.setCustomEffectName(QString::fromUtf8(GetParam().named), GetParam().id);
  auto& view = open<LightingView>();
  setMode(model, *lightingModeFromRaw(GetParam().id));
  EXPECT_EQ(enabledOf(view, all), GetParam().enabled);
  EXPECT_EQ(find(view, "directionLinks")->isVisible(), GetParam().direction);
}

INSTANTIATE_TEST_SUITE_P(
    Lighting, ZepaControls,
    ::testing::Values(EffectControls{"Off", 0, "", {"brightnessSlider"}, false},
                      EffectControls{"Static", 1, "", colour, false},
                      EffectControls{"NamedAsScrolling", 3, "Scrollen", all, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LightingViewTest, TheDirectionButtonsRelabelTheEffectsWithoutSending) {
  auto& view = open<LightingView>(Attached::zepa);
  setMode(model(), LightingMode::scrolling);
  click(view, "directionRechts");
  EXPECT_EQ(text(view, "activeSelection"), "ID 10 – Scrollen · rechts");
  EXPECT_TRUE(simulator_->log().empty()) << "a direction change must not send";
}

TEST_F(LightingViewTest, EditsWaitForTheApplyButtonButAnEffectChoiceSendsAtOnce) {
  auto& view = open<LightingView>(Attached::zepa);
  setMode(model(), LightingMode::scrolling);
  auto* brightness = find<QSlider>(view, "brightnessSlider");
  brightness->setValue(2);
  EXPECT_TRUE(simulator_->log().empty());
  choose(view, "effectPicker", rawValue(LightingMode::breath));
  waitUntilIdle(model());
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(LightingMode::breath));
  brightness->setValue(3);
  click(view, "applyButton");
  waitUntilIdle(model());
  EXPECT_EQ(simulator_->zepaState()["lighting"]["brightness"], 3);
}

TEST_F(LightingViewTest, HalvernOffersNoHiddenEffect) {
  auto& view = open<LightingView>(Attached::halvern);
  EXPECT_EQ(find<QComboBox>(view, "halvernEffectPicker")->findData(6), -1);
}

struct HalvernControls {
  const char* name;
  HalvernEffect effect;
  QStringList enabled;
};

const QStringList halvernAll{"halvernColorPicker", "halvernColorfulSwitch",
                             "halvernBrightnessSlider", "halvernSpeedSlider"};

class HalvernControlsTest : public LightingViewTest,
                            public ::testing::WithParamInterface<HalvernControls> {};

// A hidden effect that is stored shows no entry but keeps its controls.
TEST_P(HalvernControlsTest, FollowTheEffect) {
  auto& view = open<LightingView>(Attached::halvern);
  model().editHalvernLighting([&](HalvernLightingConfig& l) { l.effect = GetParam().effect; });
  EXPECT_EQ(enabledOf(view, halvernAll), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Lighting, HalvernControlsTest,
    ::testing::Values(HalvernControls{"Off", HalvernEffect::off, {}},
                      HalvernControls{"Static",
                                      HalvernEffect::staticColor,
                                      {"halvernColorPicker", "halvernColorfulSwitch",
                                       "halvernBrightnessSlider"}},
                      HalvernControls{"HiddenGradient", HalvernEffect::gradient, halvernAll}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LightingViewTest, HalvernStaticChoiceTurnsMulticolourOffAndSends) {
  auto& view = open<LightingView>(Attached::halvern);
  ASSERT_TRUE(model().halvernLighting().colorful);
  choose(view, "halvernEffectPicker", rawValue(HalvernEffect::staticColor));
  EXPECT_FALSE(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
  waitUntilIdle(model());
  EXPECT_EQ(simulator_->halvernState()["effect"], rawValue(HalvernEffect::staticColor));
}

// A picked colour means one colour too.
TEST_F(LightingViewTest, HalvernPickedColourTurnsMulticolourOff) {
  auto& view = open<LightingView>(Attached::halvern);
  auto* picker = find<ColorButton>(view, "halvernColorPicker");
  QTest::mouseClick(picker, Qt::LeftButton);
  ASSERT_NE(picker->dialog(), nullptr);
  picker->dialog()->setCurrentColor(QColor(200, 10, 20));
  picker->dialog()->accept();
  EXPECT_FALSE(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
}

// Rows that hide and labels that change must not move the other controls: each keeps the x
// position it has under the first effect.
TEST_F(LightingViewTest, ControlsStayPutAcrossEffectsWithAndWithoutDirection) {
  const std::pair<LightingMode, std::uint8_t> effects[] = {
      {LightingMode::staticColor, 0}, {LightingMode::scrolling, 0}, {LightingMode::scrolling, 1}};
  auto& view = open<LightingView>(Attached::zepa);
  std::map<std::string, int> first;
  for (const auto& [mode, direction] : effects) {
    SCOPED_TRACE(testing::Message() << name(mode) << " direction " << int(direction));
    setMode(model(), mode, direction);
    QCoreApplication::processEvents();
    for (const char* control : {"effectPicker", "colorPicker", "colorfulSwitch", "brightnessSlider",
                                "speedSlider", "applyButton"}) {
      const int x = find(view, control)->mapTo(&view, QPoint(0, 0)).x();
      ASSERT_EQ(x, first.emplace(control, x).first->second) << control << " moved sideways";
    }
  }
}

// Measurements the views keep between layout passes are taken again when what they measured
// changes: a note's height when its text or font changes, the effect picker's width when an
// effect is renamed.
const QString longNote = QStringLiteral(
    "Lichtleiste und seitliche Streifen werden von der VX10-Firmware ausschließlich über "
    "Fn-Tastenkombinationen gesteuert, und diese Zeile ist absichtlich lang genug, um bei "
    "zweihundert Punkten Breite mehrmals umzubrechen.");

TEST_F(LightingViewTest, ANoteIsMeasuredAgainWhenItsTextChanges) {
  QWidget parent;
  QLabel* note = noteLabel(QStringLiteral("Kurz."), &parent);
  const int shortHeight = note->heightForWidth(200);
  note->setText(longNote);
  EXPECT_GT(note->heightForWidth(200), shortHeight);
}

TEST_F(LightingViewTest, RenamingAnEffectWidensThePickerForTheLongerName) {
  auto& view = open<LightingView>(Attached::zepa);
  auto* picker = find<QComboBox>(view, "effectPicker");
  const int before = picker->width();
  model().setCustomEffectName(QStringLiteral("Sehr langer selbst gewählter Name für den Effekt"),
                              4);
  QCoreApplication::processEvents();
  EXPECT_GT(picker->width(), before);
}

TEST_F(LightingViewTest, ALargerFontWidensThePickerAndTheLabelColumn) {
  auto& view = open<LightingView>(Attached::zepa);
  auto* picker = find<QComboBox>(view, "effectPicker");
  QWidget* label =
      qobject_cast<QFormLayout*>(picker->parentWidget()->layout())->labelForField(picker);
  const int pickerBefore = picker->width();
  const int labelBefore = label->minimumWidth();
  QFont larger = view.font();
  larger.setPointSizeF(larger.pointSizeF() * 1.5);
  view.setFont(larger);
  QCoreApplication::processEvents();
  EXPECT_GT(picker->width(), pickerBefore) << "effect picker";
  EXPECT_GT(label->minimumWidth(), labelBefore) << "label column";
}

}  // namespace
}  // namespace zepa::uitest
