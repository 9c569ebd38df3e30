// SPDX-License-Identifier: MIT
#include "app/views/app_style.hpp"

#include <QGroupBox>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

namespace zepa {

namespace {

// Asks the style for the icon on first use and forwards everything to it.
class DeferredIconEngine : public QIconEngine {
 public:
  DeferredIconEngine(QStyle* style, QStyle::StandardPixmap which) : style_(style), which_(which) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    return icon().pixmap(size, scale, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return icon().availableSizes(mode, state);
  }
  bool isNull() override { return icon().isNull(); }
  QString key() const override { return QStringLiteral("zepa-deferred-standard"); }
  QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

 private:
  QIcon& icon() {
    if (!made_) {
      made_ = true;
      if (style_) icon_ = style_->standardIcon(which_);
    }
    return icon_;
  }

  QPointer<QStyle> style_;
  QStyle::StandardPixmap which_;
  bool made_ = false;
  QIcon icon_;
};

}  // namespace

AppStyle::AppStyle() = default;

QIcon AppStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                             const QWidget* widget) const {
  // An option may set the direction or state of the icon and does not outlive this call; the
  // widget only lends its direction, which is the application's here.
  if (option) return QProxyStyle::standardIcon(which, option, widget);
  return QIcon(new DeferredIconEngine(baseStyle(), which));
}

void AppStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                             QPainter* painter, const QWidget* widget) const {
  if (element != PE_FrameGroupBox || baseStyle()->name() != QLatin1String("fusion")) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  // Fusion's frame, drawn instead of read from its picture: a faint rounded line around a
  // fainter tint, starting below the title.
  const auto* box = qobject_cast<const QGroupBox*>(widget);
  const bool untitled = box && !box->isCheckable() && box->title().isEmpty();
  constexpr int belowTitle = 3;
  const int top =
      untitled ? belowTitle
               : qMax(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height()) +
                     belowTitle;
  const QRectF frame = QRectF(option->rect.adjusted(0, top, 0, 0)).adjusted(1.5, 1.5, -0.5, -0.5);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QColor(117, 117, 117, 50));
  painter->setBrush(QColor(0, 0, 0, 3));
  painter->drawRoundedRect(frame, 1.5, 1.5);
  painter->setPen(QColor(0, 0, 0, 4));
  painter->setBrush(Qt::NoBrush);
  painter->drawRoundedRect(frame.adjusted(1, 1, -1, -1), 1, 1);
  painter->restore();
}

}  // namespace zepa
