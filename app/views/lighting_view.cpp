// SPDX-License-Identifier: MIT
#include "app/views/lighting_view.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QStackedLayout>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/views/color_button.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/halvern_lighting_view.hpp"
#include "app/views/symbols.hpp"

namespace zepa {

namespace {

constexpr std::uint8_t left = 0;
constexpr std::uint8_t right = 1;

// The full-width row that opens the calibration dialog: dial, title with subtitle, chevron.
QPushButton* makeCalibrationEntry(QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QStringLiteral("calibrationEntry"));
  button->setAccessibleName(QStringLiteral("Effektzuordnung kalibrieren"));
  button->setToolTip(
      QStringLiteral("Firmware-IDs testen und die sichtbaren Animationen richtig "
                     "benennen"));
  button->setCursor(Qt::PointingHandCursor);

  auto* dial = new QLabel(button);
  dial->setPixmap(tintedSymbol(QStringLiteral("dial"), 24, QColor(0x00, 0xb4, 0xd8)));
  auto* title = new QLabel(QStringLiteral("Effektzuordnung kalibrieren"), button);
  title->setObjectName(QStringLiteral("calibrationTitle"));
  auto* subtitle = secondaryLabel(
      QStringLiteral("Firmware-IDs testen und die sichtbaren Animationen richtig benennen"),
      button);
  subtitle->setWordWrap(false);
  auto* chevron = new QLabel(button);
  chevron->setPixmap(tintedSymbol(QStringLiteral("chevron.right"), 16,
                                  button->palette().color(QPalette::PlaceholderText)));

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(title);
  texts->addWidget(subtitle);
  auto* row = new QHBoxLayout(button);
  row->setContentsMargins(12, 8, 12, 8);
  row->setSpacing(12);
  row->addWidget(dial);
  row->addLayout(texts, 1);
  row->addWidget(chevron);
  for (QLabel* label : {dial, title, subtitle, chevron}) {
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  // A button does not take its size from a layout inside it.
  fitToFont(button, [button, row] { button->setMinimumHeight(row->sizeHint().height()); });
  return button;
}

}  // namespace

LightingView::LightingView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("lightingView"));
  // Filled only after it joins the stack: a stacked layout lays out the page it shows at once,
  // and that would measure every control before the window is first shown.
  zepaForm_ = new QWidget(this);
  stack_ = new QStackedLayout(this);
  stack_->addWidget(zepaForm_);
  fillZepaForm(zepaForm_);

  for (auto signal : {&AppModel::selectedKeyboardChanged, &AppModel::profileChanged,
                      &AppModel::selectedColorChanged, &AppModel::busyChanged,
                      &AppModel::connectedChanged, &AppModel::effectNamesRevisionChanged,
                      &AppModel::customEffectNamesChanged, &AppModel::effectSemanticMapChanged}) {
    connect(&model_, signal, this, &LightingView::refresh);
  }
  refresh();
}

// What is measured from text waits until the view is polished, just before it first shows, and
// follows later font changes.
bool LightingView::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // A font that changes before the first polish is measured at that polish.
  if ((event->type() == QEvent::Polish || event->type() == QEvent::FontChange) &&
      testAttribute(Qt::WA_WState_Polished)) {
    refresh();
    lockLabelColumn(form_);
  }
  return handled;
}

