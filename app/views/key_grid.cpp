// SPDX-License-Identifier: MIT
#include "app/views/key_grid.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>
#include <algorithm>

namespace zepa {

AdaptiveGridLayout::AdaptiveGridLayout(int minColumnWidth, int maxColumnWidth, int spacing,
                                       QWidget* parent)
    : QLayout(parent),
      minColumnWidth_(minColumnWidth),
      maxColumnWidth_(maxColumnWidth),
      spacing_(spacing) {
  setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

int AdaptiveGridLayout::columnCount(int width) const {
  // n columns need n * min + (n - 1) * spacing; one column even when that does not fit.
  return std::max(1, (width + spacing_) / (minColumnWidth_ + spacing_));
}

int AdaptiveGridLayout::columnWidth(int width) const {
  const int columns = columnCount(width);
  const int share = (width - (columns - 1) * spacing_) / columns;
  return std::clamp(share, std::min(minColumnWidth_, std::max(width, 1)), maxColumnWidth_);
}

void AdaptiveGridLayout::addItem(QLayoutItem* item) {
  items_.append(item);
}

int AdaptiveGridLayout::count() const {
  return static_cast<int>(items_.size());
}

QLayoutItem* AdaptiveGridLayout::itemAt(int index) const {
  return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* AdaptiveGridLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

Qt::Orientations AdaptiveGridLayout::expandingDirections() const {
  return Qt::Horizontal;
}

bool AdaptiveGridLayout::hasHeightForWidth() const {
  return true;
}

int AdaptiveGridLayout::heightForWidth(int width) const {
  return arrange(QRect(0, 0, width, 0), false);
}

QSize AdaptiveGridLayout::minimumSize() const {
  const QMargins m = contentsMargins();
  return QSize(minColumnWidth_ + m.left() + m.right(), rowHeight() + m.top() + m.bottom());
}

QSize AdaptiveGridLayout::sizeHint() const {
  // Room for ten columns at their smallest; the window decides the rest.
  const int width = 10 * minColumnWidth_ + 9 * spacing_;
  const QMargins m = contentsMargins();
  return QSize(width + m.left() + m.right(), heightForWidth(width + m.left() + m.right()));
}

void AdaptiveGridLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  arrange(rect, true);
}

int AdaptiveGridLayout::rowHeight() const {
  int height = 0;
  for (const QLayoutItem* item : items_) height = std::max(height, item->sizeHint().height());
  return height;
}

int AdaptiveGridLayout::arrange(const QRect& rect, bool apply) const {
  const QRect area = rect.marginsRemoved(contentsMargins());
  const QMargins m = contentsMargins();
  if (items_.isEmpty()) return m.top() + m.bottom();
  const int columns = columnCount(area.width());
  const int width = columnWidth(area.width());
  const int used = columns * width + (columns - 1) * spacing_;
  const int left = area.x() + std::max(0, (area.width() - used) / 2);
  const int height = rowHeight();
  const int rows = (static_cast<int>(items_.size()) + columns - 1) / columns;
  if (apply) {
    for (int i = 0; i < items_.size(); ++i) {
      const int row = i / columns;
      const int column = i % columns;
      items_.at(i)->setGeometry(QRect(left + column * (width + spacing_),
                                      area.y() + row * (height + spacing_), width, height));
    }
  }
  return rows * height + (rows - 1) * spacing_ + m.top() + m.bottom();
}

namespace {

// Symbols on key caps that screen readers read badly or not at all.
const std::pair<const char*, const char*> spokenSymbols[] = {{"↑", "Pfeil nach oben"},
                                                             {"↓", "Pfeil nach unten"},
                                                             {"←", "Pfeil nach links"},
                                                             {"→", "Pfeil nach rechts"},
                                                             {"Bild↑", "Bild auf"},
                                                             {"Bild↓", "Bild ab"},
                                                             {"^", "Zirkumflex"},
                                                             {"-", "Minus"},
                                                             {"=", "Gleich"},
                                                             {"[", "Eckige Klammer auf"},
                                                             {"]", "Eckige Klammer zu"},
                                                             {"\\", "Rückstrich"},
                                                             {";", "Semikolon"},
                                                             {"'", "Apostroph"},
                                                             {",", "Komma"},
                                                             {".", "Punkt"},
                                                             {"/", "Schrägstrich"},
                                                             {"*", "Stern"},
                                                             {"+", "Plus"}};

}  // namespace

QString KeyButton::spokenName(const QString& label) {
  QStringList words = label.split(QLatin1Char(' '));
  for (QString& word : words) {
    for (const auto& [symbol, spoken] : spokenSymbols) {
      if (word == QString::fromUtf8(symbol)) word = QString::fromUtf8(spoken);
    }
  }
  return QStringLiteral("Taste ") + words.join(QLatin1Char(' '));
}

KeyButton::KeyButton(const QString& label, std::uint8_t index, QWidget* parent)
    : QPushButton(label, parent), index_(index) {
  setCheckable(true);
  setAccessibleName(spokenName(label));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setFocusPolicy(Qt::TabFocus);
}

QSize KeyButton::sizeHint() const {
  return QSize(74, fontMetrics().height() + 22);
}

QSize KeyButton::minimumSizeHint() const {
  return QSize(40, fontMetrics().height() + 22);
}

void KeyButton::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
      if (event->modifiers() & ~Qt::KeypadModifier) break;
      emit moveRequested(event->key());
      return;
    default:
      break;
  }
  QPushButton::keyPressEvent(event);
}

void KeyButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QPushButton::enterEvent(event);
}

void KeyButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QPushButton::leaveEvent(event);
}

void KeyButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();
  const bool selected = isChecked();
  const QRectF cap = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

  QColor fill = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button);
  if (isDown())
    fill = fill.darker(115);
  else if (hovered_ && isEnabled())
    fill = fill.lighter(selected ? 110 : 104);
  const QColor border =
      selected ? pal.color(QPalette::Highlight).darker(125) : pal.color(QPalette::Mid);
  painter.setPen(QPen(border, 1));
  painter.setBrush(fill);
  painter.drawRoundedRect(cap, 6, 6);

  // Long labels shrink rather than lose letters at the narrowest column width.
  QFont font = this->font();
  const QRect textArea = rect().adjusted(3, 2, -3, -2);
  for (int i = 0; i < 6 && QFontMetrics(font).horizontalAdvance(text()) > textArea.width(); ++i)
    font.setPointSizeF(font.pointSizeF() * 0.94);
  painter.setFont(font);
  QColor textColor =
      selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText);
  if (!isEnabled()) textColor.setAlphaF(0.45f);
  painter.setPen(textColor);
  painter.drawText(textArea, Qt::AlignCenter, text());

  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

}  // namespace zepa
