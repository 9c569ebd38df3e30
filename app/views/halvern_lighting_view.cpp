// SPDX-License-Identifier: MIT
#include "app/views/halvern_lighting_view.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/views/color_button.hpp"
#include "app/views/form_parts.hpp"

namespace zepa {

QString HalvernLightingView::effectLabel(HalvernEffect effect) {
  return QStringLiteral("ID %1 – %2")
      .arg(rawValue(effect), 2, 10, QLatin1Char('0'))
      .arg(QString::fromStdString(name(effect)));
}

HalvernLightingView::HalvernLightingView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("halvernLightingView"));

  auto* group = new QGroupBox(QStringLiteral("Hauptbeleuchtung"), this);
  form_ = makeForm(group);

  effect_ = new QComboBox(group);
  effect_->setObjectName(QStringLiteral("halvernEffectPicker"));
  effect_->setAccessibleName(QStringLiteral("Effekt"));
  for (HalvernEffect effect : visibleHalvernEffects()) {
    effect_->addItem(effectLabel(effect), rawValue(effect));
  }
  connect(effect_, &QComboBox::activated, this, [this](int index) {
    const auto effect = halvernEffectFromRaw(effect_->itemData(index).toInt());
    if (!effect) return;
    // A static effect always shows the chosen colour, so multicolour goes off first.
    model_.editHalvernLighting([&](HalvernLightingConfig& lighting) {
      lighting.effect = *effect;
      if (*effect == HalvernEffect::staticColor) lighting.colorful = false;
    });
    model_.applyHalvernLighting();
  });
  form_->addRow(QStringLiteral("Effekt"), effect_);

  color_ = new ColorButton(group);
  color_->setObjectName(QStringLiteral("halvernColorPicker"));
  connect(color_, &ColorButton::colorPicked, this, [this](const QColor& color) {
    model_.setHalvernSelectedColor(color);
    model_.editHalvernLighting([](HalvernLightingConfig& lighting) { lighting.colorful = false; });
  });
  form_->addRow(QStringLiteral("Farbe"), color_);

  colorful_ = new QCheckBox(QStringLiteral("Mehrfarbig (gewählte Farbe ignorieren)"), group);
  colorful_->setObjectName(QStringLiteral("halvernColorfulSwitch"));
  connect(colorful_, &QCheckBox::toggled, this, [this](bool on) {
    model_.editHalvernLighting([&](HalvernLightingConfig& lighting) { lighting.colorful = on; });
  });
  form_->addRow(QString(), colorful_);

  colorStatus_ = noteLabel(QString(), group);
  colorStatus_->setObjectName(QStringLiteral("halvernColorStatus"));
  // One line: wrapped at the field's hint width it left a single word on the second line.
  colorStatus_->setWordWrap(false);
  form_->addRow(QString(), colorStatus_);

  brightness_ = makeStepSlider(0, 4, group);
  brightness_->setObjectName(QStringLiteral("halvernBrightnessSlider"));
  brightness_->setAccessibleName(QStringLiteral("Helligkeit"));
  brightnessLabel_ = new QLabel(group);
  brightnessLabel_->setObjectName(QStringLiteral("halvernBrightnessLabel"));
  connect(brightness_, &QSlider::valueChanged, this, [this](int value) {
    model_.editHalvernLighting([&](HalvernLightingConfig& lighting) {
      lighting.brightness = static_cast<std::uint8_t>(value);
    });
  });
  form_->addRow(brightnessLabel_, brightness_);

  speed_ = makeStepSlider(0, 4, group);
  speed_->setObjectName(QStringLiteral("halvernSpeedSlider"));
  speed_->setAccessibleName(QStringLiteral("Tempo"));
  speedLabel_ = new QLabel(group);
  speedLabel_->setObjectName(QStringLiteral("halvernSpeedLabel"));
  connect(speed_, &QSlider::valueChanged, this, [this](int value) {
    model_.editHalvernLighting([&](HalvernLightingConfig& lighting) {
      lighting.speed = static_cast<std::uint8_t>(value);
    });
  });
  form_->addRow(speedLabel_, speed_);

  apply_ = new QPushButton(QStringLiteral("Auf Keyboard anwenden"), this);
  apply_->setObjectName(QStringLiteral("halvernApplyButton"));
  apply_->setDefault(true);
  markProminent(apply_);
  connect(apply_, &QPushButton::clicked, &model_, &AppModel::applyHalvernLighting);

  auto* note = noteLabel(QStringLiteral("Die Halvern-Konfiguration ist über USB und später auch "
                                        "über den 2,4-GHz-Empfänger möglich. Bluetooth stellt "
                                        "keinen Konfigurationskanal bereit."),
                         this);
  note->setObjectName(QStringLiteral("halvernLightingNote"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(applyRow(apply_));
  layout->addWidget(note);
  layout->addStretch(1);

  for (auto signal : {&AppModel::halvernLightingChanged, &AppModel::halvernSelectedColorChanged,
                      &AppModel::busyChanged, &AppModel::connectedChanged}) {
    connect(&model_, signal, this, &HalvernLightingView::refresh);
  }
  refresh();
  fitToFont(this, [this] { lockLabelColumn(form_); });
}

void HalvernLightingView::refresh() {
  const HalvernLightingConfig& lighting = model_.halvernLighting();
  const bool canSend = !model_.busy() && model_.connected();
  const bool hasColor = supportsColor(lighting.effect);

  {
    // An effect that is not offered (stored from elsewhere) leaves the choice empty.
    const QSignalBlocker block(effect_);
    effect_->setCurrentIndex(effect_->findData(rawValue(lighting.effect)));
  }
  effect_->setEnabled(canSend);

  color_->setColor(model_.halvernSelectedColor());
  color_->setEnabled(hasColor);
  {
    const QSignalBlocker block(colorful_);
    colorful_->setChecked(lighting.colorful);
  }
  colorful_->setEnabled(hasColor);

  colorStatus_->setText(
      lighting.colorful
          ? QStringLiteral(
                "Mehrfarbig ist aktiv. Für die ausgewählte Einzelfarbe den Schalter ausschalten.")
          : QStringLiteral(
                "Einzelfarbe ist aktiv und wird mit „Auf Keyboard anwenden“ übertragen."));
  form_->setRowVisible(colorStatus_, hasColor);

  {
    const QSignalBlocker block(brightness_);
    brightness_->setValue(lighting.brightness);
  }
  brightnessLabel_->setText(QStringLiteral("Helligkeit: %1").arg(lighting.brightness));
  brightness_->setEnabled(supportsBrightness(lighting.effect));

  {
    const QSignalBlocker block(speed_);
    speed_->setValue(lighting.speed);
  }
  speedLabel_->setText(QStringLiteral("Tempo: %1").arg(lighting.speed));
  speed_->setEnabled(supportsSpeed(lighting.effect));

  apply_->setEnabled(canSend);
}

}  // namespace zepa
