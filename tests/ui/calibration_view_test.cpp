// SPDX-License-Identifier: MIT
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
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
    while (view.effectID() != id) {
      click(view, view.effectID() < id ? "nextIdButton" : "previousIdButton");
      waitUntilIdle(model);
    }
  }
  // The first 16 bytes of the lighting report the keyboard shows, "none" before any.
  std::string shownLighting() const {
    const auto lighting = simulator_->zepaState()["lighting"];
    return lighting.is_null() ? "none" : lighting["report"].get<std::string>();
  }
  int sequences() const { return simulator_->zepaState()["applied"].get<int>(); }
};

TEST_F(CalibrationViewTest, ArrowsAndSavingWalkFromOneToNineteenWithAPreviewPerStep) {
  // An arrow, "save:" and the name typed, or "walk" with the arrows; then the ID shown, the
  // arrows enabled, its reference name and how many lighting sequences the keyboard took.
  const std::tuple<const char*, int, bool, bool, const char*, int> steps[] = {
      {"", 1, false, true, "Statisch", 0},
      {"nextIdButton", 2, true, true, "Einzeln ein", 1},
      {"previousIdButton", 1, false, true, "Statisch", 2},
      {"save: Statisch ", 2, true, true, "Einzeln ein", 3},
      {"walk", 19, true, false, "Pendeln", 20},
      {"save:Mein Effekt", 19, true, false, "Pendeln", 20}};  // no preview at the end
  AppModel& model = attach(Attached::zepa);
  model.setShowCalibration(true);
  auto& view = open<CalibrationView>();
  EXPECT_GE(view.minimumWidth(), 680);
  EXPECT_GE(view.minimumHeight(), 560);
  for (const auto& [step, id, previous, next, reference, applied] : steps) {
    SCOPED_TRACE(testing::Message() << step << " to " << id);
    const std::string action = step;
    const int from = view.effectID();
    const QString typed = QString::fromUtf8(action.starts_with("save:") ? step + 5 : "");
    if (action == "walk") walkTo(model, view, id);
    if (!typed.isEmpty()) type(view, typed);
    if (!typed.isEmpty() || action.ends_with("IdButton")) {
      click(view, typed.isEmpty() ? step : "saveButton");
      EXPECT_FALSE(find(view, "nextIdButton")->isEnabled()) << "while the preview is sent";
      waitUntilIdle(model);
    }
    if (!typed.isEmpty()) {
      EXPECT_EQ(model.customEffectNames().at(from), typed.trimmed().toStdString());
      EXPECT_EQ(field(view), id == from ? typed : "") << "the name stored for the ID shown";
    }
    EXPECT_EQ(view.effectID(), id);
    EXPECT_EQ(find(view, "previousIdButton")->isEnabled(), previous);
    EXPECT_EQ(find(view, "nextIdButton")->isEnabled(), next);
    EXPECT_EQ(find<QPushButton>(view, "saveButton")->text(),
              next ? "Speichern und nächste ID testen" : "Letzte Zuordnung speichern");
    EXPECT_EQ(text(view, "effectIdLabel") + " " + find<QPushButton>(view, "testButton")->text(),
              QString::asprintf("%02d ID %02d jetzt testen", id, id));
    EXPECT_EQ(text(view, "referenceName"), QString::fromUtf8(reference));
    EXPECT_EQ(sequences(), applied);
    // The test settings after the ID: cyan, brightness 5, speed 2, one colour.
    EXPECT_EQ(shownLighting(), applied ? QString::asprintf("%02x", id).toStdString() +
                                             " 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55"
                                       : "none");
  }
  click(view, "finishButton");  // closes, and the profile's lighting replaces the test effect
  EXPECT_FALSE(model.showCalibration() || view.isVisible());
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(model.profile().lighting.mode));
}

