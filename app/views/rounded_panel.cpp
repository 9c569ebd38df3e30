// SPDX-License-Identifier: MIT
#include "app/views/rounded_panel.hpp"

#include <QPainter>

namespace zepa {

RoundedPanel::RoundedPanel(qreal radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void RoundedPanel::setTint(const QColor& color) {
  tint_ = color;
  update();
}

QColor RoundedPanel::tint() const {
  if (tint_.isValid()) return tint_;
  QColor faint = palette().color(QPalette::Mid);
  faint.setAlphaF(0.25f);
  return faint;
}

void RoundedPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(tint());
  painter.drawRoundedRect(QRectF(rect()), radius_, radius_);
}

}  // namespace zepa
