// SPDX-License-Identifier: MIT
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <stdexcept>
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
    if (text.isEmpty())
      emit field->textEdited(QString());
    else
      QTest::keyClicks(field, text);
  }
  static QString field(const QWidget& view) {
    return find<QLineEdit>(view, "observedNameField")->text();
  }
  // Steps with the arrows, letting each preview finish.
  static void walkTo(AppModel& model, CalibrationView& view, int id) {
    while (view.effectID() != id && !::testing::Test::HasFailure()) {
      click(view, view.effectID() < id ? "nextIdButton" : "previousIdButton");
      waitUntilIdle(model);
    }
  }
  std::string shownLighting() const {
    return simulator_->zepaState()["lighting"]["report"].get<std::string>();
  }
  int sequences() const { return simulator_->zepaState()["applied"].get<int>(); }
};

// It opens at ID 01 without sending; each arrow sends the ID in the test settings: cyan,
// brightness 5, speed 2, one colour.
TEST_F(CalibrationViewTest, TheNextArrowPreviewsTheFollowingId) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<CalibrationView>();
  EXPECT_FALSE(find(view, "previousIdButton")->isEnabled());
  EXPECT_EQ(text(view, "referenceName"), "Statisch");
  EXPECT_EQ(sequences(), 0);
  click(view, "nextIdButton");
  EXPECT_FALSE(find(view, "nextIdButton")->isEnabled()) << "while the preview is sent";
  waitUntilIdle(model);
  EXPECT_EQ(shownLighting(), "02 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55");
  EXPECT_EQ(text(view, "effectIdLabel"), "02");
  EXPECT_EQ(find<QPushButton>(view, "testButton")->text(), "ID 02 jetzt testen");
  EXPECT_EQ(text(view, "referenceName"), "Einzeln ein");
  EXPECT_TRUE(find(view, "previousIdButton")->isEnabled());
}

TEST_F(CalibrationViewTest, SavingStoresTheTrimmedNameAndTestsTheNextId) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<CalibrationView>();
  EXPECT_EQ(find<QPushButton>(view, "saveButton")->text(), "Speichern und nächste ID testen");
  type(view, "Statisch ");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.customEffectNames().at(1), "Statisch");
  EXPECT_EQ(view.effectID(), 2);
  EXPECT_EQ(field(view), "") << "ID 02 has no name yet";
  EXPECT_EQ(sequences(), 1);
}

TEST_F(CalibrationViewTest, TheLastIdHasNoWayOnAndSavesWithoutAPreview) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<CalibrationView>();
  walkTo(model, view, 19);
  EXPECT_FALSE(find(view, "nextIdButton")->isEnabled());
  EXPECT_EQ(text(view, "referenceName"), "Pendeln");
  EXPECT_EQ(find<QPushButton>(view, "saveButton")->text(), "Letzte Zuordnung speichern");
  type(view, "Mein Effekt");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.customEffectNames().at(19), "Mein Effekt");
  EXPECT_EQ(view.effectID(), 19);
  EXPECT_EQ(field(view), "Mein Effekt");
  EXPECT_EQ(sequences(), 18);
}

// "Wellen" is assigned to ID 04; the note compares the exact name, at another ID.
struct Observed {
  const char* name;
  int id;
  bool typed;
  const char* effect;
  bool note;
};
using test::PrintTo;

class AlreadyAssigned : public CalibrationViewTest,
                        public ::testing::WithParamInterface<Observed> {};

TEST_P(AlreadyAssigned, NoteShowsForTheExactNameAtAnotherId) {
  AppModel& model = attach(Attached::zepa);
  model.setCustomEffectName("Wellen", 4);
  auto& view = open<CalibrationView>();
  walkTo(model, view, GetParam().id);
  const QString name = QString::fromUtf8(GetParam().effect);
  if (GetParam().typed)
    type(view, name);
  else
    choose(view, "observedChoice", name);
  EXPECT_EQ(field(view), name) << "choice and field edit one name";
  EXPECT_EQ(find(view, "alreadyAssignedNote")->isVisible(), GetParam().note);
}

