// SPDX-License-Identifier: MIT
#include <QAction>
#include <QCheckBox>
#include <QLocale>
#include <QMessageBox>
#include <stdexcept>

#include "app/views/calibration_view.hpp"
#include "app/views/content_view.hpp"
#include "app/views/display_view.hpp"
#include "app/views/lighting_view.hpp"
#include "app/views/main_window.hpp"
#include "app/views/per_key_view.hpp"
#include "app/views/remap_view.hpp"
#include "app/views/settings_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class MainWindowTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    settings().setValue("autoClock", false);  // no start-up traffic unless a test asks for it
  }
};

TEST_F(MainWindowTest, WithoutAKeyboardTheHeaderSaysSo) {
  auto& window = open<MainWindow>(Attached::none);
  EXPECT_EQ(text(window, "connectionText"), "Keine unterstützte Tastatur verbunden");
}

TEST_F(MainWindowTest, WithBothKeyboardsThePickerSwapsTheForms) {
  auto& window = open<MainWindow>(Attached::both);
  QTest::keyClick(find<QComboBox>(window, "keyboardPicker"), Qt::Key_Down);
  EXPECT_TRUE(find(window, "halvernLightingView")->isVisible());
}

TEST_F(MainWindowTest, TheRefreshButtonAsksForTheKeyboardsAgain) {
  auto& window = open<MainWindow>(Attached::zepa);
  model_->setConnected(false);  // believed gone until the button asks again
  click(window, "refreshButton");
  EXPECT_EQ(text(window, "connectionText"), "ZEPA VX10 verbunden");
}

const QStringList everyAction{"effectPicker",     "applyButton",          "colorPicker",
                              "calibrationEntry", "applySelectionButton", "clearColorsButton",
                              "selectAllButton",  "addRemapButton",       "resetRemapsButton",
                              "remapDelete",      "syncClockButton",      "testButton",
                              "nextIdButton",     "finishButton"};

struct Availability {
  const char* name;
  Attached attached;
  bool busy;
  QStringList enabled;
};

using test::PrintTo;

class ActionsTest : public MainWindowTest, public ::testing::WithParamInterface<Availability> {};

// Every action of the ZEPA tabs needs a keyboard and no running operation, unless it only
// changes the lists.
TEST_P(ActionsTest, AreEnabledOnlyWhenTheyCanRun) {
  AppModel& model = attach(GetParam().attached);
  model.editProfile([](ZEPAProfile& p) { p.remaps = {{55, RemapAction::key, 1, 0, 0}}; });
  model.setSelectedKeys({94});
  QWidget tabs;
  new LightingView(model, &tabs);
  new PerKeyView(model, &tabs);
  new RemapView(model, &tabs);
  new DisplayView(model, &tabs);
  new CalibrationView(model, &tabs);
  if (GetParam().busy) model.syncClock();
  EXPECT_EQ(enabledOf(tabs, everyAction), GetParam().enabled);
  waitUntilIdle(model);
}

INSTANTIATE_TEST_SUITE_P(
    Window, ActionsTest,
    ::testing::Values(
        Availability{"Idle", Attached::zepa, false, everyAction},
        // Clearing colours and deleting rows change the lists, which must not wait for a keyboard.
        Availability{"NoKeyboard",
                     Attached::none,
                     false,
                     {"colorPicker", "calibrationEntry", "clearColorsButton", "selectAllButton",
                      "remapDelete", "nextIdButton", "finishButton"}},
        // A deleted row's write would be dropped while busy, leaving the keyboard out of step.
        Availability{
            "Busy", Attached::zepa, true, {"colorPicker", "calibrationEntry", "selectAllButton"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, FailureOpensTheAlertAndOkClearsOnlyTheError) {
  auto& window = open<MainWindow>(Attached::none);
  model().applyLighting();
  waitUntilIdle(model());
  QMessageBox* alert = window.contentView()->alert();
  ASSERT_NE(alert, nullptr);
  click(*alert, "alertOkButton");
  QCoreApplication::processEvents();
  EXPECT_FALSE(model().errorMessage().has_value());
  EXPECT_EQ(text(window, "statusText"), "Fehler");
}

// A library's exception carries English text; the user reads a German sentence instead.
TEST_F(MainWindowTest, AnUnexpectedErrorReadsAsAGermanSentence) {
  attach(Attached::zepa);
  ModelEnvironment throwing = environment();
  throwing.sleeper = [](auto) { throw std::runtime_error("bad function call in pacing"); };
  model_ = std::make_unique<AppModel>(throwing);
  auto& window = open<MainWindow>();
  model_->applyLighting();
  waitUntilIdle(*model_);
  ASSERT_NE(window.contentView()->alert(), nullptr);
  EXPECT_EQ(window.contentView()->alert()->text(),
            "Bei der Übertragung ist ein unerwarteter Fehler aufgetreten. Bitte die Tastatur neu "
            "verbinden und es erneut versuchen.");
}

TEST_F(MainWindowTest, CtrlCommaOpensTheSettingsOnceHoweverOftenAsked) {
  auto& window = open<MainWindow>(Attached::zepa);
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
  ASSERT_EQ(window.findChildren<SettingsView*>().size(), 1) << "Ctrl+, opened no settings window";
  find<QAction>(window, "settingsAction")->trigger();
  const auto windows = window.findChildren<SettingsView*>();
  ASSERT_EQ(windows.size(), 1) << "asking again must not open a second window";
  EXPECT_TRUE(windows[0]->isVisible());
}

using DisplaySettingsTest = ViewTest;

TEST_F(DisplaySettingsTest, TheHalvernGetsAPanelInsteadOfTheClock) {
  auto& view = open<DisplayView>(Attached::halvern);
  EXPECT_TRUE(find(view, "unsupportedHalvernView")->isVisible());
}

// The clock's bytes are the device tests' concern; here only that the button sends them.
TEST_F(DisplaySettingsTest, TheButtonSetsTheClock) {
  auto& view = open<DisplayView>(Attached::zepa);
  click(view, "syncClockButton");
  waitUntilIdle(model());
  EXPECT_FALSE(simulator_->zepaState()["clock"].is_null());
}

TEST(DisplayDate, IsGermanUnderAnEnglishSystem) {
  EXPECT_EQ(DisplayView::displayLocale(QLocale(QLocale::English, QLocale::UnitedStates)).name(),
            "de_DE");
}

struct Switch {
  const char* name;
  const char* key;
  bool defaultOn;
};

class SettingsSwitch : public ViewTest, public ::testing::WithParamInterface<Switch> {};

TEST_P(SettingsSwitch, ShowsAndStoresTheModelsValue) {
  AppModel& model = attach(Attached::none);
  SettingsView view(model);
  auto* box = find<QCheckBox>(view, GetParam().name);
  EXPECT_EQ(box->isChecked(), GetParam().defaultOn);
  box->click();
  EXPECT_EQ(model.property(GetParam().key), QVariant(!GetParam().defaultOn));
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsSwitch,
                         ::testing::Values(Switch{"autoClockSwitch", "autoClock", true},
                                           Switch{"autoApplySwitch", "autoApply", false}),
                         [](const auto& info) { return std::string(info.param.key); });

}  // namespace
}  // namespace zepa::uitest
