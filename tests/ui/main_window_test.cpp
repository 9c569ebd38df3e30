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

TEST_F(MainWindowTest, HeaderFollowsTheAttachedKeyboardsAndThePickerSwapsTheForms) {
  const std::pair<Attached, const char*> rows[] = {
      {Attached::none, "Keine unterstützte Tastatur verbunden"},
      {Attached::zepa, "ZEPA VX10 verbunden"},
      {Attached::halvern, "Halvern Corvane Pro 108 verbunden"},
      {Attached::both, "ZEPA VX10 | Halvern Corvane Pro 108"}};  // the picker's entries
  for (const auto& [attached, header] : rows) {
    SCOPED_TRACE(header);
    attach(attached);
    auto& window = open<MainWindow>();
    auto* picker = find<QComboBox>(window, "keyboardPicker");
    QStringList entries;
    for (int i = 0; i < picker->count(); ++i) entries << picker->itemText(i);
    EXPECT_EQ(picker->isVisible() ? entries.join(" | ") : text(window, "connectionText"),
              QString::fromUtf8(header));
    EXPECT_NE(picker->isVisible(), find(window, "connectionText")->isVisible());
    EXPECT_EQ(find<ConnectionDot>(window, "connectionDot")->color(),
              attached != Attached::none ? QColor(0x34, 0xc7, 0x59) : QColor(0xff, 0x3b, 0x30));
    EXPECT_EQ(text(window, "statusText"), "Bereit");
    EXPECT_FALSE(find(window, "busyIndicator")->isVisible());
  }
  const QWidget& window = *view_;  // both keyboards
  auto* tabs = find<QTabWidget>(window, "tabs");
  QStringList labels;
  for (int i = 0; i < tabs->count(); ++i) labels << tabs->tabText(i);
  EXPECT_EQ(labels, QStringList({"Beleuchtung", "Einzeltasten", "Tasten", "Display"}));
  for (int i = 0; i < tabs->count(); ++i) EXPECT_FALSE(tabs->tabIcon(i).isNull()) << i;
  QTest::keyClick(find(window, "keyboardPicker"), Qt::Key_Down);
  EXPECT_EQ(model_->selectedKeyboard(), SupportedKeyboard::halvern);
  EXPECT_TRUE(find(window, "halvernLightingView")->isVisible());
  EXPECT_FALSE(find(window, "zepaLightingForm")->isVisible());
  model_->setConnected(false);  // believed gone until the button asks again
  EXPECT_EQ(text(window, "connectionText"), "Keine unterstützte Tastatur verbunden");
  click(window, "refreshButton");
  EXPECT_TRUE(model_->connected() && find(window, "keyboardPicker")->isVisible());
}