INSTANTIATE_TEST_SUITE_P(Calibration, AlreadyAssigned,
                         ::testing::Values(Observed{"Chosen", 15, false, "Wellen", true},
                                           Observed{"Typed", 15, true, "Wellen", true},
                                           Observed{"OtherCase", 15, true, "wellen", false},
                                           Observed{"ItsOwnId", 4, false, "Wellen", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CalibrationViewTest, TheChoiceMarksAssignedEffectsAndTheModelIgnoresCase) {
  AppModel& model = attach(Attached::zepa);
  model.setCustomEffectName("Wellen", 4);
  auto& view = open<CalibrationView>();
  auto* choice = find<QComboBox>(view, "observedChoice");
  EXPECT_EQ(choice->count(), 20);
  EXPECT_EQ(choice->itemText(choice->findData("Wellen")), "✓ Wellen — ID 04");
  choose(view, "observedChoice", "Wellen");
  EXPECT_EQ(text(view, "alreadyAssignedNote"), "Bereits Firmware-ID 04 zugeordnet");
  type(view, "wellen");
  EXPECT_EQ(choice->currentIndex(), -1) << "typed text that is no entry selects none";
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.effectSemanticMap().at(1), rawValue(LightingMode::ripples));
  EXPECT_EQ(choice->itemText(choice->findData("Wellen")), "✓ Wellen — ID 01, 04");
  type(view, "Neigen");
  EXPECT_EQ(choice->currentData().toString(), "Neigen") << "a typed entry name selects it";
}

TEST_F(CalibrationViewTest, ABlankNameCannotBeSaved) {
  attach(Attached::none);
  auto& view = open<CalibrationView>();
  type(view, " \t ");
  EXPECT_FALSE(find(view, "saveButton")->isEnabled());
  type(view, " x ");
  EXPECT_TRUE(find(view, "saveButton")->isEnabled());
}

// Without a keyboard: names are stored all the same, the previews fail.
TEST_F(CalibrationViewTest, SavedNamesAreCountedAndEffectsShownAsCapsules) {
  AppModel& model = attach(Attached::none);
  auto& view = open<CalibrationView>();
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 0 von 19");
  EXPECT_EQ(text(view, "noAssignmentsText"), "Noch keine Effektzuordnung gespeichert.");
  type(view, "Mein Effekt");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_TRUE(find(view, "noAssignmentsText")->isVisible()) << "free text: no capsule";
  choose(view, "observedChoice", "Atmen");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 2 von 19");
  EXPECT_EQ(text(view, "capsule02"), "ID 02 → Atmen");
  EXPECT_EQ(view.findChild<QLabel*>("capsule01"), nullptr);
  EXPECT_FALSE(find(view, "noAssignmentsText")->isVisible());
}

TEST_F(CalibrationViewTest, ClearingAndResetForgetNames) {
  AppModel& model = attach(Attached::none);
  model.setCustomEffectName("Atmen", 1);
  model.setCustomEffectName("Wellen", 2);
  auto& view = open<CalibrationView>();
  type(view, "");
  click(view, "clearAssignmentButton");  // enabled with an empty field too
  EXPECT_FALSE(model.customEffectNames().contains(1));
  EXPECT_FALSE(model.effectSemanticMap().contains(1));
  EXPECT_EQ(find<QComboBox>(view, "observedChoice")->currentText(), "Bitte auswählen …");
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 1 von 19");
  click(view, "resetNamesButton");
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 0 von 19");
  EXPECT_FALSE(settings().contains("customEffectNames"));
}

// The dialog covers the main window's status line, so it repeats it where the user looks.
TEST_F(CalibrationViewTest, FooterMirrorsTheBusyIndicatorAndTheTestsMessage) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<CalibrationView>();
  walkTo(model, view, 5);
  click(view, "testButton");
  EXPECT_EQ(text(view, "calibrationStatus"), "Wird übertragen …");
  EXPECT_TRUE(find(view, "calibrationBusyIndicator")->isVisible());
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "calibrationStatus"), "Firmware-ID 05 wird getestet");
  EXPECT_FALSE(find(view, "calibrationBusyIndicator")->isVisible());
}

