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
  static void setMode(AppModel& model, LightingMode mode) {
    model.editProfile([&](ZEPAProfile& profile) { profile.lighting.mode = mode; });
  }
  // The entries for `ids`, separated by " | ".
  static QString entries(const QWidget& view, std::initializer_list<int> ids) {
    auto* box = find<QComboBox>(view, "effectPicker");
    QStringList texts;
    for (int id : ids) texts << box->itemText(box->findData(id));
    return texts.join(" | ");
  }
};

TEST_F(LightingViewTest, ControlsFollowTheSemanticModeOfTheChosenId) {
  const std::tuple<int, const char*, const char*> rows[] = {
      // ID, name recorded, controls
      {0, "", ""},
      {1, "", "colorPicker colorfulSwitch"},
      {6, "", "speedSlider"},
      {10, "", "colorPicker colorfulSwitch speedSlider directionLinks"},
      {3, "Scrollen", "colorPicker colorfulSwitch speedSlider directionLinks"},
      {10, "Wellen", "colorPicker colorfulSwitch speedSlider"},
      {8, "Statisch", "colorPicker colorfulSwitch"},
      {3, "Mein Effekt", "colorPicker colorfulSwitch speedSlider"}};
  for (const auto& [id, name, controls] : rows) {
    SCOPED_TRACE(testing::Message() << "ID " << id << " named '" << name << "'");
    AppModel& model = attach(Attached::zepa);
    if (*name) model.setCustomEffectName(QString::fromUtf8(name), id);
    auto& view = open<LightingView>();
    setMode(model, *lightingModeFromRaw(id));
    EXPECT_EQ(find<QComboBox>(view, "effectPicker")->currentData().toInt(), id);
    // Direction and the active choice are left out, not disabled.
    const bool direction = find(view, "directionLinks")->isVisible();
    EXPECT_EQ(enabled(view, {"colorPicker", "colorfulSwitch", "speedSlider"}) +
                  (direction ? " directionLinks" : ""),
              controls);
    EXPECT_EQ(find(view, "activeSelection")->isVisible(), direction);
    EXPECT_TRUE(find(view, "brightnessSlider")->isEnabled());
  }
}

TEST_F(LightingViewTest, EffectLabelsFollowDirectionAndNamesAtOnce) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  setMode(model, LightingMode::scrolling);
  ASSERT_EQ(find<QComboBox>(view, "effectPicker")->count(), 20);
  const std::tuple<const char*, int, const char*> directions[] = {
      // labels of 7, 10, 15, 16
      {"directionRechts", 1,
       "ID 07 – Atmen | ID 10 – Scrollen · rechts | ID 15 – Wellen | ID 16 – Fließen · rechts"},
      {"directionLinks", 0,
       "ID 07 – Atmen | ID 10 – Scrollen · links | ID 15 – Wellen | ID 16 – Fließen · links"}};
  for (const auto& [button, direction, labels] : directions) {
    SCOPED_TRACE(button);
    click(view, button);
    EXPECT_EQ(model.profile().lighting.direction, direction);
    EXPECT_TRUE(find<QPushButton>(view, button)->isChecked());
    EXPECT_EQ(entries(view, {7, 10, 15, 16}), QString::fromUtf8(labels));
    EXPECT_EQ(text(view, "activeSelection"), entries(view, {10}));
  }
  EXPECT_TRUE(simulator_->log().empty()) << "a direction change must not send";
  model.setCustomEffectName("  scrollen ", 3);  // now a scrolling effect: with a direction
  model.setCustomEffectName("Mein Effekt", 4);
  EXPECT_EQ(entries(view, {3, 4}), "ID 03 – scrollen · links | ID 04 – Mein Effekt");
  model.resetCustomEffectNames();
  EXPECT_EQ(entries(view, {3, 4}), "ID 03 – Einzeln aus | ID 04 – Glitzern");
}

TEST_F(LightingViewTest, EditsWaitForTheApplyButtonButAnEffectChoiceSendsAtOnce) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  setMode(model, LightingMode::scrolling);
  auto* brightness = find<QSlider>(view, "brightnessSlider");
  EXPECT_EQ(brightness->maximum(), 5);
  EXPECT_EQ(find<QSlider>(view, "speedSlider")->maximum(), 5);
  brightness->setValue(2);
  find<QSlider>(view, "speedSlider")->setValue(4);
  find<QCheckBox>(view, "colorfulSwitch")->setChecked(false);
  model.setSelectedColor(QColor(255, 0, 0));
  EXPECT_EQ(text(view, "brightnessLabel") + " " + text(view, "speedLabel"),
            "Helligkeit: 2 Tempo: 4");
  EXPECT_TRUE(simulator_->log().empty() && !model.busy());

  choose(view, "effectPicker", rawValue(LightingMode::breath));
  EXPECT_EQ(enabled(view, {"effectPicker", "applyButton"}), "") << "while sending";
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  EXPECT_EQ(model.profile().lighting.mode, LightingMode::breath);
  // Breathing in the picked red, single colour, brightness 2, speed 4.
  EXPECT_EQ(simulator_->zepaState()["lighting"]["report"],
            "07 ff 00 00 00 00 00 00 00 02 04 00 00 00 aa 55");
  brightness->setValue(3);
  click(view, "applyButton");
  waitUntilIdle(model);
  EXPECT_EQ(simulator_->zepaState()["lighting"]["brightness"], 3);
}

