// SPDX-License-Identifier: MIT
// The key grid from the keyboard alone: one Tab stop, arrows move between the keys as the grid
// shows them, Space toggles the key that has focus, and Tab leaves the grid and comes back to
// the key left last.
#include <QAccessible>
#include <QApplication>
#include <QTabWidget>
#include <QTest>

#include "app/views/key_grid.hpp"
#include "app/views/main_window.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class KeyGridKeyboardTest : public ViewTest {
 protected:
  QWidget& showKeys() {
    attach(Attached::zepa);
    auto& window = open<MainWindow>();
    window.resize(900, 680);
    find<QTabWidget>(window, "tabs")->setCurrentIndex(1);
    QCoreApplication::processEvents();  // the tab's view is built on first opening
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    keys_ = window.findChildren<KeyButton*>();
    return window;
  }
  QList<KeyButton*> tabStops() const {
    QList<KeyButton*> stops;
    for (KeyButton* key : keys_)
      if (key->focusPolicy() & Qt::TabFocus) stops << key;
    return stops;
  }
  static QWidget* focused() { return QApplication::focusWidget(); }
  static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(focused(), key, modifiers);
  }
  // The key the grid shows next to `from` in the direction (dx, dy), nearest first.
  KeyButton* neighbour(const KeyButton* from, int dx, int dy) const {
    KeyButton* best = nullptr;
    const QPoint start = from->pos();
    for (KeyButton* key : keys_) {
      const QPoint at = key->pos();
      const bool ahead = dx != 0 ? at.y() == start.y() && (at.x() - start.x()) * dx > 0
                                 : at.x() == start.x() && (at.y() - start.y()) * dy > 0;
      if (!ahead) continue;
      const int distance = std::abs(at.x() - start.x()) + std::abs(at.y() - start.y());
      if (!best || distance < std::abs(best->x() - start.x()) + std::abs(best->y() - start.y()))
        best = key;
    }
    return best;
  }

  QList<KeyButton*> keys_;
};

TEST_F(KeyGridKeyboardTest, TheWholeGridIsOneTabStop) {
  showKeys();
  ASSERT_GT(keys_.size(), 100);
  EXPECT_EQ(tabStops().size(), 1);
  tabStops().first()->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Right);
  press(Qt::Key_Down);
  ASSERT_EQ(tabStops().size(), 1);
  EXPECT_EQ(tabStops().first(), focused()) << "the stop follows the focus";
}

struct Move {
  const char* name;
  Qt::Key key;
  int dx, dy;  // where the next key lies; 0, 0: the first or last key
};

class KeyGridArrows : public KeyGridKeyboardTest, public testing::WithParamInterface<Move> {};

// From a key in the middle of the grid.
TEST_P(KeyGridArrows, MoveFocusToTheKeyTheGridShowsThere) {
  showKeys();
  KeyButton* start = find<KeyButton>(*keys_.first()->window(), "key56");  // "A"
  start->setFocus(Qt::TabFocusReason);
  const Move move = GetParam();
  KeyButton* expected = move.dx || move.dy        ? neighbour(start, move.dx, move.dy)
                        : move.key == Qt::Key_End ? keys_.last()
                                                  : keys_.first();
  ASSERT_NE(expected, nullptr);
  press(move.key);
  EXPECT_EQ(focused(), expected) << "focus on " << focused()->objectName().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyGridArrows,
    testing::Values(Move{"Right", Qt::Key_Right, 1, 0}, Move{"Left", Qt::Key_Left, -1, 0},
                    Move{"Down", Qt::Key_Down, 0, 1}, Move{"Up", Qt::Key_Up, 0, -1},
                    Move{"Home", Qt::Key_Home, 0, 0}, Move{"End", Qt::Key_End, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyGridKeyboardTest, ArrowsStopAtTheEdgesOfTheGrid) {
  showKeys();
  keys_.first()->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Up);
  EXPECT_EQ(focused(), keys_.first()) << "up from the top row";
  press(Qt::Key_Left);
  EXPECT_EQ(focused(), keys_.first()) << "left from the first key";
}

TEST_F(KeyGridKeyboardTest, SpaceTogglesTheFocusedKeyAndItsCheckedState) {
  QWidget& window = showKeys();
  find<KeyButton>(window, "key56")->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Right);
  auto* key = qobject_cast<KeyButton*>(focused());
  ASSERT_NE(key, nullptr);
  QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(key);
  EXPECT_EQ(spoken->text(QAccessible::Name), KeyButton::spokenName(key->text()));
  press(Qt::Key_Space);
  EXPECT_TRUE(model_->selectedKeys().contains(key->keyIndex()));
  EXPECT_TRUE(spoken->state().checked);
  press(Qt::Key_Space);
  EXPECT_FALSE(model_->selectedKeys().contains(key->keyIndex()));
  EXPECT_FALSE(spoken->state().checked);
}

TEST_F(KeyGridKeyboardTest, TabLeavesTheGridAndShiftTabReturnsToTheKeyLeftLast) {
  showKeys();
  keys_.first()->setFocus(Qt::TabFocusReason);
  press(Qt::Key_Right);
  press(Qt::Key_Right);
  QWidget* last = focused();
  press(Qt::Key_Tab);
  EXPECT_EQ(qobject_cast<KeyButton*>(focused()), nullptr) << "Tab stayed in the grid";
  press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(focused(), last);
}

}  // namespace
}  // namespace zepa::uitest