TEST_F(CalibrationViewTest, AlreadyAssignedNoteComparesTheExactNameTheModelIgnoresCase) {
  const std::tuple<int, bool, const char*, bool> rows[] = {
      // ID, typed or chosen, name, note
      {15, false, "Wellen", true},
      {15, true, "Wellen", true},
      {15, true, "wellen", false},
      {4, false, "Wellen", false},  // the ID it is assigned to
      {15, false, "Atmen", false}};
  AppModel& model = attach(Attached::zepa);
  model.setCustomEffectName("Wellen", 4);
  auto& view = open<CalibrationView>();
  auto* choice = find<QComboBox>(view, "observedChoice");
  EXPECT_EQ(choice->count(), 20);
  EXPECT_EQ(choice->itemText(choice->findData("Wellen")), "✓ Wellen — ID 04");
  EXPECT_EQ(choice->itemText(choice->findData("Atmen")), "Atmen");
  for (const auto& [id, typed, name, note] : rows) {
    SCOPED_TRACE(testing::Message() << name << " at " << id << (typed ? " typed" : ""));
    walkTo(model, view, id);
    typed ? type(view, QString::fromUtf8(name))
          : choose(view, "observedChoice", QString::fromUtf8(name));
    EXPECT_EQ(view.observedName(), QString::fromUtf8(name));
    EXPECT_EQ(field(view), QString::fromUtf8(name)) << "choice and field edit one name";
    EXPECT_EQ(find(view, "alreadyAssignedNote")->isVisible(), note);
    if (note) {
      EXPECT_EQ(text(view, "alreadyAssignedNote"), "Bereits Firmware-ID 04 zugeordnet");
    }
  }
  // Typed text that is no entry selects none, yet the model records the effect ignoring case.
  type(view, "wellen");
  EXPECT_EQ(choice->currentIndex(), -1);
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.effectSemanticMap().at(15), rawValue(LightingMode::ripples));
  EXPECT_EQ(choice->itemText(choice->findData("Wellen")), "✓ Wellen — ID 04, 15");
  type(view, "Neigen");
  EXPECT_EQ(choice->currentData().toString(), "Neigen") << "a typed entry name selects it";
}

// Without a keyboard: names are stored all the same, the previews fail.
TEST_F(CalibrationViewTest, BlankNamesFooterCountCapsulesClearingAndReset) {
  AppModel& model = attach(Attached::none);
  auto& view = open<CalibrationView>();
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 0 von 19");
  EXPECT_EQ(text(view, "noAssignmentsText"), "Noch keine Effektzuordnung gespeichert.");
  for (const auto& [typed, save] :
       {std::pair{"", false}, {"   ", false}, {" \t ", false}, {" x ", true}}) {
    type(view, QString::fromUtf8(typed));
    EXPECT_EQ(find(view, "saveButton")->isEnabled(), save) << '"' << typed << '"';
  }
  type(view, "Mein Effekt");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 1 von 19");
  EXPECT_TRUE(find(view, "noAssignmentsText")->isVisible()) << "free text: no capsule";
  choose(view, "observedChoice", "Atmen");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 2 von 19");
  EXPECT_EQ(text(view, "capsule02"), "ID 02 → Atmen");
  EXPECT_EQ(view.findChild<QLabel*>("capsule01"), nullptr);
  EXPECT_FALSE(find(view, "noAssignmentsText")->isVisible());

  walkTo(model, view, 2);
  type(view, "");
  click(view, "clearAssignmentButton");  // enabled with an empty field too
  EXPECT_FALSE(model.customEffectNames().contains(2));
  EXPECT_FALSE(model.effectSemanticMap().contains(2));
  EXPECT_EQ(find<QComboBox>(view, "observedChoice")->currentText(), "Bitte auswählen …");
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 1 von 19");
  click(view, "resetNamesButton");
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 0 von 19");
  EXPECT_EQ(field(view), "");
  EXPECT_FALSE(settings().contains("customEffectNames"));
}

