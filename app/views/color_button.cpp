// SPDX-License-Identifier: MIT
#include "app/views/color_button.hpp"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace zepa {

ColorButton::ColorButton(QWidget* parent) : QPushButton(parent) {
  setIconSize(QSize(28, 14));
  // The text is the colour's code; screen readers announce what the button is for.
  setAccessibleName(QStringLiteral("Farbe"));
  setToolTip(QStringLiteral("Farbe wählen"));
  connect(this, &QPushButton::clicked, this, &ColorButton::openDialog);
  setColor(Qt::black);
}

void ColorButton::setColor(const QColor& color) {
  color_ = color;
  QPixmap swatch(iconSize());
  swatch.fill(Qt::transparent);
  QPainter painter(&swatch);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(palette().color(QPalette::Mid));
  painter.setBrush(color.isValid() ? color : QColor(Qt::transparent));
  painter.drawRoundedRect(QRectF(swatch.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  painter.end();
  setIcon(QIcon(swatch));
  setText(color.isValid() ? color.name() : QString());
  setAccessibleDescription(text());
}

void ColorButton::openDialog() {
  if (dialog_) return;
  auto* dialog = new QColorDialog(color_, this);
  dialog->setObjectName(QStringLiteral("colorDialog"));
  dialog->setOption(QColorDialog::ShowAlphaChannel, false);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QColorDialog::colorSelected, this, &ColorButton::colorPicked);
  dialog_ = dialog;
  dialog->open();
}

}  // namespace zepa
