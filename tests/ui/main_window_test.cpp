#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QTabWidget>
#include <QToolButton>

#include "app/views/about_view.hpp"
#include "app/views/calibration_view.hpp"
#include "app/views/content_view.hpp"
#include "app/views/main_window.hpp"
#include "app/views/settings_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class MainWindowTest : public ViewTest {
 protected:
  // No start-up traffic unless a test asks for it.
  void SetUp() override {
    ViewTest::SetUp();
    store("autoClock", false);
  }
};

QStringList itemTexts(const QComboBox* box) {
  QStringList texts;
  for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
  return texts;
}

struct HeaderRow {
  const char* name;
  Attached attached;
  bool green;
  const char* text;  // nullptr: the picker is shown instead
  QStringList pickerItems;
};

TEST_F(MainWindowTest, HeaderFollowsTheAttachedKeyboards) {
  const HeaderRow rows[] = {
      {"none", Attached::none, false, "Keine unterstützte Tastatur verbunden", {}},
      {"zepa", Attached::zepa, true, "ZEPA VX10 verbunden", {}},
      {"halvern", Attached::halvern, true, "Halvern Corvane Pro 108 verbunden", {}},
      {"both", Attached::both, true, nullptr, {"ZEPA VX10", "Halvern Corvane Pro 108"}},
  };
  for (const HeaderRow& row : rows) {
    SCOPED_TRACE(row.name);
    MainWindow window(makeModel(row.attached));
    window.show();
    auto* dot = find<ConnectionDot>(window, "connectionDot");
    auto* text = find<QLabel>(window, "connectionText");
    auto* picker = find<QComboBox>(window, "keyboardPicker");
    ASSERT_TRUE(dot && text && picker);

    EXPECT_EQ(dot->color(), row.green ? QColor(0x34, 0xc7, 0x59) : QColor(0xff, 0x3b, 0x30));
    EXPECT_EQ(text->isVisible(), row.text != nullptr);
    EXPECT_EQ(picker->isVisible(), row.text == nullptr);
    if (row.text) {
      EXPECT_EQ(text->text(), QString::fromUtf8(row.text));
    } else {
      EXPECT_EQ(itemTexts(picker), row.pickerItems);
      EXPECT_EQ(picker->currentText(), "ZEPA VX10");
    }
    EXPECT_EQ(find<QLabel>(window, "statusText")->text(), "Bereit");
    EXPECT_FALSE(find<QProgressBar>(window, "busyIndicator")->isVisible());
  }
}

TEST_F(MainWindowTest, TabsInOrderWithIcons) {
  MainWindow window(makeModel(Attached::none));
  auto* tabs = find<QTabWidget>(window, "tabs");
  ASSERT_TRUE(tabs);
  const QStringList labels{"Beleuchtung", "Einzeltasten", "Tasten", "Display"};
  ASSERT_EQ(tabs->count(), labels.size());
  for (int i = 0; i < tabs->count(); ++i) {
    EXPECT_EQ(tabs->tabText(i), labels[i]);
    EXPECT_FALSE(tabs->tabIcon(i).isNull()) << labels[i].toStdString();
  }
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_GE(window.contentView()->minimumWidth(), 760);
  EXPECT_GE(window.contentView()->minimumHeight(), 560);
}

TEST_F(MainWindowTest, PickingTheOtherKeyboardSelectsItAndSwapsTheForms) {
  AppModel& model = makeModel(Attached::both);
  MainWindow window(model);
  window.show();
  auto* picker = find<QComboBox>(window, "keyboardPicker");
  ASSERT_TRUE(picker);

  QTest::keyClick(picker, Qt::Key_Down);

  EXPECT_EQ(model.selectedKeyboard(), SupportedKeyboard::halvern);
  EXPECT_TRUE(model.connected());
  EXPECT_EQ(picker->currentText(), "Halvern Corvane Pro 108");
  EXPECT_TRUE(find<QWidget>(window, "halvernLightingView")->isVisible());
  EXPECT_FALSE(find<QWidget>(window, "zepaLightingForm")->isVisible());

  QTest::keyClick(picker, Qt::Key_Up);
  EXPECT_EQ(model.selectedKeyboard(), SupportedKeyboard::zepa);
  EXPECT_TRUE(find<QWidget>(window, "zepaLightingForm")->isVisible());
}

TEST_F(MainWindowTest, RefreshButtonDetectsAgain) {
  AppModel& model = makeModel(Attached::zepa);
  MainWindow window(model);
  window.show();
  auto* refresh = find<QToolButton>(window, "refreshButton");
  ASSERT_TRUE(refresh);
  EXPECT_EQ(refresh->toolTip(), "Verbindung prüfen");

  // The model believes nothing is attached until the button asks again.
  model.setConnected(false);
  EXPECT_EQ(find<QLabel>(window, "connectionText")->text(),
            "Keine unterstützte Tastatur verbunden");
  QTest::mouseClick(refresh, Qt::LeftButton);
  EXPECT_EQ(find<QLabel>(window, "connectionText")->text(), "ZEPA VX10 verbunden");
}

TEST_F(MainWindowTest, StartUpRunShowsBusyThenTheOutcomeAndRunsOnce) {
  store("autoClock", true);
  AppModel& model = makeModel(Attached::zepa);
  MainWindow window(model);
  auto* busy = find<QProgressBar>(window, "busyIndicator");
  auto* status = find<QLabel>(window, "statusText");
  ASSERT_TRUE(busy && status);

  window.show();
  EXPECT_TRUE(model.busy());
  EXPECT_TRUE(busy->isVisible());
  EXPECT_EQ(status->text(), "Wird übertragen …");

  waitUntilIdle(model);
  EXPECT_FALSE(busy->isVisible());
  EXPECT_EQ(status->text(), "Uhr synchronisiert");

  const auto reports = keyboards_->log().size();
  window.hide();
  window.show();
  QCoreApplication::processEvents();
  EXPECT_FALSE(model.busy());
  EXPECT_EQ(keyboards_->log().size(), reports) << "the start-up action ran a second time";
}

