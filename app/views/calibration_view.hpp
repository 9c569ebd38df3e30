// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "protocol/records.hpp"

class QBoxLayout;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedLayout;
class QToolButton;

namespace zepa {

class AppModel;

// The effect calibration walk: show firmware effect IDs 1 to 19 on the keyboard one after the
// other with fixed test settings and record which effect is really visible. Modal; the main
// window creates a fresh one each time, so every walk starts on ID 1.
class CalibrationView : public QDialog {
  Q_OBJECT
 public:
  explicit CalibrationView(AppModel& model, QWidget* parent = nullptr);

  static constexpr int firstID = 1;
  static constexpr int lastID = rawValue(lastLightingMode);

  int effectID() const { return effectID_; }
  const QString& observedName() const { return observedName_; }

  // The built-in names of every effect but "Aus", in raw order.
  static const std::vector<QString>& commonNames();
  // A choice entry's label: the name, marked with the IDs already recorded for that effect.
  QString optionLabel(const QString& name) const;
  // IDs other than the current one already recorded for the effect named exactly as typed.
  std::vector<int> alreadyAssignedIDs() const;

  // Every way of closing (Esc, the window's close button) ends the walk as the finish button
  // does, so the keyboard never keeps the test effect.
  void done(int result) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* makeHeader();
  QWidget* makeTestPanel();
  QWidget* makeAssignmentGroup();
  QWidget* makeSavedGroup();
  QHBoxLayout* makeFooter();

  void changeID(int step);
  void saveAndContinue();
  void clearAssignment();
  void resetNames();
  void finish();
  void loadName();
  void setObservedName(const QString& name, bool fromField);
  void refresh();
  void refreshChoices();
  void refreshCapsules();
  void refreshStatus();

  AppModel& model_;
  int effectID_ = firstID;
  QString observedName_;

  QPushButton* finish_ = nullptr;
  QToolButton* previous_ = nullptr;
  QToolButton* next_ = nullptr;
  QLabel* idLabel_ = nullptr;
  QLabel* referenceName_ = nullptr;
  QPushButton* test_ = nullptr;
  QComboBox* choice_ = nullptr;
  QWidget* alreadyAssigned_ = nullptr;
  QLabel* alreadyAssignedText_ = nullptr;
  QLineEdit* field_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* save_ = nullptr;
  QStackedLayout* savedStack_ = nullptr;
  QWidget* noAssignments_ = nullptr;
  QWidget* capsuleScroll_ = nullptr;
  QHBoxLayout* capsules_ = nullptr;
  QPushButton* reset_ = nullptr;
  QLabel* savedCount_ = nullptr;
  QProgressBar* busyIndicator_ = nullptr;
  QLabel* status_ = nullptr;
  QBoxLayout* buttons_ = nullptr;
  int buttonsSideBySideWidth_ = 0;
};

}  // namespace zepa