void LightingView::fillZepaForm(QWidget* page) {
  page->setObjectName(QStringLiteral("zepaLightingForm"));

  QPushButton* entry = makeCalibrationEntry(page);
  connect(entry, &QPushButton::clicked, this, [this] { model_.setShowCalibration(true); });

  // A group box measures its title as soon as it has one.
  auto* group = new QGroupBox(page);
  fitToFont(group, [group] { group->setTitle(QStringLiteral("Hauptbeleuchtung")); });
  form_ = makeForm(group);

  effect_ = new QComboBox(group);
  effect_->setObjectName(QStringLiteral("effectPicker"));
  effect_->setAccessibleName(QStringLiteral("Effekt"));
  for (LightingMode mode : allLightingModes()) effect_->addItem(QString(), rawValue(mode));
  connect(effect_, &QComboBox::activated, this, [this](int index) {
    const auto mode = lightingModeFromRaw(effect_->itemData(index).toInt());
    if (!mode) return;
    model_.editProfile([&](ZEPAProfile& profile) { profile.lighting.mode = *mode; });
    model_.applyLighting();
  });
  form_->addRow(QStringLiteral("Effekt"), effect_);

  color_ = new ColorButton(group);
  color_->setObjectName(QStringLiteral("colorPicker"));
  connect(color_, &ColorButton::colorPicked, &model_, &AppModel::setSelectedColor);
  form_->addRow(QStringLiteral("Farbe"), color_);

  colorful_ = new QCheckBox(QStringLiteral("Mehrfarbig"), group);
  colorful_->setObjectName(QStringLiteral("colorfulSwitch"));
  connect(colorful_, &QCheckBox::toggled, this, [this](bool on) {
    model_.editProfile([&](ZEPAProfile& profile) { profile.lighting.colorful = on; });
  });
  form_->addRow(QString(), colorful_);

  brightness_ = makeStepSlider(0, 5, group);
  brightness_->setObjectName(QStringLiteral("brightnessSlider"));
  brightness_->setAccessibleName(QStringLiteral("Helligkeit"));
  brightnessLabel_ = new QLabel(group);
  brightnessLabel_->setObjectName(QStringLiteral("brightnessLabel"));
  connect(brightness_, &QSlider::valueChanged, this, [this](int value) {
    model_.editProfile([&](ZEPAProfile& profile) {
      profile.lighting.brightness = static_cast<std::uint8_t>(value);
    });
  });
  form_->addRow(brightnessLabel_, brightness_);

  speed_ = makeStepSlider(0, 5, group);
  speed_->setObjectName(QStringLiteral("speedSlider"));
  speed_->setAccessibleName(QStringLiteral("Tempo"));
  speedLabel_ = new QLabel(group);
  speedLabel_->setObjectName(QStringLiteral("speedLabel"));
  connect(speed_, &QSlider::valueChanged, this, [this](int value) {
    model_.editProfile(
        [&](ZEPAProfile& profile) { profile.lighting.speed = static_cast<std::uint8_t>(value); });
  });
  form_->addRow(speedLabel_, speed_);

  direction_ = makeSegmented({{QStringLiteral("Links"), left}, {QStringLiteral("Rechts"), right}},
                             QStringLiteral("direction"), group, directionGroup_);
  connect(directionGroup_, &QButtonGroup::idClicked, this, [this](int value) {
    model_.editProfile([&](ZEPAProfile& profile) {
      profile.lighting.direction = static_cast<std::uint8_t>(value);
    });
  });
  form_->addRow(QStringLiteral("Richtung"), direction_);

  activeSelection_ = secondaryLabel(QString(), group);
  activeSelection_->setObjectName(QStringLiteral("activeSelection"));
  form_->addRow(QStringLiteral("Aktive Auswahl"), activeSelection_);

  apply_ = new QPushButton(QStringLiteral("Auf Keyboard anwenden"), page);
  apply_->setObjectName(QStringLiteral("applyButton"));
  apply_->setDefault(true);
  markProminent(apply_);
  connect(apply_, &QPushButton::clicked, &model_, &AppModel::applyLighting);

  auto* note =
      noteLabel(QStringLiteral("Lichtleiste und seitliche Streifen werden von der VX10-Firmware "
                               "ausschließlich über Fn-Tastenkombinationen gesteuert."),
                page);
  note->setObjectName(QStringLiteral("lightingNote"));

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(entry);
  layout->addWidget(group);
  layout->addLayout(applyRow(apply_));
  layout->addWidget(note);
  layout->addStretch(1);
}