TEST_F(MainWindowTest, FailureOpensTheAlertAndOkKeepsTheStatus) {
  AppModel& model = makeModel(Attached::none);
  MainWindow window(model);
  window.show();

  model.applyLighting();
  waitUntilIdle(model);
  ASSERT_TRUE(model.errorMessage());
  const QString error = *model.errorMessage();
  EXPECT_FALSE(error.isEmpty());

  QMessageBox* alert = window.contentView()->alert();
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->isVisible());
  EXPECT_EQ(alert->windowTitle(), "ZEPA Control");
  EXPECT_EQ(alert->text(), error);
  EXPECT_EQ(find<QLabel>(window, "statusText")->text(), "Fehler");

  auto* ok = find<QPushButton>(*alert, "alertOkButton");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->text(), "OK");
  QTest::mouseClick(ok, Qt::LeftButton);
  QCoreApplication::processEvents();

  EXPECT_FALSE(model.errorMessage());
  EXPECT_EQ(model.message(), "Fehler");
  EXPECT_EQ(find<QLabel>(window, "statusText")->text(), "Fehler");
  EXPECT_EQ(window.contentView()->alert(), nullptr);
}

TEST_F(MainWindowTest, NewOperationClosesAStaleAlert) {
  AppModel& model = makeModel(Attached::none);
  MainWindow window(model);
  window.show();
  model.applyLighting();
  waitUntilIdle(model);
  ASSERT_NE(window.contentView()->alert(), nullptr);

  // Starting again clears the error, and with it the alert; the new failure opens it again.
  model.applyLighting();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(model.errorMessage());
  EXPECT_EQ(window.contentView()->alert(), nullptr);
  waitUntilIdle(model);
  QMessageBox* alert = window.contentView()->alert();
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->isVisible());
  EXPECT_EQ(alert->text(), *model.errorMessage());
}

struct AboutCloseRow {
  const char* name;
  void (*close)(QDialog&);
};

TEST_F(MainWindowTest, AboutOpensFromTheMenuAndCloses) {
  const AboutCloseRow rows[] = {
      {"Schließen button",
       [](QDialog& dialog) {
         auto* button = dialog.findChild<QPushButton*>("aboutCloseButton");
         ASSERT_NE(button, nullptr);
         EXPECT_EQ(button->text(), "Schließen");
         QTest::mouseClick(button, Qt::LeftButton);
       }},
      {"Escape", [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }},
  };
  for (const AboutCloseRow& row : rows) {
    SCOPED_TRACE(row.name);
    AppModel& model = makeModel(Attached::none);
    MainWindow window(model);
    window.show();
    auto* action = find<QAction>(window, "aboutAction");
    ASSERT_TRUE(action);
    EXPECT_EQ(action->text(), "Über ZEPA Control");
    EXPECT_EQ(action->menuRole(), QAction::AboutRole);

    action->trigger();
    EXPECT_TRUE(model.showAbout());
    QDialog* about = window.contentView()->aboutDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(find<QLabel>(*about, "aboutText")->text(),
              "Native Linux-Steuerung für ZEPA VX10\nund Halvern Corvane Pro 108\nVersion 0.4.7");
    EXPECT_EQ(find<QLabel>(*about, "aboutTitle")->text(), "ZEPA Control");

    row.close(*about);
    QCoreApplication::processEvents();
    EXPECT_FALSE(model.showAbout());
    EXPECT_EQ(window.contentView()->aboutDialog(), nullptr);
  }
}

TEST_F(MainWindowTest, CalibrationDialogIsFreshEachTime) {
  AppModel& model = makeModel(Attached::zepa);
  MainWindow window(model);
  window.show();

  QTest::mouseClick(find<QPushButton>(window, "calibrationEntry"), Qt::LeftButton);
  EXPECT_TRUE(model.showCalibration());
  QPointer<QDialog> first = window.contentView()->calibrationDialog();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(qobject_cast<CalibrationView*>(first.data()), nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_GE(first->minimumWidth(), 680);
  EXPECT_GE(first->minimumHeight(), 560);

  first->reject();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(model.showCalibration());
  EXPECT_TRUE(first.isNull()) << "the closed dialog stays around";

  // The model closing it (the dialog's own finish button) works the same way.
  model.setShowCalibration(true);
  QPointer<QDialog> second = window.contentView()->calibrationDialog();
  ASSERT_NE(second, nullptr);
  model.setShowCalibration(false);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(second.isNull());
}

TEST_F(MainWindowTest, SettingsWindowFromThePreferencesItem) {
  MainWindow window(makeModel(Attached::none));
  window.show();
  auto* action = find<QAction>(window, "settingsAction");
  ASSERT_TRUE(action);
  EXPECT_EQ(action->menuRole(), QAction::PreferencesRole);
  EXPECT_EQ(action->shortcut(), QKeySequence(QKeySequence::Preferences));

  action->trigger();
  action->trigger();
  const auto windows = window.findChildren<SettingsView*>();
  ASSERT_EQ(windows.size(), 1) << "a second trigger must not open a second window";
  EXPECT_TRUE(windows[0]->isWindow());
  EXPECT_TRUE(windows[0]->isVisible());
  EXPECT_EQ(windows[0]->size(), QSize(460, 260));
}

}  // namespace
}  // namespace zepa::uitest