TEST_F(CalibrationViewTest, FooterShowsAFailedPreview) {
  AppModel& model = attach(Attached::none);
  auto& view = open<CalibrationView>();
  click(view, "nextIdButton");
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "calibrationStatus"), "Fehler");
}

// Esc and the window's close button end the walk as the finish button does: the keyboard shows
// the profile's lighting again, not the cyan test effect.
class CalibrationCloseTest : public CalibrationViewTest,
                             public ::testing::WithParamInterface<const char*> {
 protected:
  QPointer<QDialog> openAndTest() {
    AppModel& model = attach(Attached::zepa);
    model.editProfile([](ZEPAProfile& p) { p.lighting.mode = LightingMode::breath; });
    auto& window = open<MainWindow>();
    waitUntilIdle(model);  // the start-up clock sync
    click(window, "calibrationEntry");
    QPointer<QDialog> dialog = window.contentView()->calibrationDialog();
    EXPECT_NE(dialog, nullptr);
    if (dialog) click(*dialog, "testButton");
    return dialog;
  }
  void closeBy(const std::string& way, QDialog& dialog) {
    const bool busy = model_->busy();  // the finish button is disabled meanwhile
    if (way == "finish" && busy) model_->finishCalibration();
    if (way == "finish" && !busy) click(dialog, "finishButton");
    if (way == "escape") QTest::keyClick(&dialog, Qt::Key_Escape);
    if (way == "close") dialog.close();
  }
};

TEST_P(CalibrationCloseTest, ClosingRestoresTheProfilesLighting) {
  QPointer<QDialog> dialog = openAndTest();
  ASSERT_NE(dialog, nullptr);
  waitUntilIdle(*model_);
  ASSERT_EQ(simulator_->zepaState()["lighting"]["effect"], 1) << "the test effect is shown";
  closeBy(GetParam(), *dialog);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog.isNull()) << "still open";
  EXPECT_FALSE(model_->showCalibration());
  waitUntilIdle(*model_);
  EXPECT_EQ(model_->message(), "Beleuchtung aktualisiert");
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(LightingMode::breath));
}

// Closed while the preview is still on its way: the restore follows it instead of being dropped.
TEST_P(CalibrationCloseTest, ClosingDuringAPreviewRestoresAfterIt) {
  QPointer<QDialog> dialog = openAndTest();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(model_->busy());
  closeBy(GetParam(), *dialog);
  waitUntilIdle(*model_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model_->message() == "Beleuchtung aktualisiert"; }))
      << model_->message().toStdString();
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(LightingMode::breath));
}

INSTANTIATE_TEST_SUITE_P(Ways, CalibrationCloseTest, ::testing::Values("finish", "escape", "close"),
                         [](const auto& info) { return std::string(info.param); });

// A library's exception carries English text; the user reads a German sentence instead.
TEST_F(CalibrationViewTest, AnUnexpectedErrorReadsAsAGermanSentence) {
  attach(Attached::zepa);
  ModelEnvironment throwing = environment();
  throwing.sleeper = [](auto) { throw std::runtime_error("bad function call in pacing"); };
  model_ = std::make_unique<AppModel>(throwing);
  auto& window = open<MainWindow>();
  model_->applyLighting();
  waitUntilIdle(*model_);
  const QString sentence =
      "Bei der Übertragung ist ein unerwarteter Fehler aufgetreten. Bitte die Tastatur neu "
      "verbinden und es erneut versuchen.";
  EXPECT_EQ(error(*model_), sentence);
  ASSERT_NE(window.contentView()->alert(), nullptr);
  EXPECT_EQ(window.contentView()->alert()->text(), sentence);
}

}  // namespace
}  // namespace zepa::uitest
