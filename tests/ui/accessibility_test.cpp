// SPDX-License-Identifier: MIT
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QScrollBar>
#include <QTabWidget>
#include <set>
#include <string>

#include "app/views/about_view.hpp"
#include "app/views/calibration_view.hpp"
#include "app/views/content_view.hpp"
#include "app/views/main_window.hpp"
#include "app/views/settings_view.hpp"
#include "ui_test_support.hpp"

// What a screen reader and a keyboard-only user meet: every control has a German name, and Tab
// reaches every control of a view in reading order.
namespace zepa::uitest {
namespace {

bool interactive(QAccessible::Role role) {
  static const std::set<QAccessible::Role> roles{
      QAccessible::PushButton,    QAccessible::CheckBox,     QAccessible::RadioButton,
      QAccessible::ComboBox,      QAccessible::EditableText, QAccessible::Slider,
      QAccessible::SpinBox,       QAccessible::PageTab,      QAccessible::ButtonMenu,
      QAccessible::ButtonDropDown};
  return roles.contains(role);
}

QString describe(QAccessibleInterface* node) {
  const QObject* object = node->object();
  QString name = object ? object->objectName() : QString();
  if (name.isEmpty() && object) name = QString::fromLatin1(object->metaObject()->className());
  return name + QStringLiteral(" (role 0x%1)").arg(static_cast<int>(node->role()), 0, 16);
}

// What a screen reader announces for a control. On Linux a combo box's name is its current
// text and its label travels as a relation; a name borrowed from the enclosing group's title
// (Qt's last resort) names the group, not the control.
QString spokenName(QAccessibleInterface* node) {
  auto* widget = qobject_cast<QWidget*>(node->object());
  if (node->role() == QAccessible::ComboBox) {
    if (widget && !widget->accessibleName().isEmpty()) return widget->accessibleName();
    const auto labels = node->relations(QAccessible::Labelled);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
  }
  const QString name = node->text(QAccessible::Name).trimmed();
  for (QWidget* up = widget ? widget->parentWidget() : nullptr; up; up = up->parentWidget()) {
    auto* group = qobject_cast<QGroupBox*>(up);
    if (group && widget->accessibleName().isEmpty() && group->title() == name) return {};
  }
  return name;
}

// The visible interactive controls under `node` without a name, and icon-only buttons without
// a tooltip.
void collectFaults(QAccessibleInterface* node, QStringList& faults, int& checked) {
  if (!node || node->state().invisible) return;
  if (interactive(node->role())) {
    ++checked;
    if (spokenName(node).isEmpty()) faults << "nameless " + describe(node);
    auto* button = qobject_cast<QAbstractButton*>(node->object());
    if (button && button->text().isEmpty() && button->toolTip().isEmpty())
      faults << "no tooltip " + describe(node);
  }
  for (int i = 0; i < node->childCount(); ++i) collectFaults(node->child(i), faults, checked);
}

// Tab stops at the chosen button of an exclusive group; the arrow keys move within it.
bool arrowKeysReach(QWidget* widget) {
  auto* button = qobject_cast<QAbstractButton*>(widget);
  return button && button->group() && button->group()->exclusive() && !button->isChecked();
}

struct ViewRow {
  const char* name;
  Attached attached;
  int tab;             // the main window's tab shown; -1: not the main window
  const char* dialog;  // "calibration", "settings", "about" or ""
};

using test::PrintTo;

class AccessibilityTest : public ViewTest, public testing::WithParamInterface<ViewRow> {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    settings().setValue("autoClock", false);
  }
  // Shows the row's view and returns its window.
  QWidget* show(const ViewRow& row) {
    AppModel& model = attach(row.attached);
    model.editProfile([](ZEPAProfile& p) { p.remaps = {{55, RemapAction::key, 1, 0, 0}}; });
    model.setHalvernRemaps({{0x39, RemapAction::key, 0, 0xE0, 0}});
    auto& window = open<MainWindow>();
    if (row.attached == Attached::halvern) model.setSelectedKeyboard(SupportedKeyboard::halvern);
    find<QTabWidget>(window, "tabs")->setCurrentIndex(std::max(row.tab, 0));
    QCoreApplication::processEvents();  // a tab's view is built and shown on first opening
    const std::string dialog = row.dialog;
    QWidget* shown = &window;
    if (dialog == "calibration") {
      model.setShowCalibration(true);
      shown = window.contentView()->calibrationDialog();
    } else if (dialog == "about") {
      model.setShowAbout(true);
      shown = window.contentView()->aboutDialog();
    } else if (dialog == "settings") {
      find<QAction>(window, "settingsAction")->trigger();
      shown = window.findChild<SettingsView*>();
    }
    EXPECT_NE(shown, nullptr);
    if (shown) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(shown));
    }
    return shown;
  }
};

