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

TEST_F(DisplaySettingsTest, TheHalvernGetsAPanelInsteadOfTheClock) {
  attach(Attached::halvern);
  auto& view = open<DisplayView>();
  auto* panel = find<UnsupportedHalvernView>(view, "unsupportedHalvernView");
  EXPECT_FALSE(find(view, "syncClockButton")->isVisible());
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->title(), "Kein Display");
  EXPECT_EQ(panel->text(), "Die Corvane Pro 108 besitzt kein konfigurierbares OLED-Display.");
}

TEST_F(DisplaySettingsTest, TheClockShowsWithoutAKeyboardToo) {
  attach(Attached::none);
  auto& view = open<DisplayView>();
  EXPECT_TRUE(find(view, "syncClockButton")->isVisible());
  EXPECT_FALSE(text(view, "dateTimeText").isEmpty());
}

// The model's calendar says Sunday 9 March 2025, 14:05:07.
TEST_F(DisplaySettingsTest, TheButtonSetsTheClockToTheCalendarsDate) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<DisplayView>();
  EXPECT_EQ(find<QPushButton>(view, "syncClockButton")->text(),
            "Datum und Uhrzeit jetzt synchronisieren");
  click(view, "syncClockButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Uhr synchronisiert");
  EXPECT_EQ(simulator_->zepaState()["clock"], nlohmann::json::parse(R"({"day":9,"hour":14,
      "minute":5,"month":3,"profile":1,"second":7,"weekday":0,"year":2025})"));
}

TEST(DisplayDate, ReadsInGerman) {
  EXPECT_EQ(DisplayView::dateTimeText(QDateTime(QDate(2025, 3, 9), QTime(14, 5, 7)),
                                      QLocale(QLocale::German, QLocale::Germany)),
            "Sonntag, 9. März 2025, 14:05");
}

TEST(DisplayDate, IsGermanUnderAnEnglishSystem) {
  EXPECT_EQ(DisplayView::displayLocale(QLocale(QLocale::English, QLocale::UnitedStates)).name(),
            "de_DE");
}

TEST(DisplayDate, KeepsTheSystemsGermanVariant) {
  EXPECT_EQ(DisplayView::displayLocale(QLocale(QLocale::German, QLocale::Austria)).name(), "de_AT");
}

struct Switch {
  const char* name;
  const char* key;
  bool defaultOn;
};
using test::PrintTo;

class SettingsSwitch : public ViewTest, public ::testing::WithParamInterface<Switch> {};

TEST_P(SettingsSwitch, WritesTheStoreAtOnceAndFollowsTheModel) {
  AppModel& model = attach(Attached::none);
  SettingsView view(model);
  auto* box = find<QCheckBox>(view, GetParam().name);
  EXPECT_EQ(box->isChecked(), GetParam().defaultOn);
  box->click();
  EXPECT_EQ(model.property(GetParam().key), QVariant(!GetParam().defaultOn));
  EXPECT_EQ(settings().value(GetParam().key), QVariant(!GetParam().defaultOn)) << "stored at once";
  model.setProperty(GetParam().key, GetParam().defaultOn);
  EXPECT_EQ(box->isChecked(), GetParam().defaultOn) << "a change from elsewhere shows at once";
  EXPECT_TRUE(simulator_->log().empty()) << "switching sends nothing";
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsSwitch,
                         ::testing::Values(Switch{"autoClockSwitch", "autoClock", true},
                                           Switch{"autoApplySwitch", "autoApply", false}),
                         [](const auto& info) { return std::string(info.param.key); });

}  // namespace
}  // namespace zepa::uitest
