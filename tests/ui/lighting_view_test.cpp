#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "app/views/color_button.hpp"
#include "app/views/lighting_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class LightingViewTest : public ViewTest {
 protected:
  void setMode(AppModel& model, LightingMode mode, std::uint8_t direction = 0) {
    model.editProfile([&](ZEPAProfile& profile) {
      profile.lighting.mode = mode;
      profile.lighting.direction = direction;
    });
  }

  // Chooses the entry with `data` the way a user does: the box emits `activated`.
  static void choose(QComboBox* box, int data) {
    const int index = box->findData(data);
    ASSERT_GE(index, 0) << "no entry for " << data;
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
};

// ---------------------------------------------------------------------------------------------
// ZEPA VX10 form

struct CapabilityRow {
  int id;
  const char* calibratedName;  // nullptr: not calibrated
  bool color, colorful, speed, direction;
};

TEST_F(LightingViewTest, ControlsFollowTheSemanticModeOfTheChosenId) {
  const CapabilityRow rows[] = {
      {0, nullptr, false, false, false, false},     // Aus
      {1, nullptr, true, true, false, false},       // Statisch
      {6, nullptr, false, false, true, false},      // Farbenreich
      {10, nullptr, true, true, true, true},        // Scrollen
      {3, "Scrollen", true, true, true, true},      // Einzeln aus, shows scrolling
      {10, "Wellen", true, true, true, false},      // scrolling that really ripples
      {8, "Statisch", true, true, false, false},    // Spektrum that really is static
      {3, "Mein Effekt", true, true, true, false},  // free name: own mode
  };
  for (const CapabilityRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "ID " << row.id << " named "
                                    << (row.calibratedName ? row.calibratedName : "-"));
    AppModel& model = makeModel(Attached::zepa);
    if (row.calibratedName)
      model.setCustomEffectName(QString::fromUtf8(row.calibratedName), row.id);
    LightingView view(model);
    setMode(model, *lightingModeFromRaw(row.id));

    EXPECT_EQ(find<QComboBox>(view, "effectPicker")->currentData().toInt(), row.id);
    EXPECT_EQ(find<ColorButton>(view, "colorPicker")->isEnabled(), row.color);
    EXPECT_EQ(find<QCheckBox>(view, "colorfulSwitch")->isEnabled(), row.colorful);
    EXPECT_EQ(find<QSlider>(view, "speedSlider")->isEnabled(), row.speed);
    EXPECT_TRUE(find<QSlider>(view, "brightnessSlider")->isEnabled());
    EXPECT_EQ(shown(find<QWidget>(view, "directionLinks"), &view), row.direction);
    EXPECT_EQ(shown(find<QLabel>(view, "activeSelection"), &view), row.direction);
  }
}

struct DirectionRow {
  const char* button;
  std::uint8_t direction;
  const char* id7;
  const char* id10;
  const char* id15;
  const char* id16;
};

TEST_F(LightingViewTest, EffectLabelsCarryTheChosenDirection) {
  const DirectionRow rows[] = {
      {"directionRechts", 1, "ID 07 – Atmen", "ID 10 – Scrollen · rechts", "ID 15 – Wellen",
       "ID 16 – Fließen · rechts"},
      {"directionLinks", 0, "ID 07 – Atmen", "ID 10 – Scrollen · links", "ID 15 – Wellen",
       "ID 16 – Fließen · links"},
  };
  AppModel& model = makeModel(Attached::zepa);
  LightingView view(model);
  setMode(model, LightingMode::scrolling, 0);
  auto* effect = find<QComboBox>(view, "effectPicker");
  ASSERT_EQ(effect->count(), 20);

  for (const DirectionRow& row : rows) {
    SCOPED_TRACE(row.button);
    QTest::mouseClick(find<QPushButton>(view, row.button), Qt::LeftButton);
    EXPECT_EQ(model.profile().lighting.direction, row.direction);
    EXPECT_EQ(effect->itemText(7), QString::fromUtf8(row.id7));
    EXPECT_EQ(effect->itemText(10), QString::fromUtf8(row.id10));
    EXPECT_EQ(effect->itemText(15), QString::fromUtf8(row.id15));
    EXPECT_EQ(effect->itemText(16), QString::fromUtf8(row.id16));
    EXPECT_EQ(find<QLabel>(view, "activeSelection")->text(), QString::fromUtf8(row.id10));
    EXPECT_TRUE(find<QPushButton>(view, row.button)->isChecked());
  }
  EXPECT_TRUE(keyboards_->log().empty()) << "a direction change must not send";
}

