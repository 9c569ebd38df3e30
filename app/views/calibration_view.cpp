// SPDX-License-Identifier: MIT
#include "app/views/calibration_view.hpp"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QStringList>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/model/app_model.hpp"
#include "app/views/destructive.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/rounded_panel.hpp"

namespace zepa {

namespace {

QString twoDigits(int id) {
  return QStringLiteral("%1").arg(id, 2, 10, QLatin1Char('0'));
}

QString joinIDs(const std::vector<int>& ids) {
  QStringList parts;
  for (int id : ids) parts << twoDigits(id);
  return parts.join(QStringLiteral(", "));
}

// Exact comparison, letter case included: the choice list offers the names as written.
std::optional<LightingMode> modeNamedExactly(const QString& text) {
  for (LightingMode mode : allLightingModes()) {
    if (QString::fromStdString(name(mode)) == text) return mode;
  }
  return std::nullopt;
}

QLabel* boldLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->setWordWrap(true);
  return label;
}

QLabel* colouredLabel(const QString& text, const QColor& color, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  return label;
}

const QColor orange(0xd9, 0x6a, 0x00);
const QColor cyan(0x00, 0x97, 0xbd);

}  // namespace

const std::vector<QString>& CalibrationView::commonNames() {
  static const std::vector<QString> names = [] {
    std::vector<QString> list;
    for (LightingMode mode : allLightingModes()) {
      if (mode != LightingMode::off) list.push_back(QString::fromStdString(name(mode)));
    }
    return list;
  }();
  return names;
}

QString CalibrationView::optionLabel(const QString& name) const {
  const auto mode = modeNamedExactly(name);
  if (!mode) return name;
  const std::vector<int> ids = model_.assignedFirmwareIDs(*mode);
  if (ids.empty()) return name;
  return QStringLiteral("✓ %1 — ID %2").arg(name, joinIDs(ids));
}

std::vector<int> CalibrationView::alreadyAssignedIDs() const {
  const auto mode = modeNamedExactly(observedName_);
  if (!mode) return {};
  std::vector<int> ids = model_.assignedFirmwareIDs(*mode);
  std::erase(ids, effectID_);
  std::sort(ids.begin(), ids.end());
  return ids;
}

CalibrationView::CalibrationView(AppModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName(QStringLiteral("calibrationView"));
  setWindowTitle(QStringLiteral("Effekte kalibrieren"));
  setMinimumSize(680, 560);
  resize(760, 640);

  auto* divider = new QFrame(this);
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);

  auto* panels = new QHBoxLayout;
  panels->setSpacing(24);
  QWidget* testPanel = makeTestPanel();
  QWidget* assignment = makeAssignmentGroup();
  panels->addWidget(testPanel, 0, Qt::AlignTop);
  panels->addWidget(assignment, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setSpacing(18);
  layout->addWidget(makeHeader());
  layout->addWidget(divider);
  layout->addLayout(panels);
  layout->addWidget(makeSavedGroup());
  layout->addStretch(1);
  layout->addLayout(makeFooter());

  for (auto signal :
       {&AppModel::busyChanged, &AppModel::connectedChanged, &AppModel::customEffectNamesChanged,
        &AppModel::effectSemanticMapChanged, &AppModel::effectNamesRevisionChanged}) {
    connect(&model_, signal, this, &CalibrationView::refresh);
  }
  // The header is made after the panels; Tab follows the reading order instead.
  QWidget* previous = finish_;
  for (QWidget* next : std::initializer_list<QWidget*>{previous_, next_, test_, choice_, field_,
                                                       clear_, save_, reset_}) {
    setTabOrder(previous, next);
    previous = next;
  }
  // Titles change; sized for the longest, so no text touches the edges.
  test_->setText(QStringLiteral("ID %1 jetzt testen").arg(lastID));
  save_->setText(QStringLiteral("Speichern und nächste ID testen"));
  save_->setMinimumWidth(save_->sizeHint().width());
  giveButtonsRoom(this);
  // Side by side the two buttons need more than the minimum width leaves them; below that
  // they stack instead of squeezing their texts.
  const QMargins inner = assignment->layout()->contentsMargins();
  buttonsSideBySideWidth_ = 24 + testPanel->sizeHint().width() + 24 + inner.left() +
                            clear_->minimumWidth() + buttons_->spacing() + 12 +
                            save_->minimumWidth() + inner.right() + 8 + 24;
  // Opening sends nothing: only the test button and the arrows reach the keyboard.
  loadName();
}

