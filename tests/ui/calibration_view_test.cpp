#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <functional>
#include <string>

#include "app/views/calibration_view.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class CalibrationViewTest : public ViewTest {
 protected:
  // Laid out at a window's size, as the user sees it; unshown buttons have no height to click.
  static void present(QWidget& view) {
    view.resize(900, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  static void click(const QWidget& view, const char* name) {
    QTest::mouseClick(find<QAbstractButton>(view, name), Qt::LeftButton);
  }
  static void type(const QWidget& view, const QString& text) {
    auto* field = find<QLineEdit>(view, "observedNameField");
    field->clear();
    if (!text.isEmpty())
      QTest::keyClicks(field, text);
    else
      emit field->textEdited(QString());
  }
  static void choose(const QWidget& view, const QString& name) {
    auto* box = find<QComboBox>(view, "observedChoice");
    const int index = box->findData(name);
    ASSERT_GE(index, 0) << name.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  // Steps with the arrows, letting each preview finish.
  static void walkTo(AppModel& model, CalibrationView& view, int id) {
    while (view.effectID() != id) {
      click(view, view.effectID() < id ? "nextIdButton" : "previousIdButton");
      waitUntilIdle(model);
    }
  }
  // How many sequences the keyboard applied, and the lighting it shows ("none" before any).
  int applied() const { return keyboards_->zepaState()["applied"].get<int>(); }
  std::string shownLighting() const {
    const auto lighting = keyboards_->zepaState()["lighting"];
    return lighting.is_null() ? "none" : lighting["report"].get<std::string>();
  }
  static QString text(const QWidget& view, const char* name) {
    return find<QLabel>(view, name)->text();
  }
};

struct ArrowStep {
  const char* button;
  int id;
  bool previous, next;
  const char* save;
};

TEST_F(CalibrationViewTest, ArrowsStopAtOneAndNineteenAndShowEachStep) {
  AppModel& model = makeModel(Attached::zepa);
  CalibrationView view(model);
  present(view);
  EXPECT_GE(view.minimumWidth(), 680);
  EXPECT_GE(view.minimumHeight(), 560);
  const ArrowStep opening{nullptr, 1, false, true, "Speichern und nächste ID testen"};
  const ArrowStep steps[] = {
      {"nextIdButton", 2, true, true, "Speichern und nächste ID testen"},
      {"previousIdButton", 1, false, true, "Speichern und nächste ID testen"},
  };
  auto check = [&](const ArrowStep& s) {
    EXPECT_EQ(view.effectID(), s.id);
    EXPECT_EQ(find<QToolButton>(view, "previousIdButton")->isEnabled(), s.previous);
    EXPECT_EQ(find<QToolButton>(view, "nextIdButton")->isEnabled(), s.next);
    EXPECT_EQ(find<QPushButton>(view, "saveButton")->text(), QString::fromUtf8(s.save));
    EXPECT_EQ(text(view, "effectIdLabel"), QString::asprintf("%02d", s.id));
    EXPECT_EQ(find<QPushButton>(view, "testButton")->text(),
              QString::asprintf("ID %02d jetzt testen", s.id));
  };
  check(opening);
  EXPECT_EQ(text(view, "referenceName"), "Statisch");
  EXPECT_EQ(shownLighting(), "none") << "opening sends nothing";
  for (const ArrowStep& step : steps) {
    SCOPED_TRACE(step.button);
    click(view, step.button);
    EXPECT_FALSE(find<QToolButton>(view, "nextIdButton")->isEnabled()) << "busy";
    waitUntilIdle(model);
    check(step);
    // The test settings: cyan, brightness 5, speed 2, single colour.
    EXPECT_EQ(shownLighting(),
              QString::asprintf("%02x 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55", step.id)
                  .toStdString());
  }
  EXPECT_EQ(applied(), 2);
  walkTo(model, view, 19);
  check({nullptr, 19, true, false, "Letzte Zuordnung speichern"});
  EXPECT_EQ(text(view, "referenceName"), "Pendeln");
  EXPECT_EQ(shownLighting(), "13 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55");
  EXPECT_EQ(applied(), 2 + 18);
}

TEST_F(CalibrationViewTest, SavingAdvancesWithAPreviewExceptOnTheLastID) {
  AppModel& model = makeModel(Attached::zepa);
  CalibrationView view(model);
  present(view);
  type(view, " Statisch ");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(view.effectID(), 2);
  EXPECT_EQ(model.customEffectNames().at(1), "Statisch");
  EXPECT_EQ(find<QLineEdit>(view, "observedNameField")->text(), "") << "ID 2 has no name yet";
  EXPECT_EQ(shownLighting(), "02 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55");

  walkTo(model, view, 19);
  keyboards_->clearLog();
  type(view, "Mein Effekt");
  click(view, "saveButton");
  EXPECT_FALSE(model.busy()) << "no preview at the last ID";
  EXPECT_TRUE(keyboards_->log().empty());
  EXPECT_EQ(view.effectID(), 19);
  EXPECT_EQ(model.customEffectNames().at(19), "Mein Effekt");
  EXPECT_EQ(find<QLineEdit>(view, "observedNameField")->text(), "Mein Effekt");
}

struct BlankCase {
  const char* typed;
  bool save;
};

TEST_F(CalibrationViewTest, BlankNamesCannotBeSavedButAssignmentsCanAlwaysBeCleared) {
  const BlankCase cases[] = {{"", false}, {"   ", false}, {" \t ", false}, {" x ", true}};
  AppModel& model = makeModel(Attached::none);
  model.setCustomEffectName("Wellen", 1);
  CalibrationView view(model);
  present(view);
  EXPECT_EQ(find<QLineEdit>(view, "observedNameField")->text(), "Wellen");
  for (const BlankCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.typed << '"');
    type(view, QString::fromUtf8(c.typed));
    EXPECT_EQ(find<QPushButton>(view, "saveButton")->isEnabled(), c.save);
    EXPECT_TRUE(find<QPushButton>(view, "clearAssignmentButton")->isEnabled());
  }
  type(view, "");
  click(view, "clearAssignmentButton");
  EXPECT_FALSE(model.customEffectNames().contains(1));
  EXPECT_FALSE(model.effectSemanticMap().contains(1));
  EXPECT_EQ(find<QComboBox>(view, "observedChoice")->currentText(), "Bitte auswählen …");
}

struct NoteCase {
  const char* what;
  int id;
  bool typed;  // else chosen from the list
  const char* name;
  const char* note;  // nullptr: hidden
};

TEST_F(CalibrationViewTest, AlreadyAssignedNoteComparesTheExactName) {
  const NoteCase cases[] = {
      {"chosen on another ID", 15, false, "Wellen", "Bereits Firmware-ID 04 zugeordnet"},
      {"typed exactly", 15, true, "Wellen", "Bereits Firmware-ID 04 zugeordnet"},
      {"typed in lower case", 15, true, "wellen", nullptr},
      {"on the assigned ID itself", 4, false, "Wellen", nullptr},
      {"another effect", 15, false, "Atmen", nullptr},
  };
  AppModel& model = makeModel(Attached::zepa);
  model.setCustomEffectName("Wellen", 4);
  CalibrationView view(model);
  present(view);
  auto* choice = find<QComboBox>(view, "observedChoice");
  EXPECT_EQ(choice->itemText(choice->findData("Wellen")), "✓ Wellen — ID 04");
  EXPECT_EQ(choice->itemText(choice->findData("Atmen")), "Atmen");
  EXPECT_EQ(choice->count(), 20);

  for (const NoteCase& c : cases) {
    SCOPED_TRACE(c.what);
    walkTo(model, view, c.id);
    if (c.typed)
      type(view, QString::fromUtf8(c.name));
    else
      choose(view, QString::fromUtf8(c.name));
    EXPECT_EQ(view.observedName(), QString::fromUtf8(c.name));
    EXPECT_EQ(shown(find<QLabel>(view, "alreadyAssignedNote"), &view), c.note != nullptr);
    if (c.note) {
      EXPECT_EQ(text(view, "alreadyAssignedNote"), QString::fromUtf8(c.note));
    }
  }

  // The model matches ignoring case, so the lower-case name still records the effect.
  walkTo(model, view, 15);
  type(view, "wellen");
  EXPECT_EQ(choice->currentIndex(), -1) << "a typed text that is no entry selects none";
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.effectSemanticMap().at(15), rawValue(LightingMode::ripples));
  EXPECT_EQ(choice->itemText(choice->findData("Wellen")), "✓ Wellen — ID 04, 15");
}

