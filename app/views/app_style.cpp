// SPDX-License-Identifier: MIT
#include "app/views/app_style.hpp"

#include <QGroupBox>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <utility>

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
  // Fusion's frame, drawn instead of read from its picture: a faint line with softened
  // corners around a fainter tint, starting below the title. Whole pixels only, as the picture.
  const auto* box = qobject_cast<const QGroupBox*>(widget);
  const bool untitled = box && !box->isCheckable() && box->title().isEmpty();
  constexpr int belowTitle = 3;
  const int top =
      untitled ? belowTitle
               : qMax(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height()) +
                     belowTitle;
  const QRect line = option->rect.adjusted(1, top + 1, 0, 0);
  const QRect shade = line.adjusted(1, 1, -1, -1);
  const QColor lineColor(117, 117, 117, 50);
  const QColor shadeColor(0, 0, 0, 7);
  painter->fillRect(shade.adjusted(1, 1, -1, -1), QColor(0, 0, 0, 3));
  for (const auto& [rect, color] : {std::pair{line, lineColor}, std::pair{shade, shadeColor}}) {
    painter->fillRect(rect.left() + 1, rect.top(), rect.width() - 2, 1, color);
    painter->fillRect(rect.left() + 1, rect.bottom(), rect.width() - 2, 1, color);
    painter->fillRect(rect.left(), rect.top() + 1, 1, rect.height() - 2, color);
    painter->fillRect(rect.right(), rect.top() + 1, 1, rect.height() - 2, color);
  }
  const auto corners = [painter](const QRect& rect, const QColor& color) {
    for (const QPoint& point :
         {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()})
      painter->fillRect(QRect(point, QSize(1, 1)), color);
  };
  corners(line, QColor(39, 39, 39, 13));
  corners(shade, QColor(90, 90, 90, 31));
}

}  // namespace zepa