QWidget* CalibrationView::makeHeader() {
  auto* header = new QWidget(this);
  auto* title = new QLabel(QStringLiteral("Effekte kalibrieren"), header);
  title->setObjectName(QStringLiteral("calibrationHeadline"));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  title->setFont(big);
  QLabel* subtitle = secondaryLabel(
      QStringLiteral("Firmware-ID testen und passend zu deinem Keyboard benennen"), header);

  finish_ = new QPushButton(QStringLiteral("Fertig und Profil wiederherstellen"), header);
  finish_->setObjectName(QStringLiteral("finishButton"));
  finish_->setAutoDefault(false);
  connect(finish_, &QPushButton::clicked, this, &CalibrationView::finish);

  auto* titles = new QVBoxLayout;
  titles->setSpacing(4);
  titles->addWidget(title);
  titles->addWidget(subtitle);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(0, 0, 0, 0);
  row->addLayout(titles, 1);
  row->addWidget(finish_, 0, Qt::AlignTop);
  return header;
}

QWidget* CalibrationView::makeTestPanel() {
  auto* panel = new RoundedPanel(14, this);
  panel->setObjectName(QStringLiteral("testPanel"));

  auto makeArrow = [panel](Qt::ArrowType type, const char* name, const QString& label) {
    auto* arrow = new QToolButton(panel);
    arrow->setObjectName(QLatin1String(name));
    arrow->setArrowType(type);
    arrow->setFixedSize(32, 40);
    arrow->setIconSize(QSize(16, 16));
    arrow->setAccessibleName(label);
    arrow->setToolTip(label);
    return arrow;
  };
  previous_ = makeArrow(Qt::LeftArrow, "previousIdButton", QStringLiteral("Vorherige ID"));
  next_ = makeArrow(Qt::RightArrow, "nextIdButton", QStringLiteral("Nächste ID"));
  connect(previous_, &QToolButton::clicked, this, [this] { changeID(-1); });
  connect(next_, &QToolButton::clicked, this, [this] { changeID(+1); });

  idLabel_ = new QLabel(panel);
  idLabel_->setObjectName(QStringLiteral("effectIdLabel"));
  QFont digits = idLabel_->font();
  digits.setPixelSize(58);
  digits.setBold(true);
  digits.setStyleHint(QFont::SansSerif);
  idLabel_->setFont(digits);
  idLabel_->setAlignment(Qt::AlignCenter);
  idLabel_->setMinimumWidth(150);
  QLabel* idCaption = secondaryLabel(QStringLiteral("Firmware-ID"), panel);
  idCaption->setAlignment(Qt::AlignCenter);

  auto* idColumn = new QVBoxLayout;
  idColumn->setSpacing(0);
  idColumn->addWidget(idLabel_);
  idColumn->addWidget(idCaption);
  auto* stepper = new QHBoxLayout;
  stepper->addWidget(previous_, 0, Qt::AlignVCenter);
  stepper->addLayout(idColumn);
  stepper->addWidget(next_, 0, Qt::AlignVCenter);

  QLabel* referenceCaption = noteLabel(QStringLiteral("Referenzbezeichnung"), panel);
  referenceCaption->setAlignment(Qt::AlignCenter);
  referenceName_ = boldLabel(QString(), panel);
  referenceName_->setObjectName(QStringLiteral("referenceName"));
  referenceName_->setAlignment(Qt::AlignCenter);

  test_ = new QPushButton(panel);
  test_->setObjectName(QStringLiteral("testButton"));
  test_->setAutoDefault(false);
  markProminent(test_);
  connect(test_, &QPushButton::clicked, this, [this] { model_.previewEffect(effectID_); });

  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(14, 16, 14, 16);
  layout->setSpacing(6);
  layout->addLayout(stepper);
  layout->addSpacing(10);
  layout->addWidget(referenceCaption);
  layout->addWidget(referenceName_);
  layout->addSpacing(10);
  layout->addWidget(test_);
  return panel;
}

