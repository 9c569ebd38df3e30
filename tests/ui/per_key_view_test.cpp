// SPDX-License-Identifier: MIT
#include <QApplication>
#include <string>

#include "app/views/key_grid.hpp"
#include "app/views/per_key_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

using test::PrintTo;

class PerKeyViewTest : public ViewTest {
 protected:
  // The keys the grid shows checked.
  static KeySelection checked(const QWidget& view) {
    KeySelection keys;
    for (const KeyButton* button : view.findChildren<KeyButton*>())
      if (button->isChecked()) keys.insert(button->keyIndex());
    return keys;
  }
  // The view as the active window, its keys in grid order.
  void showKeys() {
    auto& view = open<PerKeyView>(Attached::zepa);
    view.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    keys_ = view.findChildren<KeyButton*>();
  }
  QList<KeyButton*> tabStops() const {
    QList<KeyButton*> stops;
    for (KeyButton* key : keys_)
      if (key->focusPolicy() & Qt::TabFocus) stops << key;
    return stops;
  }
  static QWidget* focused() { return QApplication::focusWidget(); }
  static void press(Qt::Key key) { QTest::keyClick(focused(), key); }
  // The key the grid shows next to `from`, one key's size away in the direction (dx, dy).
  static KeyButton* neighbour(const KeyButton* from, int dx, int dy) {
    const QPoint there =
        from->geometry().center() + QPoint(dx * from->width(), dy * from->height());
    return qobject_cast<KeyButton*>(from->parentWidget()->childAt(there));
  }

  QList<KeyButton*> keys_;
};

TEST_F(PerKeyViewTest, ClickingKeysTogglesThemWithoutSending) {
  auto& view = open<PerKeyView>(Attached::zepa);
  click(view, "key55");
  click(view, "key56");
  click(view, "key55");
  EXPECT_EQ(model().selectedKeys(), (KeySelection{56}));
  EXPECT_TRUE(simulator_->log().empty());
}

TEST_F(PerKeyViewTest, SelectAllAndNoneCoverEveryKey) {
  auto& view = open<PerKeyView>(Attached::zepa);
  click(view, "selectAllButton");
  EXPECT_EQ(checked(view).size(), 104u);
  click(view, "selectNoneButton");
  EXPECT_TRUE(checked(view).empty());
}

TEST_F(PerKeyViewTest, TheHalvernGetsAPanelAndTheSelectionSurvives) {
  AppModel& model = attach(Attached::both);
  model.setSelectedKeys({94});
  auto* view = &open<PerKeyView>();
  model.setSelectedKeyboard(SupportedKeyboard::halvern);
  EXPECT_TRUE(find(*view, "unsupportedHalvernView")->isVisible());
  model.setSelectedKeyboard(SupportedKeyboard::zepa);
  EXPECT_EQ(checked(*view), (KeySelection{94}));
}

TEST_F(PerKeyViewTest, ApplyMergesWithStoredColoursAndClearEmptiesBoth) {
  AppModel& model = attach(Attached::zepa);
  model.editProfile([](ZEPAProfile& p) { p.keyColors = {{4, {0, 0, 255}}, {94, {1, 2, 3}}}; });
  auto& view = open<PerKeyView>();
  for (const char* key : {"key5", "key3", "key94"}) click(view, key);
  model.setSelectedColor(QColor(0, 128, 0));
  click(view, "applySelectionButton");
  waitUntilIdle(model);
  std::vector<int> order;
  for (const KeyColor& key : model.profile().keyColors) order.push_back(key.index);
  EXPECT_EQ(order, (std::vector<int>{3, 4, 5, 94})) << "stored one per key, in key order";
  click(view, "clearColorsButton");
  waitUntilIdle(model);
  EXPECT_TRUE(model.profile().keyColors.empty());
}

// Keys at least 58 wide with gaps of 4: one column below two keys' width, then as many as fit.
struct Fit {
  const char* name;
  int width, columns;
};

class GridFit : public PerKeyViewTest, public ::testing::WithParamInterface<Fit> {};

TEST_P(GridFit, TakesAsManyColumnsAsTheWidthAllows) {
  auto& view = open<PerKeyView>(Attached::zepa);
  EXPECT_EQ(view.gridLayout()->columnCount(GetParam().width), GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(Grid, GridFit,
                         ::testing::Values(Fit{"OneColumn", 121, 1}, Fit{"TwoColumns", 122, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// From the keyboard alone the grid is one Tab stop that follows the focus; arrows move between
// the keys as the grid shows them, Space toggles the key that has focus.
TEST_F(PerKeyViewTest, TheWholeGridIsOneTabStop) {
  showKeys();
  tabStops().first()->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Right);
  press(Qt::Key_Down);
  ASSERT_EQ(tabStops().size(), 1);
  EXPECT_EQ(tabStops().first(), focused()) << "the stop follows the focus";
}

// From "A", in the middle of the grid: the row below as the grid lays it out now.
TEST_F(PerKeyViewTest, DownMovesFocusToTheKeyTheGridShowsBelow) {
  showKeys();
  KeyButton* start = find<KeyButton>(*view_, "key56");
  start->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();  // the focus change lays the grid out again
  KeyButton* below = neighbour(start, 0, 1);
  press(Qt::Key_Down);
  EXPECT_EQ(focused(), below) << "focus on " << focused()->objectName().toStdString();
}

TEST_F(PerKeyViewTest, UpFromTheTopRowStays) {
  showKeys();
  keys_.first()->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Up);
  EXPECT_EQ(focused(), keys_.first());
}

TEST_F(PerKeyViewTest, SpaceTogglesTheFocusedKey) {
  showKeys();
  auto* key = find<KeyButton>(*view_, "key56");
  key->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Space);
  EXPECT_EQ(model_->selectedKeys(), (KeySelection{56}));
}

}  // namespace
}  // namespace zepa::uitest
