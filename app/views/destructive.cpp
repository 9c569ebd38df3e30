// SPDX-License-Identifier: MIT
#include "app/views/destructive.hpp"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zepa {

QColor destructiveColor() {
  return QColor(0xd7, 0x00, 0x15);
}

void markDestructive(QAbstractButton* button) {
  QPalette palette = button->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
    palette.setColor(group, QPalette::ButtonText, destructiveColor());
  button->setPalette(palette);
}

namespace {

// Drawn on a 16-unit grid: lid with handle, tapering can with two ribs.
QPixmap paintTrash(int size, const QColor& color) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 16.0, size / 16.0);
  QPen pen(color, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawLine(QPointF(2.5, 4), QPointF(13.5, 4));
  painter.drawPolyline(QPolygonF{{6, 4}, {6, 2.5}, {10, 2.5}, {10, 4}});
  QPainterPath can;
  can.moveTo(3.8, 4);
  can.lineTo(4.6, 14);
  can.lineTo(11.4, 14);
  can.lineTo(12.2, 4);
  painter.drawPath(can);
  painter.drawLine(QPointF(6.8, 6.5), QPointF(7, 11.8));
  painter.drawLine(QPointF(9.2, 6.5), QPointF(9, 11.8));
  return pixmap;
}

}  // namespace

QIcon trashIcon() {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    icon.addPixmap(paintTrash(size, destructiveColor()), QIcon::Normal);
    QColor dimmed = destructiveColor();
    dimmed.setAlphaF(0.35f);
    icon.addPixmap(paintTrash(size, dimmed), QIcon::Disabled);
  }
  return icon;
}

}  // namespace zepa
