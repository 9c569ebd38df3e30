// SPDX-License-Identifier: MIT
#include <set>
#include <string>

#include "app/views/key_grid.hpp"
#include "app/views/per_key_view.hpp"
#include "app/views/unsupported_halvern_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class PerKeyViewTest : public ViewTest {
 protected:
  // The keys the grid shows checked.
  static KeySelection checked(const QWidget& view) {
    KeySelection keys;
    for (const KeyButton* button : view.findChildren<KeyButton*>())
      if (button->isChecked()) keys.insert(button->keyIndex());
    return keys;
  }
};

TEST_F(PerKeyViewTest, ClickingKeysTogglesThemWithoutSending) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<PerKeyView>();
  EXPECT_FALSE(find(view, "applySelectionButton")->isEnabled());
  click(view, "key55");
  click(view, "key56");
  click(view, "key55");
  EXPECT_EQ(model.selectedKeys(), (KeySelection{56}));
  EXPECT_EQ(checked(view), (KeySelection{56}));
  EXPECT_TRUE(find(view, "applySelectionButton")->isEnabled());
  EXPECT_TRUE(simulator_->log().empty());
}

TEST_F(PerKeyViewTest, SelectAllAndNoneCoverEveryKey) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<PerKeyView>();
  ASSERT_EQ(view.findChildren<KeyButton*>().size(), 104);
  click(view, "selectAllButton");
  EXPECT_EQ(checked(view).size(), 104u);
  click(view, "key94");
  EXPECT_EQ(model.selectedKeys().size(), 103u);
  EXPECT_FALSE(model.selectedKeys().contains(94));
  click(view, "selectNoneButton");
  EXPECT_TRUE(model.selectedKeys().empty());
  EXPECT_TRUE(checked(view).empty());
  EXPECT_FALSE(find(view, "applySelectionButton")->isEnabled());
}

TEST_F(PerKeyViewTest, TheHalvernGetsAPanelAndTheSelectionSurvives) {
  AppModel& model = attach(Attached::both);
  model.setSelectedKeys({94});
  auto* view = &open<PerKeyView>();
  model.setSelectedKeyboard(SupportedKeyboard::halvern);
  auto* panel = find<UnsupportedHalvernView>(*view, "unsupportedHalvernView");
  EXPECT_TRUE(panel->isVisible());
  EXPECT_FALSE(find(*view, "perKeyPage")->isVisible());
  EXPECT_EQ(panel->title(), "Einzeltastenfarben nicht verfügbar");
  EXPECT_EQ(panel->text(),
            "Die Corvane-Pro-Firmware stellt unter Linux keinen zuverlässig nutzbaren "
            "Konfigurationskanal für einzelne LEDs bereit. Diese Funktion ist deshalb für dieses "
            "Keyboard deaktiviert.");
  model.setSelectedKeyboard(SupportedKeyboard::zepa);
  EXPECT_TRUE(find(*view, "perKeyPage")->isVisible());
  EXPECT_EQ(checked(*view), (KeySelection{94}));
  view = &open<PerKeyView>();  // a rebuilt tab reads the same selection
  EXPECT_EQ(checked(*view), (KeySelection{94}));
}

TEST_F(PerKeyViewTest, ApplyMergesWithStoredColoursAndClearEmptiesBoth) {
  AppModel& model = attach(Attached::zepa);
  model.editProfile([](ZEPAProfile& p) { p.keyColors = {{4, {0, 0, 255}}, {94, {1, 2, 3}}}; });
  auto& view = open<PerKeyView>();
  for (const char* key : {"key5", "key3", "key94"}) click(view, key);
  model.setSelectedColor(QColor(0, 128, 0));
  click(view, "applySelectionButton");
  EXPECT_EQ(enabledOf(view, {"applySelectionButton", "clearColorsButton"}), QStringList())
      << "while sending";
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Einzeltastenfarben aktualisiert");
  const std::map<int, std::string> colours{
      {3, "00 80 00"}, {4, "00 00 ff"}, {5, "00 80 00"}, {94, "00 80 00"}};
  EXPECT_EQ(zepaSlots("perKeyColors", {"red", "green", "blue"}), colours);
  std::vector<int> order;
  for (const KeyColor& key : model.profile().keyColors) order.push_back(key.index);
  EXPECT_EQ(order, (std::vector<int>{3, 4, 5, 94})) << "stored one per key, in key order";
  click(view, "clearColorsButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Einzeltastenfarben gelöscht");
  EXPECT_TRUE(zepaSlots("perKeyColors", {"red"}).empty());
  EXPECT_TRUE(model.profile().keyColors.empty());
  EXPECT_EQ(checked(view), (KeySelection{3, 5, 94})) << "the selection stays";
}

// Key widths from 58 to 90 with gaps of 4: one squeezed column, one capped at 90, two at 58,
// 15 × 61 + 14 gaps = 999.
struct Fit {
  const char* name;
  int width, columns, keyWidth;
};
using test::PrintTo;

class GridFit : public PerKeyViewTest, public ::testing::WithParamInterface<Fit> {};

TEST_P(GridFit, TakesAsManyColumnsAsTheWidthAllows) {
  attach(Attached::zepa);
  auto& view = open<PerKeyView>();
  EXPECT_EQ(view.gridLayout()->columnCount(GetParam().width), GetParam().columns);
  EXPECT_EQ(view.gridLayout()->columnWidth(GetParam().width), GetParam().keyWidth);
}

INSTANTIATE_TEST_SUITE_P(Grid, GridFit,
                         ::testing::Values(Fit{"Squeezed", 40, 1, 40}, Fit{"Capped", 121, 1, 90},
                                           Fit{"TwoColumns", 122, 2, 58},
                                           Fit{"Wide", 1000, 15, 61}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PerKeyViewTest, TheGridReflowsWhenNarrowed) {
  attach(Attached::zepa);
  auto& view = open<PerKeyView>();
  auto columnsShown = [&] {
    std::set<int> xs;
    for (const KeyButton* key : view.findChildren<KeyButton*>()) xs.insert(key->x());
    return xs.size();
  };
  const std::size_t wide = columnsShown();
  view.resize(500, 600);
  QTest::qWait(20);
  EXPECT_GT(wide, columnsShown());
  int right = 0;
  for (const KeyButton* key : view.findChildren<KeyButton*>())
    right = std::max(right, key->geometry().right());
  EXPECT_LE(right, find(view, "keyGrid")->width()) << "cut off at the right";
}

}  // namespace
}  // namespace zepa::uitest
