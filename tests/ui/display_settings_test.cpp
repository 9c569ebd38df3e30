// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QLocale>
#include <QPushButton>

#include "app/views/display_view.hpp"
#include "app/views/settings_view.hpp"
#include "app/views/unsupported_halvern_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

using DisplaySettingsTest = ViewTest;

TEST_F(DisplaySettingsTest, DisplayTabShowsTheClockOrThePanelAndSyncsTheClock) {
  for (Attached attached : {Attached::halvern, Attached::none, Attached::zepa}) {
    SCOPED_TRACE(static_cast<int>(attached));
    attach(attached);
    auto& view = open<DisplayView>();
    auto* panel = find<UnsupportedHalvernView>(view, "unsupportedHalvernView");
    auto* sync = find<QPushButton>(view, "syncClockButton");
    const bool clock = attached != Attached::halvern;
    EXPECT_EQ(sync->isVisible(), clock);
    EXPECT_EQ(panel->isVisible(), !clock);
    EXPECT_EQ(clock ? sync->text() : panel->title() + " " + panel->text(),
              clock
                  ? "Datum und Uhrzeit jetzt synchronisieren"
                  : "Kein Display Die Corvane Pro 108 besitzt kein konfigurierbares OLED-Display.");
    EXPECT_TRUE(!clock || !text(view, "dateTimeText").isEmpty()) << "shown without a keyboard too";
  }
  click(*view_, "syncClockButton");  // with the ZEPA keyboard of the last round
  waitUntilIdle(*model_);
  EXPECT_EQ(model_->message(), "Uhr synchronisiert");
  EXPECT_EQ(simulator_->zepaState()["clock"]["day"], 9) << simulator_->zepaState().dump();
  EXPECT_EQ(DisplayView::dateTimeText(QDateTime(QDate(2025, 3, 9), QTime(14, 5, 7)),
                                      QLocale(QLocale::German, QLocale::Germany)),
            "Sonntag, 9. März 2025, 14:05");
}

TEST_F(DisplaySettingsTest, TheDateIsGermanWhateverTheSystemLanguage) {
  const std::pair<QLocale, QLocale> rows[] = {
      {QLocale(QLocale::English, QLocale::UnitedStates),
       QLocale(QLocale::German, QLocale::Germany)},
      {QLocale(QLocale::C), QLocale(QLocale::German, QLocale::Germany)},
      {QLocale(QLocale::German, QLocale::Austria), QLocale(QLocale::German, QLocale::Austria)},
      {QLocale(QLocale::German, QLocale::Switzerland),
       QLocale(QLocale::German, QLocale::Switzerland)}};
  for (const auto& [system, shown] : rows) {
    EXPECT_EQ(DisplayView::displayLocale(system).name(), shown.name())
        << system.name().toStdString();
  }
}

TEST_F(DisplaySettingsTest, SettingsSwitchesWriteTheStoreAtOnceAndFollowTheModel) {
  const std::tuple<const char*, const char*, bool> rows[] = {
      {"autoClockSwitch", "autoClock", true}, {"autoApplySwitch", "autoApply", false}};
  AppModel& model = attach(Attached::none);
  SettingsView view(model);
  EXPECT_EQ(view.size(), QSize(460, 260));
  for (const auto& [name, key, defaultOn] : rows) {
    SCOPED_TRACE(name);
    auto* box = find<QCheckBox>(view, name);
    EXPECT_EQ(box->isChecked(), defaultOn);
    box->click();
    EXPECT_EQ(model.property(key), QVariant(!defaultOn));
    EXPECT_EQ(settings().value(QLatin1String(key)), QVariant(!defaultOn)) << "stored at once";
    SettingsView again(model);
    EXPECT_EQ(find<QCheckBox>(again, name)->isChecked(), !defaultOn);
    model.setProperty(key, defaultOn);
    EXPECT_EQ(box->isChecked(), defaultOn) << "a change from elsewhere shows at once";
  }
  EXPECT_TRUE(simulator_->log().empty()) << "switching sends nothing";
}

}  // namespace
}  // namespace zepa::uitest