void LightingView::refresh() {
  // The Halvern's form is made when that keyboard is first chosen: a stacked layout measures
  // its hidden pages too, so a page never shown would still cost every layout pass at start.
  // Not before the view is polished either, as a page is measured the moment it shows.
  const bool polished = testAttribute(Qt::WA_WState_Polished);
  const bool halvernChosen = model_.selectedKeyboard() == SupportedKeyboard::halvern;
  if (halvernChosen && !halvern_ && polished) {
    halvern_ = new HalvernLightingView(model_, this);
    fitToFont(halvern_, [this] { giveButtonsRoom(halvern_); });
    stack_->addWidget(halvern_);
  }
  stack_->setCurrentWidget(halvernChosen && halvern_ ? static_cast<QWidget*>(halvern_) : zepaForm_);
  const LightingConfig& lighting = model_.profile().lighting;
  const LightingMode semantic = model_.semanticMode(lighting.mode);
  const bool canSend = !model_.busy() && model_.connected();

  {
    const QSignalBlocker block(effect_);
    for (int i = 0; i < effect_->count(); ++i) {
      const auto mode = lightingModeFromRaw(effect_->itemData(i).toInt());
      if (mode) effect_->setItemText(i, model_.effectDisplayName(*mode, lighting.direction));
    }
    effect_->setCurrentIndex(effect_->findData(rawValue(lighting.mode)));
  }
  if (polished) fitEffectPicker();
  effect_->setEnabled(canSend);

  color_->setColor(model_.selectedColor());
  color_->setEnabled(supportsColor(semantic));

  {
    const QSignalBlocker block(colorful_);
    colorful_->setChecked(lighting.colorful);
  }
  colorful_->setEnabled(supportsColorful(semantic));

  {
    const QSignalBlocker block(brightness_);
    brightness_->setValue(lighting.brightness);
  }
  brightnessLabel_->setText(QStringLiteral("Helligkeit: %1").arg(lighting.brightness));

  {
    const QSignalBlocker block(speed_);
    speed_->setValue(lighting.speed);
  }
  speedLabel_->setText(QStringLiteral("Tempo: %1").arg(lighting.speed));
  speed_->setEnabled(supportsSpeed(semantic));

  const bool hasDirection = supportsDirection(semantic);
  // Only on a change: showing a row lays it out at once, even before the window is shown.
  if (form_->isRowVisible(direction_) != hasDirection) {
    form_->setRowVisible(direction_, hasDirection);
    form_->setRowVisible(activeSelection_, hasDirection);
  }
  selectSegment(directionGroup_, lighting.direction);
  activeSelection_->setText(model_.effectDisplayName(lighting.mode, lighting.direction));

  apply_->setEnabled(canSend);
}

// Wide enough for every effect's name in either direction, so the box keeps its width when
// the direction or the effect changes; only a renamed effect can widen it. Measuring the names
// is the costliest part of a refresh, so it is done again only when names or font change.
void LightingView::fitEffectPicker() {
  const std::pair<int, QString> now{model_.effectNamesRevision(), effect_->font().key()};
  if (fittedTo_ == now) return;
  fittedTo_ = now;
  // Most names read the same in both directions; each is measured once.
  QSet<QString> names;
  for (LightingMode mode : allLightingModes()) {
    for (std::uint8_t direction : {left, right})
      names.insert(model_.effectDisplayName(mode, direction));
  }
  int widest = 0;
  const QFontMetrics metrics = effect_->fontMetrics();
  for (const QString& name : names) widest = std::max(widest, metrics.horizontalAdvance(name));
  QStyleOptionComboBox option;
  option.initFrom(effect_);
  const QSize size = effect_->style()->sizeFromContents(
      QStyle::CT_ComboBox, &option, QSize(widest + 8, metrics.height()), effect_);
  effect_->setFixedWidth(size.width());
}

}  // namespace zepa