QWidget* CalibrationView::makeAssignmentGroup() {
  auto* group = new QGroupBox(QStringLiteral("Zuordnung festlegen"), this);
  group->setObjectName(QStringLiteral("assignmentGroup"));

  QLabel* step1 = boldLabel(
      QStringLiteral("1. Klicke auf „ID jetzt testen“ und beobachte die Animation."), group);
  QLabel* step2 = boldLabel(
      QStringLiteral("2. Wähle anschließend, welcher Effekt tatsächlich zu sehen ist."), group);

  choice_ = new QComboBox(group);
  choice_->setObjectName(QStringLiteral("observedChoice"));
  choice_->setAccessibleName(QStringLiteral("Dieser Effekt ist"));
  choice_->setMaxVisibleItems(20);
  choice_->addItem(QStringLiteral("Bitte auswählen …"), QString(QLatin1String("")));
  for (const QString& name : commonNames()) choice_->addItem(name, name);
  connect(choice_, &QComboBox::activated, this,
          [this](int index) { setObservedName(choice_->itemData(index).toString(), false); });
  auto* choiceLabel = new QLabel(QStringLiteral("Dieser Effekt ist"), group);
  choiceLabel->setBuddy(choice_);
  auto* choiceRow = new QHBoxLayout;
  choiceRow->addWidget(choiceLabel);
  choiceRow->addWidget(choice_, 1);

  alreadyAssigned_ = new QWidget(group);
  auto* check = colouredLabel(QStringLiteral("✓"), orange, alreadyAssigned_);
  alreadyAssignedText_ = colouredLabel(QString(), orange, alreadyAssigned_);
  alreadyAssignedText_->setObjectName(QStringLiteral("alreadyAssignedNote"));
  auto* noteRow = new QHBoxLayout(alreadyAssigned_);
  noteRow->setContentsMargins(0, 0, 0, 0);
  noteRow->setSpacing(6);
  noteRow->addWidget(check);
  noteRow->addWidget(alreadyAssignedText_, 1);

  field_ = new QLineEdit(group);
  field_->setObjectName(QStringLiteral("observedNameField"));
  field_->setPlaceholderText(QStringLiteral("Oder eigene Bezeichnung eingeben"));
  field_->setAccessibleName(QStringLiteral("Eigene Bezeichnung"));
  connect(field_, &QLineEdit::textEdited, this,
          [this](const QString& text) { setObservedName(text, true); });

  QLabel* previewNote =
      noteLabel(QStringLiteral("Die Testvorschau nutzt Cyan, Helligkeit 5, Tempo 2 und "
                               "Einzelfarbe, damit die Bewegung eindeutig erkennbar ist."),
                group);
  QLabel* moveNote = noteLabel(QStringLiteral("Die Zuordnung verschiebt auch Farbe, Tempo und "
                                              "Links/Rechts auf diese Firmware-ID."),
                               group);
  QFont boldSmall = moveNote->font();
  boldSmall.setBold(true);
  moveNote->setFont(boldSmall);
  QPalette cyanText = moveNote->palette();
  cyanText.setColor(QPalette::WindowText, cyan);
  moveNote->setPalette(cyanText);

  clear_ = new QPushButton(QStringLiteral("Zuordnung löschen"), group);
  clear_->setObjectName(QStringLiteral("clearAssignmentButton"));
  clear_->setAutoDefault(false);
  connect(clear_, &QPushButton::clicked, this, &CalibrationView::clearAssignment);
  save_ = new QPushButton(group);
  save_->setObjectName(QStringLiteral("saveButton"));
  save_->setDefault(true);
  markProminent(save_);
  connect(save_, &QPushButton::clicked, this, &CalibrationView::saveAndContinue);
  buttons_ = new QBoxLayout(QBoxLayout::LeftToRight);
  buttons_->setSpacing(8);
  buttons_->addWidget(clear_, 0, Qt::AlignLeft);
  buttons_->addStretch(1);
  buttons_->addWidget(save_, 0, Qt::AlignRight);

  auto* layout = new QVBoxLayout(group);
  layout->setSpacing(8);
  layout->addWidget(step1);
  layout->addWidget(step2);
  layout->addSpacing(4);
  layout->addLayout(choiceRow);
  layout->addWidget(alreadyAssigned_);
  layout->addWidget(field_);
  layout->addWidget(previewNote);
  layout->addWidget(moveNote);
  layout->addStretch(1);
  layout->addLayout(buttons_);
  return group;
}

