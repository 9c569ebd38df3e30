// SPDX-License-Identifier: MIT
#include <set>
#include <string>

#include "app/views/key_grid.hpp"
#include "app/views/per_key_view.hpp"
#include "app/views/unsupported_halvern_view.hpp"
#include "protocol/zepa_key_map.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class PerKeyViewTest : public ViewTest {
 protected:
  // "55 56", or for most of the keys the ones left out: "all but 94".
  static std::string describe(const KeySelection& keys) {
    std::string most = "all but", few;
    for (const ZEPAKey& key : ZEPAKeyMap::keys())
      (keys.count(key.index) ? few : most) += " " + std::to_string(key.index);
    return keys.size() > 52 ? most : few.empty() ? "" : few.substr(1);
  }
  // The keys the grid shows checked.
  static std::string checked(const QWidget& view) {
    KeySelection keys;
    for (const KeyButton* button : view.findChildren<KeyButton*>())
      if (button->isChecked()) keys.insert(button->keyIndex());
    return describe(keys);
  }
};

TEST_F(PerKeyViewTest, ButtonsAndKeysEditOneSelectionThatSurvivesTheHalvernTab) {
  const std::pair<const char*, const char*> steps[] = {
      {"key55", "55"},          {"key56", "55 56"},
      {"key55", "56"},          {"selectAllButton", "all but"},
      {"key94", "all but 94"},  {"selectAllButton", "all but"},
      {"selectNoneButton", ""}, {"key94", "94"}};
  AppModel& model = attach(Attached::both);
  auto* view = &open<PerKeyView>();
  ASSERT_EQ(view->findChildren<KeyButton*>().size(), 104);
  EXPECT_FALSE(find(*view, "applySelectionButton")->isEnabled());
  for (const auto& [button, selected] : steps) {
    SCOPED_TRACE(button);
    click(*view, button);
    EXPECT_EQ(describe(model.selectedKeys()), selected);
    EXPECT_EQ(checked(*view), selected);
    EXPECT_EQ(find(*view, "applySelectionButton")->isEnabled(), *selected != 0);
  }
  EXPECT_TRUE(simulator_->log().empty()) << "selecting must not send";

  model.setSelectedKeyboard(SupportedKeyboard::halvern);
  auto* panel = find<UnsupportedHalvernView>(*view, "unsupportedHalvernView");
  EXPECT_EQ(enabled(*view, {"unsupportedHalvernView", "perKeyPage"}, true),
            "unsupportedHalvernView");
  EXPECT_EQ(panel->title(), "Einzeltastenfarben nicht verfügbar");
  EXPECT_EQ(panel->text(),
            "Die Corvane-Pro-Firmware stellt unter Linux keinen zuverlässig nutzbaren "
            "Konfigurationskanal für einzelne LEDs bereit. Diese Funktion ist deshalb für dieses "
            "Keyboard deaktiviert.");
  model.setSelectedKeyboard(SupportedKeyboard::zepa);
  EXPECT_EQ(enabled(*view, {"unsupportedHalvernView", "perKeyPage"}, true), "perKeyPage");
  EXPECT_EQ(checked(*view), "94");
  view = &open<PerKeyView>();  // a rebuilt tab reads the same selection
  EXPECT_EQ(checked(*view), "94");
}

TEST_F(PerKeyViewTest, ApplyMergesWithStoredColoursClearEmptiesBothAndTheSelectionStays) {
  AppModel& model = attach(Attached::zepa);
  model.editProfile([](ZEPAProfile& p) { p.keyColors = {{4, {0, 0, 255}}, {94, {1, 2, 3}}}; });
  auto& view = open<PerKeyView>();
  for (const char* key : {"key5", "key3", "key94"}) click(view, key);
  model.setSelectedColor(QColor(0, 128, 0));
  click(view, "applySelectionButton");
  EXPECT_EQ(enabled(view, {"applySelectionButton", "clearColorsButton"}), "") << "while sending";
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Einzeltastenfarben aktualisiert");
  EXPECT_EQ(zepaSlots("perKeyColors", {"red", "green", "blue"}),
            "3: 00 80 00; 4: 00 00 ff; 5: 00 80 00; 94: 00 80 00; ");
  EXPECT_EQ(model.profile().keyColors.size(), 4u);
  EXPECT_EQ(describe(model.selectedKeys()) + " / " + checked(view), "3 5 94 / 3 5 94");
  click(view, "clearColorsButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Einzeltastenfarben gelöscht");
  EXPECT_EQ(zepaSlots("perKeyColors", {"red", "green", "blue"}), "");
  EXPECT_TRUE(model.profile().keyColors.empty());
  EXPECT_EQ(checked(view), "3 5 94");
}

TEST_F(PerKeyViewTest, GridFitsAsManyColumnsAsTheWidthAllowsAndReflows) {
  // Width → columns × key width: one squeezed column, one capped at 90, two at 58 plus a gap,
  // 3 × 62 + 2 gaps = 198, 15 × 61 + 14 gaps = 999.
  const std::tuple<int, int, int> rows[] = {
      {40, 1, 40}, {121, 1, 90}, {122, 2, 58}, {200, 3, 62}, {1000, 15, 61}};
  attach(Attached::zepa);
  auto& view = open<PerKeyView>();
  for (const auto& [width, columns, keyWidth] : rows) {
    EXPECT_EQ(view.gridLayout()->columnCount(width), columns) << width;
    EXPECT_EQ(view.gridLayout()->columnWidth(width), keyWidth) << width;
  }
  auto columnsShown = [&] {
    std::set<int> xs;
    for (const KeyButton* key : view.findChildren<KeyButton*>()) xs.insert(key->x());
    return xs.size();
  };
  const std::size_t wide = columnsShown();
  view.resize(500, 600);
  QTest::qWait(20);
  EXPECT_GT(wide, columnsShown());
  for (const KeyButton* key : view.findChildren<KeyButton*>())
    EXPECT_LE(key->geometry().right(), find(view, "keyGrid")->width()) << "cut off at the right";
}

}  // namespace
}  // namespace zepa::uitest
