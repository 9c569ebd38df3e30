// SPDX-License-Identifier: MIT
#include <QAccessible>
#include <QGroupBox>
#include <QTabWidget>
#include <set>
#include <string>

#include "app/views/content_view.hpp"
#include "app/views/main_window.hpp"
#include "app/views/per_key_view.hpp"
#include "ui_test_support.hpp"

// What a screen reader meets: every control has a German name.
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
  return object ? object->objectName() + " " + object->metaObject()->className() : QString();
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

struct ViewRow {
  const char* name;
  Attached attached;
  int tab;  // the main window's tab shown; -1: the calibration dialog instead
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
    if (row.tab >= 0) return &window;
    // Opened as the user does, so an entry that opens nothing fails here.
    click(window, "calibrationEntry");
    QWidget* dialog = window.contentView()->calibrationDialog();
    if (dialog) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
    }
    return dialog;
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

TEST_F(AccessibilityTest, KeyGridButtonsExposeNameAndCheckedState) {
  attach(Attached::zepa).setSelectedKeys({56});  // "A"
  auto& window = open<PerKeyView>();
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(find(window, "key56"));
  QAccessibleInterface* up = QAccessible::queryAccessibleInterface(find(window, "key101"));
  EXPECT_EQ(up->text(QAccessible::Name), "Taste Pfeil nach oben") << "not the cap's arrow";
  EXPECT_TRUE(a->state().checked);
}

// Views whose controls take their names from this code rather than from a visible text; the
// key caps are checked on their own below.
const ViewRow views[] = {
    {"ZepaLighting", Attached::zepa, 0},       {"ZepaRemaps", Attached::zepa, 2},
    {"HalvernLighting", Attached::halvern, 0}, {"HalvernRemaps", Attached::halvern, 2},
    {"Calibration", Attached::zepa, -1},
};
INSTANTIATE_TEST_SUITE_P(Views, AccessibilityTest, testing::ValuesIn(views),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zepa::uitest