TEST_P(AccessibilityTest, EveryInteractiveControlHasAName) {
  QWidget* window = show(GetParam());
  ASSERT_NE(window, nullptr);
  QStringList faults;
  int checked = 0;
  collectFaults(QAccessible::queryAccessibleInterface(window), faults, checked);
  EXPECT_GT(checked, 0) << "the walk found no control at all";
  EXPECT_TRUE(faults.isEmpty()) << faults.join(", ").toStdString();
}

// Tab from the first control visits every enabled control of the view, top to bottom.
TEST_P(AccessibilityTest, TabReachesEveryControlInReadingOrder) {
  QWidget* window = show(GetParam());
  ASSERT_NE(window, nullptr);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  QList<QWidget*> expected;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (widget->isVisibleTo(window) && widget->isEnabled() && widget->window() == window &&
        (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy() &&
        !qobject_cast<QScrollBar*>(widget) && !arrowKeysReach(widget))
      expected << widget;
  }
  ASSERT_FALSE(expected.isEmpty());
  QList<QWidget*> visited;
  expected.first()->setFocus(Qt::TabFocusReason);
  for (int i = 0; i < 2 * expected.size() + 2 && !visited.contains(QApplication::focusWidget());
       ++i) {
    visited << QApplication::focusWidget();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QStringList unreached;
  for (QWidget* widget : expected) {
    if (!visited.contains(widget)) unreached << widget->objectName();
  }
  EXPECT_EQ(unreached, QStringList()) << "Tab never reaches these";
  // Reading order: each stop lies below the previous one or in a column to its right, except
  // once, where the cycle wraps from the end back to the start.
  QStringList jumpsUp;
  for (int i = 1; i < visited.size(); ++i) {
    const QRect before(visited[i - 1]->mapTo(window, QPoint(0, 0)), visited[i - 1]->size());
    const QRect now(visited[i]->mapTo(window, QPoint(0, 0)), visited[i]->size());
    if (now.bottom() < before.top() && now.left() <= before.right())
      jumpsUp << visited[i - 1]->objectName() + " → " + visited[i]->objectName();
  }
  EXPECT_LE(jumpsUp.size(), 1) << jumpsUp.join(", ").toStdString();
}

TEST_F(AccessibilityTest, KeyGridButtonsExposeNameAndCheckedState) {
  AppModel& model = attach(Attached::zepa);
  auto& window = open<MainWindow>();
  find<QTabWidget>(window, "tabs")->setCurrentIndex(1);
  QCoreApplication::processEvents();
  model.setSelectedKeys({56});  // "A"
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(find(window, "key56"));
  QAccessibleInterface* q = QAccessible::queryAccessibleInterface(find(window, "key38"));
  QAccessibleInterface* up = QAccessible::queryAccessibleInterface(find(window, "key101"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(q, nullptr);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(a->text(QAccessible::Name), "Taste A");
  EXPECT_EQ(up->text(QAccessible::Name), "Taste Pfeil nach oben") << "not the cap's arrow";
  EXPECT_TRUE(q->state().checkable);
  EXPECT_TRUE(a->state().checked);
  EXPECT_FALSE(q->state().checked);
}

const ViewRow views[] = {
    {"ZepaLighting", Attached::zepa, 0, ""},
    {"ZepaPerKey", Attached::zepa, 1, ""},
    {"ZepaRemaps", Attached::zepa, 2, ""},
    {"ZepaDisplay", Attached::zepa, 3, ""},
    {"HalvernLighting", Attached::halvern, 0, ""},
    {"HalvernPerKey", Attached::halvern, 1, ""},
    {"HalvernRemaps", Attached::halvern, 2, ""},
    {"HalvernDisplay", Attached::halvern, 3, ""},
    {"Calibration", Attached::zepa, -1, "calibration"},
    {"Settings", Attached::zepa, -1, "settings"},
    {"About", Attached::zepa, -1, "about"},
};
INSTANTIATE_TEST_SUITE_P(Views, AccessibilityTest, testing::ValuesIn(views),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zepa::uitest