TEST_F(MainWindowTest, SendingNeedsAKeyboardAndNoRunningOperationOnEveryZepaTab) {
  // clang-format off
  const auto actions = {"effectPicker", "applyButton", "colorPicker", "calibrationEntry",
                        "applySelectionButton", "clearColorsButton", "selectAllButton",
                        "addRemapButton", "resetRemapsButton", "remapDelete", "syncClockButton",
                        "testButton", "nextIdButton", "finishButton"};
  // clang-format on
  const std::tuple<Attached, bool, const char*> rows[] = {
      // keyboard, busy, enabled
      {Attached::zepa, false,
       "effectPicker applyButton colorPicker calibrationEntry applySelectionButton "
       "clearColorsButton selectAllButton addRemapButton resetRemapsButton remapDelete "
       "syncClockButton testButton nextIdButton finishButton"},
      // Clearing colours and deleting rows change the lists, which must not wait for a keyboard.
      {Attached::none, false,
       "colorPicker calibrationEntry clearColorsButton selectAllButton remapDelete nextIdButton "
       "finishButton"},
      // A deleted row's write would be dropped while busy, leaving the keyboard out of step.
      {Attached::zepa, true, "colorPicker calibrationEntry selectAllButton"}};
  for (const auto& [attached, busy, expected] : rows) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(attached) << " busy " << busy);
    AppModel& model = attach(attached);
    model.editProfile([](ZEPAProfile& p) { p.remaps = {{55, RemapAction::key, 1, 0, 0}}; });
    model.setSelectedKeys({94});
    QWidget tabs;
    new LightingView(model, &tabs);
    new PerKeyView(model, &tabs);
    new RemapView(model, &tabs);
    new DisplayView(model, &tabs);
    new CalibrationView(model, &tabs);
    if (busy) model.syncClock();
    EXPECT_EQ(enabled(tabs, actions), expected);
    waitUntilIdle(model);
  }
}

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
  ASSERT_TRUE(alert && model.errorMessage());
  EXPECT_TRUE(alert->isVisible() && !model.errorMessage()->isEmpty());
  EXPECT_EQ(alert->windowTitle() + " / " + alert->text(),
            "ZEPA Control / " + *model.errorMessage());
  EXPECT_EQ(find<QPushButton>(*alert, "alertOkButton")->text(), "OK");
  click(*alert, "alertOkButton");
  QCoreApplication::processEvents();
  EXPECT_FALSE(model.errorMessage());
  EXPECT_EQ(model.message(), "Fehler");
  EXPECT_EQ(text(window, "statusText"), "Fehler");
  EXPECT_EQ(window.contentView()->alert(), nullptr);
}

TEST_F(MainWindowTest, AboutCalibrationAndSettingsOpenFromTheMenusAndClose) {
  AppModel& model = attach(Attached::zepa);
  auto& window = open<MainWindow>();
  auto* action = find<QAction>(window, "aboutAction");
  EXPECT_EQ(action->text(), "Über ZEPA Control");
  EXPECT_EQ(action->menuRole(), QAction::AboutRole);
  for (const char* close : {"aboutCloseButton", "Escape"}) {
    SCOPED_TRACE(close);
    action->trigger();
    QDialog* about = window.contentView()->aboutDialog();
    ASSERT_TRUE(about && model.showAbout() && about->isVisible());
    EXPECT_EQ(text(*about, "aboutTitle"), "ZEPA Control");
    EXPECT_EQ(text(*about, "aboutText"),
              "Native Linux-Steuerung für ZEPA VX10\nund Halvern Corvane Pro 108\nVersion 0.4.7");
    EXPECT_EQ(find<QPushButton>(*about, "aboutCloseButton")->text(), "Schließen");
    std::string(close) == "Escape" ? QTest::keyClick(about, Qt::Key_Escape) : click(*about, close);
    QCoreApplication::processEvents();
    EXPECT_FALSE(model.showAbout());
    EXPECT_EQ(window.contentView()->aboutDialog(), nullptr);
  }
  click(window, "calibrationEntry");
  QPointer<QDialog> first = window.contentView()->calibrationDialog();
  ASSERT_TRUE(first && model.showCalibration());
  EXPECT_TRUE(qobject_cast<CalibrationView*>(first.data()) && first->isVisible());
  first->reject();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(model.showCalibration());
  EXPECT_TRUE(first.isNull()) << "the closed sheet stays around";
  model.setShowCalibration(true);  // the model closing it, as its finish button does
  QPointer<QDialog> second = window.contentView()->calibrationDialog();
  ASSERT_NE(second, nullptr);
  model.setShowCalibration(false);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(second.isNull());

  auto* prefs = find<QAction>(window, "settingsAction");
  EXPECT_EQ(prefs->menuRole(), QAction::PreferencesRole);
  prefs->trigger();
  prefs->trigger();
  const auto windows = window.findChildren<SettingsView*>();
  ASSERT_EQ(windows.size(), 1) << "a second trigger must not open a second window";
  EXPECT_TRUE(windows[0]->isWindow() && windows[0]->isVisible());
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
