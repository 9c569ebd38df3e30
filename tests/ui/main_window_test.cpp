// SPDX-License-Identifier: MIT
#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

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

TEST_F(MainWindowTest, WithoutAKeyboardTheHeaderSaysSoInRed) {
  attach(Attached::none);
  auto& window = open<MainWindow>();
  EXPECT_EQ(text(window, "connectionText"), "Keine unterstützte Tastatur verbunden");
  EXPECT_FALSE(find(window, "keyboardPicker")->isVisible());
  EXPECT_EQ(find<ConnectionDot>(window, "connectionDot")->color(), QColor(0xff, 0x3b, 0x30));
  EXPECT_EQ(text(window, "statusText"), "Bereit");
  EXPECT_FALSE(find(window, "busyIndicator")->isVisible());
}

TEST_F(MainWindowTest, WithBothKeyboardsThePickerSwapsTheForms) {
  attach(Attached::both);
  auto& window = open<MainWindow>();
  auto* picker = find<QComboBox>(window, "keyboardPicker");
  EXPECT_TRUE(picker->isVisible());
  EXPECT_EQ(picker->itemText(1), "Halvern Corvane Pro 108");
  QTest::keyClick(picker, Qt::Key_Down);
  EXPECT_EQ(model_->selectedKeyboard(), SupportedKeyboard::halvern);
  EXPECT_TRUE(find(window, "halvernLightingView")->isVisible());
  EXPECT_FALSE(find(window, "zepaLightingForm")->isVisible());
}

TEST_F(MainWindowTest, TheRefreshButtonAsksForTheKeyboardsAgain) {
  attach(Attached::zepa);
  auto& window = open<MainWindow>();
  model_->setConnected(false);  // believed gone until the button asks again
  EXPECT_EQ(text(window, "connectionText"), "Keine unterstützte Tastatur verbunden");
  click(window, "refreshButton");
  EXPECT_TRUE(model_->connected());
  EXPECT_EQ(text(window, "connectionText"), "ZEPA VX10 verbunden");
  EXPECT_EQ(find<ConnectionDot>(window, "connectionDot")->color(), QColor(0x34, 0xc7, 0x59));
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
  QStringList enabled;
  for (const QString& name : everyAction) {
    if (find(tabs, name.toLatin1().constData())->isEnabled()) enabled << name;
  }
  EXPECT_EQ(enabled, GetParam().enabled);
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

TEST_F(MainWindowTest, StartUpRunShowsBusyThenTheOutcomeAndRunsOnce) {
  settings().setValue("autoClock", true);
  AppModel& model = attach(Attached::zepa);
  auto& window = open<MainWindow>();
  EXPECT_TRUE(find(window, "busyIndicator")->isVisible());
  EXPECT_EQ(text(window, "statusText"), "Wird übertragen …");
  waitUntilIdle(model);
  EXPECT_FALSE(find(window, "busyIndicator")->isVisible());
  EXPECT_EQ(text(window, "statusText"), "Uhr synchronisiert");
  const auto reports = simulator_->log().size();
  window.hide();
  window.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(simulator_->log().size(), reports) << "the start-up action ran a second time";
}

TEST_F(MainWindowTest, FailureOpensTheAlertAndOkClearsOnlyTheError) {
  AppModel& model = attach(Attached::none);
  auto& window = open<MainWindow>();
  model.applyLighting();
  waitUntilIdle(model);
  ASSERT_NE(window.contentView()->alert(), nullptr);
  model.applyLighting();  // starting again clears the error, and with it the stale alert
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window.contentView()->alert(), nullptr);
  waitUntilIdle(model);
  QMessageBox* alert = window.contentView()->alert();
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->isVisible());
  EXPECT_EQ(alert->windowTitle(), "ZEPA Control");
  EXPECT_EQ(alert->text(), QString::fromStdString(ZEPAError::notFound().description()));
  EXPECT_EQ(find<QPushButton>(*alert, "alertOkButton")->text(), "OK");
  click(*alert, "alertOkButton");
  QCoreApplication::processEvents();
  EXPECT_FALSE(model.errorMessage().has_value());
  EXPECT_EQ(model.message(), "Fehler");
  EXPECT_EQ(text(window, "statusText"), "Fehler");
  EXPECT_EQ(window.contentView()->alert(), nullptr);
}

TEST_F(MainWindowTest, AboutOpensFromTheMenuAndCloses) {
  AppModel& model = attach(Attached::zepa);
  auto& window = open<MainWindow>();
  auto* action = find<QAction>(window, "aboutAction");
  EXPECT_EQ(action->text(), "Über ZEPA Control");
  action->trigger();
  QDialog* about = window.contentView()->aboutDialog();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(text(*about, "aboutText"),
            "Native Linux-Steuerung für ZEPA VX10\nund Halvern Corvane Pro 108\nVersion 0.4.7");
  EXPECT_EQ(find<QPushButton>(*about, "aboutCloseButton")->text(), "Schließen");
  click(*about, "aboutCloseButton");
  QCoreApplication::processEvents();
  EXPECT_FALSE(model.showAbout());
  EXPECT_EQ(window.contentView()->aboutDialog(), nullptr);
}

TEST_F(MainWindowTest, SettingsOpenOnceHoweverOftenAsked) {
  attach(Attached::zepa);
  auto& window = open<MainWindow>();
  auto* prefs = find<QAction>(window, "settingsAction");
  prefs->trigger();
  prefs->trigger();
  const auto windows = window.findChildren<SettingsView*>();
  ASSERT_EQ(windows.size(), 1) << "a second trigger must not open a second window";
  EXPECT_TRUE(windows[0]->isWindow());
  EXPECT_TRUE(windows[0]->isVisible());
}

TEST_F(MainWindowTest, CtrlCommaOpensTheSettingsWindow) {
  attach(Attached::zepa);
  auto& window = open<MainWindow>();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_FALSE(find<QAction>(window, "settingsAction")->shortcut().isEmpty());
  EXPECT_TRUE(window.findChildren<SettingsView*>().isEmpty());
  QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
  const auto windows = window.findChildren<SettingsView*>();
  ASSERT_EQ(windows.size(), 1) << "Ctrl+, opened no settings window";
  EXPECT_TRUE(windows[0]->isVisible());
}

}  // namespace
}  // namespace zepa::uitest