QWidget* CalibrationView::makeSavedGroup() {
  auto* group = new QGroupBox(QStringLiteral("Bereits zugeordnet"), this);
  group->setObjectName(QStringLiteral("savedGroup"));

  noAssignments_ = secondaryLabel(QStringLiteral("Noch keine Effektzuordnung gespeichert."), group);
  noAssignments_->setObjectName(QStringLiteral("noAssignmentsText"));

  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("assignmentCapsules"));
  capsules_ = new QHBoxLayout(strip);
  capsules_->setContentsMargins(0, 2, 0, 2);
  capsules_->setSpacing(8);
  capsules_->addStretch(1);
  auto* scroll = new QScrollArea(group);
  scroll->setWidget(strip);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->viewport()->setAutoFillBackground(false);
  strip->setAutoFillBackground(false);
  capsuleScroll_ = scroll;

  auto* host = new QWidget(group);
  savedStack_ = new QStackedLayout(host);
  savedStack_->addWidget(noAssignments_);
  savedStack_->addWidget(capsuleScroll_);
  const int capsuleHeight = fontMetrics().height() + 16;
  scroll->setFixedHeight(capsuleHeight + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(host);
  group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  return group;
}

QHBoxLayout* CalibrationView::makeFooter() {
  reset_ = new QPushButton(QStringLiteral("Alle eigenen Bezeichnungen zurücksetzen"), this);
  reset_->setObjectName(QStringLiteral("resetNamesButton"));
  reset_->setAutoDefault(false);
  markDestructive(reset_);
  connect(reset_, &QPushButton::clicked, this, &CalibrationView::resetNames);
  savedCount_ = secondaryLabel(QString(), this);
  savedCount_->setObjectName(QStringLiteral("savedCount"));

  // The dialog covers the main window's status line; its text and busy bar are repeated here.
  busyIndicator_ = new QProgressBar(this);
  busyIndicator_->setObjectName(QStringLiteral("calibrationBusyIndicator"));
  busyIndicator_->setAccessibleName(QStringLiteral("Übertragung läuft"));
  busyIndicator_->setRange(0, 0);
  busyIndicator_->setTextVisible(false);
  busyIndicator_->setFixedSize(64, 8);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("calibrationStatus"));
  status_->setTextFormat(Qt::PlainText);
  // A status that changes is read out by screen readers.
  status_->setAccessibleName(QStringLiteral("Status"));
  connect(&model_, &AppModel::messageChanged, this, &CalibrationView::refreshStatus);
  connect(&model_, &AppModel::busyChanged, this, &CalibrationView::refreshStatus);

  auto* footer = new QHBoxLayout;
  footer->setSpacing(12);
  footer->addWidget(reset_);
  footer->addStretch(1);
  footer->addWidget(busyIndicator_, 0, Qt::AlignVCenter);
  footer->addWidget(status_, 0, Qt::AlignVCenter);
  footer->addSpacing(12);
  footer->addWidget(savedCount_);
  refreshStatus();
  return footer;
}

void CalibrationView::refreshStatus() {
  busyIndicator_->setVisible(model_.busy());
  status_->setText(model_.message());
  // "Fehler" stands out: the alert with the reason may sit behind this dialog.
  QPalette palette = status_->palette();
  palette.setColor(QPalette::WindowText, model_.message() == QStringLiteral("Fehler")
                                             ? QColor(0xd7, 0x26, 0x1e)
                                             : this->palette().color(QPalette::WindowText));
  status_->setPalette(palette);
}

// Every step shows the ID it lands on, also when the bound stops it.
void CalibrationView::changeID(int step) {
  const int id = std::clamp(effectID_ + step, firstID, lastID);
  const bool moved = id != effectID_;
  effectID_ = id;
  model_.previewEffect(effectID_);
  if (moved) loadName();
  refresh();
}

void CalibrationView::saveAndContinue() {
  model_.setCustomEffectName(observedName_, effectID_);
  if (effectID_ < lastID) {
    ++effectID_;
    model_.previewEffect(effectID_);
    loadName();
  }
  refresh();
}

void CalibrationView::clearAssignment() {
  setObservedName(QString(), false);
  model_.setCustomEffectName(QString(), effectID_);
}