struct RenameRow {
  const char* typed;
  const char* label;
};

TEST_F(LightingViewTest, RenamingAnEffectRelabelsItsEntryAtOnce) {
  const RenameRow rows[] = {
      {"  scrollen ", "ID 03 – scrollen · links"},
      {"Mein Effekt", "ID 03 – Mein Effekt"},
      {"   ", "ID 03 – Einzeln aus"},
  };
  AppModel& model = makeModel(Attached::zepa);
  LightingView view(model);
  auto* effect = find<QComboBox>(view, "effectPicker");
  for (const RenameRow& row : rows) {
    SCOPED_TRACE(row.typed);
    model.setCustomEffectName(QString::fromUtf8(row.typed), 3);
    EXPECT_EQ(effect->itemText(3), QString::fromUtf8(row.label));
  }
  model.setCustomEffectName("Wellen", 4);
  model.resetCustomEffectNames();
  EXPECT_EQ(effect->itemText(4), "ID 04 – Glitzern");
}

TEST_F(LightingViewTest, ChoosingAnEffectSendsItAtOnce) {
  AppModel& model = makeModel(Attached::zepa);
  LightingView view(model);
  view.show();
  auto* effect = find<QComboBox>(view, "effectPicker");
  model.setSelectedColor(QColor(255, 0, 0));

  choose(effect, rawValue(LightingMode::breath));
  EXPECT_TRUE(model.busy());
  EXPECT_FALSE(effect->isEnabled()) << "a second choice while sending would be dropped";
  EXPECT_FALSE(find<QPushButton>(view, "applyButton")->isEnabled());
  waitUntilIdle(model);

  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  EXPECT_EQ(model.profile().lighting.mode, LightingMode::breath);
  const auto sent = keyboards_->zepaState()["lighting"];
  ASSERT_TRUE(sent.is_object()) << keyboards_->zepaState().dump();
  EXPECT_EQ(sent["effect"], 7);
  EXPECT_EQ(sent["red"], 255) << "the picked colour goes with the effect";
  EXPECT_TRUE(effect->isEnabled());
}

TEST_F(LightingViewTest, SlidersAndSwitchEditTheProfileWithoutSending) {
  AppModel& model = makeModel(Attached::zepa);
  LightingView view(model);
  view.show();
  setMode(model, LightingMode::breath);
  auto* brightness = find<QSlider>(view, "brightnessSlider");
  auto* speed = find<QSlider>(view, "speedSlider");
  EXPECT_EQ(brightness->maximum(), 5);
  EXPECT_EQ(speed->maximum(), 5);

  brightness->setValue(2);
  speed->setValue(4);
  find<QCheckBox>(view, "colorfulSwitch")->setChecked(false);

  EXPECT_EQ(model.profile().lighting.brightness, 2);
  EXPECT_EQ(model.profile().lighting.speed, 4);
  EXPECT_FALSE(model.profile().lighting.colorful);
  EXPECT_EQ(find<QLabel>(view, "brightnessLabel")->text(), "Helligkeit: 2");
  EXPECT_EQ(find<QLabel>(view, "speedLabel")->text(), "Tempo: 4");
  EXPECT_FALSE(model.busy());
  EXPECT_TRUE(keyboards_->log().empty());

  QTest::mouseClick(find<QPushButton>(view, "applyButton"), Qt::LeftButton);
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  const auto sent = keyboards_->zepaState()["lighting"];
  ASSERT_TRUE(sent.is_object()) << keyboards_->zepaState().dump();
  EXPECT_EQ(sent["effect"], 7);
  EXPECT_EQ(sent["brightness"], 2);
  EXPECT_EQ(sent["speed"], 4);
  EXPECT_EQ(sent["colorful"], false);
}

