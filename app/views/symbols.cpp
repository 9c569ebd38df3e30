// SPDX-License-Identifier: MIT
#include "app/views/symbols.hpp"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <array>

static void initBundledResources() {
  Q_INIT_RESOURCE(resources);
}

namespace zepa {

namespace {

struct SymbolRow {
  const char* name;
  const char* themeName;  // freedesktop icon naming
  const char* bundled;
};

constexpr std::array<SymbolRow, 10> symbols{{
    {"lightbulb", "lightbulb", ":/icons/lightbulb.svg"},
    {"keyboard", "input-keyboard", ":/icons/keyboard.svg"},
    {"arrow.left.arrow.right", "exchange-positions", ":/icons/arrow-left-arrow-right.svg"},
    {"display", "video-display", ":/icons/display.svg"},
    {"arrow.clockwise", "view-refresh", ":/icons/arrow-clockwise.svg"},
    {"keyboard.fill", "input-keyboard", ":/icons/keyboard-fill.svg"},
    {"lock.shield", "security-high", ":/icons/lock-shield.svg"},
    {"clock.badge.checkmark", "preferences-system-time", ":/icons/clock-checkmark.svg"},
    {"dial", "preferences-desktop-color", ":/icons/dial.svg"},
    {"chevron.right", "go-next", ":/icons/chevron-right.svg"},
}};

const SymbolRow* findSymbol(const QString& name) {
  for (const auto& row : symbols) {
    if (name == QLatin1String(row.name)) return &row;
  }
  return nullptr;
}

QPixmap paintedIn(const QIcon& icon, const QSize& size, qreal ratio, const QColor& color) {
  QPixmap pixmap = icon.pixmap(size, ratio);
  if (pixmap.isNull()) return pixmap;
  QPainter painter(&pixmap);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(pixmap.rect(), color);
  return pixmap;
}

QPixmap paintedIn(const QIcon& icon, int size, const QColor& color) {
  return paintedIn(icon, QSize(size, size), qApp ? qApp->devicePixelRatio() : 1.0, color);
}

// Draws the bundled outline in one colour at whatever size is asked for, when it is asked for.
class TintedIconEngine : public QIconEngine {
 public:
  TintedIconEngine(QIcon outline, QColor color) : outline_(std::move(outline)), color_(color) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
    QColor color = color_;
    if (mode == QIcon::Disabled) color.setAlphaF(0.4);
    return paintedIn(outline_, size, scale, color);
  }

  QIconEngine* clone() const override { return new TintedIconEngine(outline_, color_); }

 private:
  QIcon outline_;
  QColor color_;
};

}  // namespace

void initResources() {
  static const bool done = (initBundledResources(), true);
  (void)done;
}

QIcon symbolIcon(const QString& name) {
  const SymbolRow* row = findSymbol(name);
  if (!row) return {};
  const QString themeName = QLatin1String(row->themeName);
  if (QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
  initResources();
  const QIcon bundled(QLatin1String(row->bundled));
  return QIcon(new TintedIconEngine(bundled, QApplication::palette().color(QPalette::WindowText)));
}

QPixmap tintedSymbol(const QString& name, int size, const QColor& color) {
  const SymbolRow* row = findSymbol(name);
  if (!row) return {};
  initResources();
  // The bundled outline, not the theme's icon: a coloured theme icon would turn into a blob.
  return paintedIn(QIcon(QLatin1String(row->bundled)), size, color);
}

QIcon applicationIcon() {
  initResources();
  return QIcon(QStringLiteral(":/icons/zepa-control.svg"));
}

}  // namespace zepa
