// SPDX-License-Identifier: MIT
#include "app/views/symbols.hpp"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
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

// The bundled outline (all are square) in one colour, read straight at the size it is drawn.
// A QIcon would parse the SVG twice, once to check it when made and once to draw it, and load
// Qt's icon-engine plugin before the first paint.
QPixmap paintedIn(const QString& path, const QSize& size, qreal ratio, const QColor& color) {
  QImageReader reader(path);
  reader.setScaledSize(size * ratio);
  QImage image = reader.read();
  if (image.isNull()) return {};
  image.convertTo(QImage::Format_ARGB32_Premultiplied);
  {
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
  }
  QPixmap pixmap = QPixmap::fromImage(std::move(image));
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

QPixmap paintedIn(const QString& path, int size, const QColor& color) {
  return paintedIn(path, QSize(size, size), qApp ? qApp->devicePixelRatio() : 1.0, color);
}

// Draws the bundled outline in one colour at whatever size is asked for, when it is asked for,
// and keeps what it drew for the next paint.
class TintedIconEngine : public QIconEngine {
 public:
  TintedIconEngine(QString path, QColor color) : path_(std::move(path)), color_(color) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
    const QString key = QStringLiteral("%1x%2 %3 %4")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(scale)
                            .arg(mode == QIcon::Disabled);
    if (const auto drawn = drawn_.find(key); drawn != drawn_.end()) return *drawn;
    QColor color = color_;
    if (mode == QIcon::Disabled) color.setAlphaF(0.4);
    return drawn_[key] = paintedIn(path_, size, scale, color);
  }

  QIconEngine* clone() const override { return new TintedIconEngine(path_, color_); }

 private:
  QString path_;
  QHash<QString, QPixmap> drawn_;
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
  return QIcon(new TintedIconEngine(QLatin1String(row->bundled),
                                    QApplication::palette().color(QPalette::WindowText)));
}

QPixmap tintedSymbol(const QString& name, int size, const QColor& color) {
  const SymbolRow* row = findSymbol(name);
  if (!row) return {};
  initResources();
  // The bundled outline, not the theme's icon: a coloured theme icon would turn into a blob.
  return paintedIn(QLatin1String(row->bundled), size, color);
}

QIcon applicationIcon() {
  initResources();
  return QIcon(QStringLiteral(":/icons/zepa-control.svg"));
}

}  // namespace zepa
