// SPDX-License-Identifier: MIT
#include <QLineEdit>
#include <string>

#include "app/views/calibration_view.hpp"
#include "app/views/content_view.hpp"
#include "app/views/main_window.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class CalibrationViewTest : public ViewTest {
 protected:
  static void type(const QWidget& view, const QString& text) {
    auto* field = find<QLineEdit>(view, "observedNameField");
    field->clear();
    emit field->textEdited(QString());
    QTest::keyClicks(field, text);
  }
  // Steps with the arrows, letting each preview finish.
  static void walkTo(AppModel& model, CalibrationView& view, int id) {
    while (view.effectID() != id && !::testing::Test::HasFailure()) {
      click(view, view.effectID() < id ? "nextIdButton" : "previousIdButton");
      waitUntilIdle(model);
    }
  }
  int sequences() const { return simulator_->zepaState()["applied"].get<int>(); }
  // From the main window, with ID 01 under test and the profile breathing.
  QPointer<QDialog> openAndTest() {
    AppModel& model = attach(Attached::zepa);
    model.editProfile([](ZEPAProfile& p) { p.lighting.mode = LightingMode::breath; });
    auto& window = open<MainWindow>();
    waitUntilIdle(model);  // the start-up clock sync
    click(window, "calibrationEntry");
    QPointer<QDialog> dialog = window.contentView()->calibrationDialog();
    if (dialog) click(*dialog, "testButton");
    return dialog;
  }
};

TEST_F(CalibrationViewTest, SavingTestsTheNextId) {
  auto& view = open<CalibrationView>(Attached::zepa);
  type(view, "Statisch");
  click(view, "saveButton");
  waitUntilIdle(model());
  EXPECT_EQ(view.effectID(), 2);
  EXPECT_EQ(sequences(), 1);
}

TEST_F(CalibrationViewTest, TheLastIdHasNoWayOnAndSavesWithoutAPreview) {
  auto& view = open<CalibrationView>(Attached::zepa);
  walkTo(model(), view, 19);
  EXPECT_FALSE(find(view, "nextIdButton")->isEnabled());
  type(view, "Mein Effekt");
  click(view, "saveButton");
  waitUntilIdle(model());
  EXPECT_EQ(model().customEffectNames().at(19), "Mein Effekt");
  EXPECT_EQ(sequences(), 18);
}

// "Wellen" is assigned to ID 04. The note compares the exact name; the marks follow the
// recorded effect, so a name saved in another case counts there.
TEST_F(CalibrationViewTest, TheChoiceAndTheNoteShowWhereANameIsAssigned) {
  AppModel& model = attach(Attached::zepa);
  model.setCustomEffectName("Wellen", 4);
  auto& view = open<CalibrationView>();
  auto* choice = find<QComboBox>(view, "observedChoice");
  choose(view, "observedChoice", "Wellen");
  EXPECT_EQ(text(view, "alreadyAssignedNote"), "Bereits Firmware-ID 04 zugeordnet");
  type(view, "wellen");
  EXPECT_FALSE(find(view, "alreadyAssignedNote")->isVisible()) << "another case";
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(choice->itemText(choice->findData("Wellen")), "✓ Wellen — ID 01, 04");
}

TEST_F(CalibrationViewTest, TheNoteLeavesOutTheIdItself) {
  attach(Attached::zepa).setCustomEffectName("Wellen", 1);
  auto& view = open<CalibrationView>();
  EXPECT_FALSE(find(view, "alreadyAssignedNote")->isVisible());
}

TEST_F(CalibrationViewTest, ABlankNameCannotBeSaved) {
  auto& view = open<CalibrationView>(Attached::none);
  type(view, " \t ");
  EXPECT_FALSE(find(view, "saveButton")->isEnabled());
}

// Without a keyboard: names are stored all the same, the previews fail.
TEST_F(CalibrationViewTest, SavedNamesShowAsCapsules) {
  auto& view = open<CalibrationView>(Attached::none);
  choose(view, "observedChoice", "Atmen");
  click(view, "saveButton");
  waitUntilIdle(model());
  EXPECT_EQ(text(view, "capsule01"), "ID 01 → Atmen");
}

TEST_F(CalibrationViewTest, ClearingAndResetForgetNames) {
  AppModel& model = attach(Attached::none);
  model.setCustomEffectName("Atmen", 1);
  model.setCustomEffectName("Wellen", 2);
  auto& view = open<CalibrationView>();
  type(view, "");
  click(view, "clearAssignmentButton");  // enabled with an empty field too
  EXPECT_FALSE(model.customEffectNames().contains(1));
  click(view, "resetNamesButton");
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 0 von 19");
}

// The dialog covers the main window's status line, so it repeats it where the user looks.
TEST_F(CalibrationViewTest, FooterMirrorsTheBusyIndicatorAndTheTestsMessage) {
  auto& view = open<CalibrationView>(Attached::zepa);
  walkTo(model(), view, 5);
  click(view, "testButton");
  EXPECT_TRUE(find(view, "calibrationBusyIndicator")->isVisible());
  waitUntilIdle(model());
  EXPECT_EQ(text(view, "calibrationStatus"), "Firmware-ID 05 wird getestet");
  EXPECT_FALSE(find(view, "calibrationBusyIndicator")->isVisible());
}

TEST_F(CalibrationViewTest, FooterShowsAFailedPreview) {
  auto& view = open<CalibrationView>(Attached::none);
  click(view, "nextIdButton");
  waitUntilIdle(model());
  EXPECT_EQ(text(view, "calibrationStatus"), "Fehler");
}

// Esc and the window's close button end the walk as the finish button does: the keyboard shows
// the profile's lighting again, not the cyan test effect.
class CalibrationCloseTest : public CalibrationViewTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(CalibrationCloseTest, ClosingRestoresTheProfilesLighting) {
  QPointer<QDialog> dialog = openAndTest();
  ASSERT_NE(dialog, nullptr);
  waitUntilIdle(*model_);
  const std::string way = GetParam();
  if (way == "finish") click(*dialog, "finishButton");
  if (way == "escape") QTest::keyClick(dialog, Qt::Key_Escape);
  if (way == "close") dialog->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog.isNull()) << "still open";
  waitUntilIdle(*model_);
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(LightingMode::breath));
}

INSTANTIATE_TEST_SUITE_P(Ways, CalibrationCloseTest, ::testing::Values("finish", "escape", "close"),
                         [](const auto& info) { return std::string(info.param); });

// Closed while the preview is still on its way: the restore follows it instead of being dropped.
TEST_F(CalibrationViewTest, ClosingDuringAPreviewRestoresAfterIt) {
  QPointer<QDialog> dialog = openAndTest();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(model_->busy());
  dialog->close();
  waitUntilIdle(*model_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model_->message() == "Beleuchtung aktualisiert"; }))
      << model_->message().toStdString();
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(LightingMode::breath));
}

}  // namespace
}  // namespace zepa::uitest