TEST_F(LightingViewTest, HalvernOffersNoHiddenEffectAndControlsFollowTheEffect) {
  const std::pair<HalvernEffect, const char*> rows[] = {
      {HalvernEffect::off, ""},
      {HalvernEffect::staticColor, "ColorPicker ColorfulSwitch BrightnessSlider"},
      {HalvernEffect::wave, "BrightnessSlider SpeedSlider"},
      {HalvernEffect::aurora, "ColorPicker ColorfulSwitch BrightnessSlider SpeedSlider"},
      {HalvernEffect::gradient,
       "ColorPicker ColorfulSwitch BrightnessSlider SpeedSlider"}};  // hidden, yet stored
  AppModel& model = attach(Attached::halvern);
  auto& view = open<LightingView>();
  auto* effect = find<QComboBox>(view, "halvernEffectPicker");
  ASSERT_EQ(effect->count(), 16);
  for (int hidden : {6, 14, 18}) EXPECT_EQ(effect->findData(hidden), -1) << hidden;
  EXPECT_EQ(effect->itemText(0) + " | " + effect->itemText(10) + " | " + effect->itemText(15),
            "ID 00 – Aus | ID 11 – Aurora | ID 17 – Farbzyklus");
  for (const auto& [chosen, controls] : rows) {
    SCOPED_TRACE(rawValue(chosen));
    model.editHalvernLighting([&](HalvernLightingConfig& l) { l.effect = chosen; });
    std::string list;
    for (const char* name : {"ColorPicker", "ColorfulSwitch", "BrightnessSlider", "SpeedSlider"})
      if (find(view, ("halvern" + std::string(name)).c_str())->isEnabled())
        list += (list.empty() ? "" : " ") + std::string(name);
    EXPECT_EQ(list, controls);
    EXPECT_EQ(find(view, "halvernColorStatus")->isVisible(), list.starts_with("ColorPicker"));
    EXPECT_EQ(effect->currentIndex() < 0, chosen == HalvernEffect::gradient);
  }
  find<QSlider>(view, "halvernBrightnessSlider")->setValue(1);
  EXPECT_EQ(model.halvernLighting().brightness, 1);
  EXPECT_EQ(model.halvernLighting().effect, HalvernEffect::gradient);
}

TEST_F(LightingViewTest, HalvernStaticChoiceTurnsMulticolourOffAndSends) {
  const std::tuple<HalvernEffect, bool, const char*> rows[] = {
      // effect, multicolour, status
      {HalvernEffect::breathing, true,
       "Mehrfarbig ist aktiv. Für die ausgewählte Einzelfarbe den Schalter ausschalten."},
      {HalvernEffect::staticColor, false,
       "Einzelfarbe ist aktiv und wird mit „Auf Keyboard anwenden“ übertragen."}};
  AppModel& model = attach(Attached::halvern);
  auto& view = open<LightingView>();
  ASSERT_TRUE(model.halvernLighting().colorful);
  for (const auto& [effect, colorful, status] : rows) {
    SCOPED_TRACE(rawValue(effect));
    choose(view, "halvernEffectPicker", rawValue(effect));
    EXPECT_EQ(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked(), colorful);
    EXPECT_EQ(text(view, "halvernColorStatus"), QString::fromUtf8(status));
    waitUntilIdle(model);
    EXPECT_EQ(model.message(), "Halvern-Beleuchtung aktualisiert");
    EXPECT_EQ(model.halvernLighting().colorful, colorful);
    const auto state = simulator_->halvernState();
    EXPECT_EQ(state["effect"], rawValue(effect));
    EXPECT_EQ(state["effects"][rawValue(effect) - 1]["colorful"], colorful) << state;
  }
  // A picked colour means one colour too, without sending.
  simulator_->clearLog();
  auto* picker = find<ColorButton>(view, "halvernColorPicker");
  model.editHalvernLighting([](HalvernLightingConfig& l) { l.colorful = true; });
  QTest::mouseClick(picker, Qt::LeftButton);
  ASSERT_NE(picker->dialog(), nullptr);
  picker->dialog()->setCurrentColor(QColor(200, 10, 20));
  picker->dialog()->accept();
  EXPECT_EQ(AppModel::colorValue(model.halvernSelectedColor()), (RGBColor{200, 10, 20}));
  EXPECT_FALSE(model.halvernLighting().colorful ||
               find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
  EXPECT_TRUE(simulator_->log().empty() && !model.busy());
}

// Rows that hide and labels that change must not move the other controls: each keeps the x
// position and width it has under the first effect.
TEST_F(LightingViewTest, ControlsStayPutAcrossEffectsWithAndWithoutDirection) {
  const std::pair<LightingMode, std::uint8_t> effects[] = {
      {LightingMode::staticColor, 0}, {LightingMode::rolling, 0}, {LightingMode::rolling, 1},
      {LightingMode::breath, 0},      {LightingMode::shuttle, 1}, {LightingMode::spectrum, 1}};
  const char* controls[] = {"effectPicker",     "colorPicker", "colorfulSwitch",
                            "brightnessSlider", "speedSlider", "applyButton"};
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  std::map<std::string, QRect> first;
  bool directionShown = false, directionHidden = false;
  for (const auto& [mode, direction] : effects) {
    SCOPED_TRACE(testing::Message() << name(mode) << " direction " << int(direction));
    model.editProfile([&](ZEPAProfile& p) {
      p.lighting.mode = mode;
      p.lighting.direction = direction;
    });
    QCoreApplication::processEvents();
    (find(view, "directionLinks")->isVisible() ? directionShown : directionHidden) = true;
    for (const char* control : controls) {
      const QWidget* widget = find(view, control);
      const QRect place(widget->mapTo(&view, QPoint(0, 0)), widget->size());
      const auto [known, added] = first.emplace(control, place);
      EXPECT_EQ(place.x(), known->second.x()) << control << " moved sideways";
      EXPECT_EQ(place.width(), known->second.width()) << control << " changed width";
    }
  }
  EXPECT_TRUE(directionShown);
  EXPECT_TRUE(directionHidden);
}

}  // namespace
}  // namespace zepa::uitest