void CalibrationView::resetNames() {
  model_.resetCustomEffectNames();
  loadName();
}

void CalibrationView::finish() {
  model_.finishCalibration();
  // The main window closes the dialog when the flag drops; on its own it closes itself.
  if (isVisible()) accept();
}

void CalibrationView::resizeEvent(QResizeEvent* event) {
  buttons_->setDirection(width() >= buttonsSideBySideWidth_ ? QBoxLayout::LeftToRight
                                                            : QBoxLayout::TopToBottom);
  QDialog::resizeEvent(event);
}

void CalibrationView::done(int result) {
  // The flag still set means the user closed the dialog some other way than the finish button.
  if (model_.showCalibration()) model_.finishCalibration();
  QDialog::done(result);
}

void CalibrationView::loadName() {
  const auto& names = model_.customEffectNames();
  const auto stored = names.find(effectID_);
  setObservedName(stored == names.end() ? QString() : QString::fromStdString(stored->second),
                  false);
}

void CalibrationView::setObservedName(const QString& name, bool fromField) {
  observedName_ = name;
  if (!fromField) {
    const QSignalBlocker block(field_);
    field_->setText(name);
  }
  {
    const QSignalBlocker block(choice_);
    // A typed text that is none of the names selects no entry.
    choice_->setCurrentIndex(name.isEmpty() ? 0 : choice_->findData(name));
  }
  refresh();
}

void CalibrationView::refresh() {
  const bool busy = model_.busy();
  idLabel_->setText(twoDigits(effectID_));
  referenceName_->setText(QString::fromStdString(name(*lightingModeFromRaw(effectID_))));
  test_->setText(QStringLiteral("ID %1 jetzt testen").arg(twoDigits(effectID_)));
  test_->setEnabled(!busy && model_.connected());
  previous_->setEnabled(effectID_ > firstID && !busy);
  next_->setEnabled(effectID_ < lastID && !busy);
  finish_->setEnabled(!busy);

  save_->setText(effectID_ < lastID ? QStringLiteral("Speichern und nächste ID testen")
                                    : QStringLiteral("Letzte Zuordnung speichern"));
  save_->setEnabled(!observedName_.trimmed().isEmpty() && !busy);

  const std::vector<int> assigned = alreadyAssignedIDs();
  alreadyAssigned_->setVisible(!assigned.empty());
  alreadyAssignedText_->setText(
      assigned.empty()
          ? QString()
          : QStringLiteral("Bereits Firmware-ID %1 zugeordnet").arg(joinIDs(assigned)));

  savedCount_->setText(
      QStringLiteral("Gespeichert: %1 von %2").arg(model_.customEffectNames().size()).arg(lastID));
  refreshChoices();
  refreshCapsules();
}

void CalibrationView::refreshChoices() {
  for (int i = 1; i < choice_->count(); ++i)
    choice_->setItemText(i, optionLabel(choice_->itemData(i).toString()));
}

void CalibrationView::refreshCapsules() {
  while (QLayoutItem* item = capsules_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  const EffectSemanticMap& map = model_.effectSemanticMap();
  const QColor accent = palette().color(QPalette::Highlight);
  const QColor secondary = palette().color(QPalette::PlaceholderText);
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  const int radius = (QFontMetrics(small).height() + 12) / 2;
  for (const auto& [id, mode] : map) {
    auto* capsule =
        new QLabel(QStringLiteral("ID %1 → %2").arg(twoDigits(id), model_.assignmentName(id)));
    capsule->setObjectName(QStringLiteral("capsule%1").arg(twoDigits(id)));
    capsule->setTextFormat(Qt::PlainText);
    capsule->setFont(small);
    capsule->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    const bool current = id == effectID_;
    const QColor back = current ? accent : secondary;
    capsule->setStyleSheet(QStringLiteral("QLabel { background: rgba(%1, %2, %3, %4); "
                                          "border-radius: %5px; padding: 6px 9px; }")
                               .arg(back.red())
                               .arg(back.green())
                               .arg(back.blue())
                               .arg(current ? 0.22 : 0.12)
                               .arg(radius));
    capsules_->addWidget(capsule, 0, Qt::AlignVCenter);
  }
  capsules_->addStretch(1);
  savedStack_->setCurrentWidget(map.empty() ? noAssignments_ : capsuleScroll_);
}

}  // namespace zepa