TEST_F(CalibrationViewTest, ChoiceAndFieldEditOneName) {
  AppModel& model = makeModel(Attached::none);
  CalibrationView view(model);
  present(view);
  auto* choice = find<QComboBox>(view, "observedChoice");
  auto* field = find<QLineEdit>(view, "observedNameField");
  EXPECT_EQ(choice->currentText(), "Bitte auswählen …");
  choose(view, "Fließen");
  EXPECT_EQ(field->text(), "Fließen");
  type(view, "Neigen");
  EXPECT_EQ(choice->currentData().toString(), "Neigen");
  type(view, "Neigen!");
  EXPECT_EQ(choice->currentIndex(), -1);
}

TEST_F(CalibrationViewTest, FooterCountsNamesAndCapsulesShowOnlyRecordedEffects) {
  AppModel& model = makeModel(Attached::none);
  CalibrationView view(model);
  present(view);
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 0 von 19");
  EXPECT_TRUE(shown(find<QLabel>(view, "noAssignmentsText"), &view));

  type(view, "Mein Effekt");
  click(view, "saveButton");  // the preview fails without a keyboard; the name is stored
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 1 von 19");
  EXPECT_TRUE(shown(find<QLabel>(view, "noAssignmentsText"), &view)) << "free text: no capsule";
  EXPECT_EQ(find<QLabel>(view, "noAssignmentsText")->text(),
            "Noch keine Effektzuordnung gespeichert.");

  choose(view, "Atmen");
  click(view, "saveButton");
  waitUntilIdle(model);
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 2 von 19");
  EXPECT_EQ(text(view, "capsule02"), "ID 02 → Atmen");
  EXPECT_EQ(view.findChild<QLabel*>("capsule01"), nullptr);

  click(view, "resetNamesButton");
  EXPECT_EQ(text(view, "savedCount"), "Gespeichert: 0 von 19");
  EXPECT_TRUE(shown(find<QLabel>(view, "noAssignmentsText"), &view));
  EXPECT_EQ(find<QLineEdit>(view, "observedNameField")->text(), "");
  EXPECT_FALSE(QSettings("ZEPA Control", "ZEPA Control").contains("customEffectNames"));
}

TEST_F(CalibrationViewTest, WithoutKeyboardOnlyTheTestButtonIsDisabled) {
  AppModel& model = makeModel(Attached::none);
  CalibrationView view(model);
  present(view);
  EXPECT_FALSE(find<QPushButton>(view, "testButton")->isEnabled());
  for (const char* name :
       {"nextIdButton", "finishButton", "clearAssignmentButton", "resetNamesButton"}) {
    EXPECT_TRUE(find<QAbstractButton>(view, name)->isEnabled()) << name;
  }
}

TEST_F(CalibrationViewTest, FinishingClosesAndRestoresTheProfileLighting) {
  AppModel& model = makeModel(Attached::zepa);
  model.setShowCalibration(true);
  CalibrationView view(model);
  present(view);
  view.show();
  click(view, "testButton");
  waitUntilIdle(model);
  EXPECT_EQ(keyboards_->zepaState()["lighting"]["effect"], 1);

  click(view, "finishButton");
  EXPECT_FALSE(model.showCalibration());
  EXPECT_FALSE(view.isVisible());
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  EXPECT_EQ(keyboards_->zepaState()["lighting"]["effect"], rawValue(model.profile().lighting.mode));
}

}  // namespace
}  // namespace zepa::uitest
