// SPDX-License-Identifier: MIT
// Measurements the views keep between layout passes are taken again when what they measured
// changes: a note's height when its text or font changes, the effect picker's width when an
// effect is renamed.
#include <QComboBox>
#include <QLabel>

#include "app/views/form_parts.hpp"
#include "app/views/lighting_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

using ViewCachesTest = ViewTest;

const QString longNote = QStringLiteral(
    "Lichtleiste und seitliche Streifen werden von der VX10-Firmware ausschließlich über "
    "Fn-Tastenkombinationen gesteuert, und diese Zeile ist absichtlich lang genug, um bei "
    "zweihundert Punkten Breite mehrmals umzubrechen.");

TEST_F(ViewCachesTest, ANoteIsMeasuredAgainWhenItsTextChanges) {
  QWidget parent;
  QLabel* note = noteLabel(QStringLiteral("Kurz."), &parent);
  const int shortHeight = note->heightForWidth(200);
  note->setText(longNote);
  EXPECT_GT(note->heightForWidth(200), shortHeight);
}

TEST_F(ViewCachesTest, ANoteIsMeasuredAgainWhenItsFontChanges) {
  QWidget parent;
  QLabel* note = noteLabel(longNote, &parent);
  const int smallHeight = note->heightForWidth(200);
  QFont large = note->font();
  large.setPointSizeF(large.pointSizeF() * 2);
  note->setFont(large);
  EXPECT_GT(note->heightForWidth(200), smallHeight);
}

TEST_F(ViewCachesTest, RenamingAnEffectWidensThePickerForTheLongerName) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<LightingView>();
  auto* picker = find<QComboBox>(view, "effectPicker");
  const int before = picker->width();
  model.setCustomEffectName(QStringLiteral("Sehr langer selbst gewählter Name für den Effekt"), 4);
  QCoreApplication::processEvents();
  EXPECT_GT(picker->width(), before);
}

}  // namespace
}  // namespace zepa::uitest
