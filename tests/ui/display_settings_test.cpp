#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

#include "app/views/display_view.hpp"
#include "app/views/settings_view.hpp"
#include "app/views/unsupported_halvern_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class DisplaySettingsTest : public ViewTest {};

struct DisplayRow {
  const char* name;
  Attached attached;
  SupportedKeyboard selected;
  bool clockShown;
  bool syncEnabled;
};

TEST_F(DisplaySettingsTest, DisplayTabPerKeyboard) {
  const DisplayRow rows[] = {
      {"zepa", Attached::zepa, SupportedKeyboard::zepa, true, true},
      {"none", Attached::none, SupportedKeyboard::zepa, true, false},
      {"halvern", Attached::halvern, SupportedKeyboard::halvern, false, false},
  };
  for (const DisplayRow& row : rows) {
    SCOPED_TRACE(row.name);
    AppModel& model = makeModel(row.attached);
    ASSERT_EQ(model.selectedKeyboard(), row.selected);
    DisplayView view(model);
    auto* sync = find<QPushButton>(view, "syncClockButton");
    auto* panel = view.findChild<UnsupportedHalvernView*>();
    ASSERT_TRUE(sync && panel);

    EXPECT_EQ(shown(sync, &view), row.clockShown);
    EXPECT_EQ(shown(panel, &view), !row.clockShown);
    if (row.clockShown) {
      EXPECT_EQ(sync->isEnabled(), row.syncEnabled);
      EXPECT_EQ(sync->text(), "Datum und Uhrzeit jetzt synchronisieren");
      EXPECT_FALSE(find<QLabel>(view, "dateTimeText")->text().isEmpty());
    } else {
      EXPECT_EQ(panel->title(), "Kein Display");
      EXPECT_EQ(panel->text(), "Die Corvane Pro 108 besitzt kein konfigurierbares OLED-Display.");
    }
  }
}

TEST_F(DisplaySettingsTest, SyncButtonSetsTheKeyboardClock) {
  AppModel& model = makeModel(Attached::zepa);
  DisplayView view(model);
  view.show();
  auto* sync = find<QPushButton>(view, "syncClockButton");
  QTest::mouseClick(sync, Qt::LeftButton);
  EXPECT_FALSE(sync->isEnabled()) << "disabled while the clock is sent";
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Uhr synchronisiert");
  const auto clock = keyboards_->zepaState()["clock"];
  ASSERT_TRUE(clock.is_object()) << keyboards_->zepaState().dump();
  EXPECT_EQ(clock["day"], 9);
  EXPECT_TRUE(sync->isEnabled());
}

struct DateRow {
  const char* locale;
  QDateTime when;
  const char* text;
};

TEST_F(DisplaySettingsTest, DateAndTimeInTheUsersLocale) {
  const DateRow rows[] = {
      {"de_DE", QDateTime(QDate(2025, 3, 9), QTime(14, 5, 7)), "Sonntag, 9. März 2025, 14:05"},
  };
  for (const DateRow& row : rows) {
    SCOPED_TRACE(row.locale);
    EXPECT_EQ(DisplayView::dateTimeText(row.when, QLocale(QLatin1String(row.locale))),
              QString::fromUtf8(row.text));
  }
}

struct SwitchRow {
  const char* name;
  const char* key;
  bool defaultOn;
  bool (AppModel::*read)() const;
};

TEST_F(DisplaySettingsTest, SettingsSwitchesWriteTheStoreAtOnce) {
  const SwitchRow rows[] = {
      {"autoClockSwitch", "autoClock", true, &AppModel::autoClock},
      {"autoApplySwitch", "autoApply", false, &AppModel::autoApply},
  };
  AppModel& model = makeModel(Attached::none);
  SettingsView view(model);
  EXPECT_EQ(view.size(), QSize(460, 260));
  for (const SwitchRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto* box = find<QCheckBox>(view, row.name);
    EXPECT_EQ(box->isChecked(), row.defaultOn);

    box->click();
    EXPECT_EQ((model.*row.read)(), !row.defaultOn);
    const QVariant stored = QSettings("ZEPA Control", "ZEPA Control").value(QLatin1String(row.key));
    ASSERT_TRUE(stored.isValid());
    EXPECT_EQ(stored.toBool(), !row.defaultOn);

    // A second window reads the store, not a copy.
    SettingsView again(model);
    EXPECT_EQ(find<QCheckBox>(again, row.name)->isChecked(), !row.defaultOn);
  }
  EXPECT_TRUE(keyboards_->log().empty()) << "switching sends nothing";
}

TEST_F(DisplaySettingsTest, SettingsFollowAChangeFromElsewhere) {
  AppModel& model = makeModel(Attached::none);
  SettingsView view(model);
  model.setAutoApply(true);
  EXPECT_TRUE(find<QCheckBox>(view, "autoApplySwitch")->isChecked());
}

}  // namespace
}  // namespace zepa::uitest