TEST_F(LightingViewTest, WithoutAKeyboardOnlySendingIsDisabled) {
  AppModel& model = makeModel(Attached::none);
  LightingView view(model);
  setMode(model, LightingMode::scrolling);
  EXPECT_FALSE(find<QComboBox>(view, "effectPicker")->isEnabled());
  EXPECT_FALSE(find<QPushButton>(view, "applyButton")->isEnabled());
  for (const char* name : {"colorPicker", "colorfulSwitch", "brightnessSlider", "speedSlider",
                           "directionLinks", "directionRechts", "calibrationEntry"}) {
    EXPECT_TRUE(find<QWidget>(view, name)->isEnabled()) << name;
  }
}

TEST_F(LightingViewTest, CalibrationEntryOpensTheCalibration) {
  AppModel& model = makeModel(Attached::none);
  LightingView view(model);
  QTest::mouseClick(find<QPushButton>(view, "calibrationEntry"), Qt::LeftButton);
  EXPECT_TRUE(model.showCalibration());
}

// ---------------------------------------------------------------------------------------------
// Halvern form

class HalvernLightingTest : public LightingViewTest {
 protected:
  AppModel& halvernModel() {
    AppModel& model = makeModel(Attached::halvern);
    EXPECT_EQ(model.selectedKeyboard(), SupportedKeyboard::halvern);
    return model;
  }
};

TEST_F(HalvernLightingTest, SelectingTheHalvernKeyboardSwapsTheForm) {
  AppModel& model = makeModel(Attached::both);
  LightingView view(model);
  EXPECT_TRUE(shown(find<QWidget>(view, "zepaLightingForm"), &view));
  EXPECT_FALSE(shown(find<QWidget>(view, "halvernLightingView"), &view));
  model.setSelectedKeyboard(SupportedKeyboard::halvern);
  EXPECT_FALSE(shown(find<QWidget>(view, "zepaLightingForm"), &view));
  EXPECT_TRUE(shown(find<QWidget>(view, "halvernLightingView"), &view));
}

TEST_F(HalvernLightingTest, HiddenEffectsAreNotOffered) {
  AppModel& model = halvernModel();
  LightingView view(model);
  auto* effect = find<QComboBox>(view, "halvernEffectPicker");
  ASSERT_EQ(effect->count(), 16);
  for (int hidden : {6, 14, 18}) EXPECT_EQ(effect->findData(hidden), -1) << hidden;
  EXPECT_EQ(effect->itemText(0), "ID 00 – Aus");
  EXPECT_EQ(effect->itemText(effect->findData(11)), "ID 11 – Aurora");
  EXPECT_EQ(effect->itemText(15), "ID 17 – Farbzyklus");

  // A stored hidden effect leaves the choice empty; the other controls still edit.
  HalvernLightingConfig stored = model.halvernLighting();
  stored.effect = HalvernEffect::gradient;
  model.setHalvernLighting(stored);
  EXPECT_EQ(effect->currentIndex(), -1);
  auto* brightness = find<QSlider>(view, "halvernBrightnessSlider");
  ASSERT_TRUE(brightness->isEnabled());
  brightness->setValue(1);
  EXPECT_EQ(model.halvernLighting().brightness, 1);
  EXPECT_EQ(model.halvernLighting().effect, HalvernEffect::gradient);
}

struct HalvernCapabilityRow {
  HalvernEffect effect;
  bool color, colorStatus, brightness, speed;
};