// The dialog covers the main window's status line, so it repeats it where the user looks.
TEST_F(CalibrationViewTest, FooterMirrorsTheStatusLineAndTheBusyIndicator) {
  const std::tuple<Attached, const char*, const char*> rows[] = {
      // keyboard, arrow pressed, footer after the preview
      {Attached::zepa, "nextIdButton", "Firmware-ID 02 wird getestet"},
      {Attached::none, "nextIdButton", "Fehler"}};
  for (const auto& [attached, arrow, outcome] : rows) {
    SCOPED_TRACE(outcome);
    AppModel& model = attach(attached);
    auto& view = open<CalibrationView>();
    click(view, arrow);
    EXPECT_EQ(text(view, "calibrationStatus"), "Wird übertragen …");
    EXPECT_TRUE(find(view, "calibrationBusyIndicator")->isVisible());
    waitUntilIdle(model);
    EXPECT_EQ(text(view, "calibrationStatus"), QString::fromUtf8(outcome));
    EXPECT_FALSE(find(view, "calibrationBusyIndicator")->isVisible());
  }
}

TEST_F(CalibrationViewTest, TheTestButtonsMessageAppearsInTheFooter) {
  AppModel& model = attach(Attached::zepa);
  auto& view = open<CalibrationView>();
  walkTo(model, view, 5);
  click(view, "testButton");
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "calibrationStatus"), "Firmware-ID 05 wird getestet");
}

// Esc and the window's close button end the walk as the finish button does: the keyboard shows
// the profile's lighting again, not the cyan test effect.
class CalibrationCloseTest : public CalibrationViewTest,
                             public testing::WithParamInterface<const char*> {};

TEST_P(CalibrationCloseTest, ClosingRestoresTheProfilesLighting) {
  const std::string way = GetParam();
  AppModel& model = attach(Attached::zepa);
  model.editProfile([](ZEPAProfile& p) { p.lighting.mode = LightingMode::breath; });
  auto& window = open<MainWindow>();
  waitUntilIdle(model);  // the start-up clock sync
  click(window, "calibrationEntry");
  QPointer<QDialog> dialog = window.contentView()->calibrationDialog();
  ASSERT_NE(dialog, nullptr);
  click(*dialog, "testButton");
  waitUntilIdle(model);
  ASSERT_EQ(simulator_->zepaState()["lighting"]["effect"], 1) << "the test effect is shown";
  if (way == "finish") click(*dialog, "finishButton");
  if (way == "escape") QTest::keyClick(dialog.data(), Qt::Key_Escape);
  if (way == "close") dialog->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog.isNull()) << "still open";
  EXPECT_FALSE(model.showCalibration());
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(LightingMode::breath));
}

// Closed while the preview is still on its way: the restore follows it instead of being dropped.
TEST_P(CalibrationCloseTest, ClosingDuringAPreviewRestoresAfterIt) {
  const std::string way = GetParam();
  AppModel& model = attach(Attached::zepa);
  model.editProfile([](ZEPAProfile& p) { p.lighting.mode = LightingMode::breath; });
  auto& window = open<MainWindow>();
  waitUntilIdle(model);  // the start-up clock sync
  click(window, "calibrationEntry");
  QPointer<QDialog> dialog = window.contentView()->calibrationDialog();
  ASSERT_NE(dialog, nullptr);
  click(*dialog, "testButton");
  ASSERT_TRUE(model.busy());
  if (way == "finish") model.finishCalibration();  // its button is disabled meanwhile
  if (way == "escape") QTest::keyClick(dialog.data(), Qt::Key_Escape);
  if (way == "close") dialog->close();
  waitUntilIdle(model);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model.message() == "Beleuchtung aktualisiert"; }))
      << model.message().toStdString();
  EXPECT_EQ(simulator_->zepaState()["lighting"]["effect"], rawValue(LightingMode::breath));
}

INSTANTIATE_TEST_SUITE_P(Ways, CalibrationCloseTest, testing::Values("finish", "escape", "close"),
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
  ASSERT_TRUE(model_->errorMessage().has_value());
  EXPECT_EQ(*model_->errorMessage(),
            "Bei der Übertragung ist ein unerwarteter Fehler aufgetreten. Bitte die Tastatur neu "
            "verbinden und es erneut versuchen.");
  ASSERT_NE(window.contentView()->alert(), nullptr);
  EXPECT_EQ(window.contentView()->alert()->text(), *model_->errorMessage());
}

}  // namespace
}  // namespace zepa::uitest