TEST_F(HalvernLightingTest, ControlsFollowTheEffect) {
  const HalvernCapabilityRow rows[] = {
      {HalvernEffect::off, false, false, false, false},
      {HalvernEffect::staticColor, true, true, true, false},
      {HalvernEffect::wave, false, false, true, true},
      {HalvernEffect::aurora, true, true, true, true},
  };
  AppModel& model = halvernModel();
  LightingView view(model);
  for (const HalvernCapabilityRow& row : rows) {
    SCOPED_TRACE(rawValue(row.effect));
    model.editHalvernLighting(
        [&](HalvernLightingConfig& lighting) { lighting.effect = row.effect; });
    EXPECT_EQ(find<ColorButton>(view, "halvernColorPicker")->isEnabled(), row.color);
    EXPECT_EQ(find<QCheckBox>(view, "halvernColorfulSwitch")->isEnabled(), row.color);
    EXPECT_EQ(shown(find<QLabel>(view, "halvernColorStatus"), &view), row.colorStatus);
    EXPECT_EQ(find<QSlider>(view, "halvernBrightnessSlider")->isEnabled(), row.brightness);
    EXPECT_EQ(find<QSlider>(view, "halvernSpeedSlider")->isEnabled(), row.speed);
  }
}

TEST_F(HalvernLightingTest, ChoosingStaticTurnsMulticolourOffAndSends) {
  AppModel& model = halvernModel();
  LightingView view(model);
  ASSERT_TRUE(model.halvernLighting().colorful);
  auto* status = find<QLabel>(view, "halvernColorStatus");
  EXPECT_EQ(status->text(),
            "Mehrfarbig ist aktiv. Für die ausgewählte Einzelfarbe den Schalter ausschalten.");

  choose(find<QComboBox>(view, "halvernEffectPicker"), rawValue(HalvernEffect::staticColor));
  EXPECT_FALSE(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
  EXPECT_EQ(status->text(),
            "Einzelfarbe ist aktiv und wird mit „Auf Keyboard anwenden“ übertragen.");
  waitUntilIdle(model);

  EXPECT_EQ(model.message(), "Halvern-Beleuchtung aktualisiert");
  EXPECT_EQ(model.halvernLighting().effect, HalvernEffect::staticColor);
  EXPECT_FALSE(model.halvernLighting().colorful);
  const auto state = keyboards_->halvernState();
  EXPECT_EQ(state["effect"], 1);
  EXPECT_EQ(state["effects"][0]["colorful"], false) << state.dump();
}

TEST_F(HalvernLightingTest, ChoosingAnotherEffectKeepsMulticolour) {
  AppModel& model = halvernModel();
  LightingView view(model);
  choose(find<QComboBox>(view, "halvernEffectPicker"), rawValue(HalvernEffect::breathing));
  waitUntilIdle(model);
  EXPECT_EQ(keyboards_->halvernState()["effect"], 2);
  EXPECT_TRUE(model.halvernLighting().colorful);
}

TEST_F(HalvernLightingTest, PickingAColourTurnsMulticolourOffWithoutSending) {
  AppModel& model = halvernModel();
  LightingView view(model);
  view.show();
  auto* picker = find<ColorButton>(view, "halvernColorPicker");
  QTest::mouseClick(picker, Qt::LeftButton);
  QColorDialog* dialog = picker->dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->testOption(QColorDialog::ShowAlphaChannel) == false);
  dialog->setCurrentColor(QColor(200, 10, 20));
  dialog->accept();

  EXPECT_EQ(AppModel::colorValue(model.halvernSelectedColor()), (RGBColor{200, 10, 20}));
  EXPECT_FALSE(model.halvernLighting().colorful);
  EXPECT_FALSE(find<QCheckBox>(view, "halvernColorfulSwitch")->isChecked());
  EXPECT_FALSE(model.busy());
  EXPECT_TRUE(keyboards_->log().empty());
}

}  // namespace
}  // namespace zepa::uitest
