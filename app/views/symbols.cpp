// SPDX-License-Identifier: MIT
#include "app/views/symbols.hpp"

#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <array>

#include "app/views/symbol_pixels.hpp"

static void initBundledResources() {
  Q_INIT_RESOURCE(resources);
  Q_INIT_RESOURCE(symbols);
}

namespace zepa {

namespace {

struct SymbolRow {
  const char* name;
  const char* themeName;  // freedesktop icon naming
  const char* bundled;    // the SVG's name in resources/icons, drawn at build time
};

constexpr std::array<SymbolRow, 10> symbolRows{{
    {"lightbulb", "lightbulb", "lightbulb"},
    {"keyboard", "input-keyboard", "keyboard"},
    {"arrow.left.arrow.right", "exchange-positions", "arrow-left-arrow-right"},
    {"display", "video-display", "display"},
    {"arrow.clockwise", "view-refresh", "arrow-clockwise"},
    {"keyboard.fill", "input-keyboard", "keyboard-fill"},
    {"lock.shield", "security-high", "lock-shield"},
    {"clock.badge.checkmark", "preferences-system-time", "clock-checkmark"},
    {"dial", "preferences-desktop-color", "dial"},
    {"chevron.right", "go-next", "chevron-right"},
}};

const SymbolRow* findSymbol(const QString& name) {
  for (const auto& row : symbolRows) {
    if (name == QLatin1String(row.name)) return &row;
  }
  return nullptr;
}

// One of the pictures drawn at build time, or a null image if the program was built without it.
QImage bundledPixels(const QString& name, int edge) {
  initResources();
  QFile file(QStringLiteral(":/symbols/") + symbols::pixelFileName(name, edge));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray rows = file.readAll();
  const qsizetype rowBytes = edge * symbols::bytesPerPixel(name);
  if (rows.size() != rowBytes * edge) return {};
  const bool coloured = symbols::isColoured(name);
  const QImage borrowed(reinterpret_cast<const uchar*>(rows.constData()), edge, edge, rowBytes,
                        coloured ? QImage::Format_ARGB32_Premultiplied : QImage::Format_Alpha8);
  // The picture handed out owns its pixels: the bytes read here go with this function.
  return coloured ? borrowed.copy() : borrowed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The bundled outline (all are square) in one colour, `pixels` large for a screen of the given
// density, scaled down from the smallest mask that is at least as large, so it stays as sharp as
// one drawn at its size.
QPixmap paintedIn(const char* bundled, const QSize& pixels, qreal ratio, const QColor& color) {
  const int wanted = std::max(pixels.width(), pixels.height());
  if (wanted <= 0) return {};
  const auto edges = symbols::maskEdges;
  const auto fits =
      std::find_if(edges.begin(), edges.end(), [&](int edge) { return edge >= wanted; });
  QImage image = bundledPixels(QLatin1String(bundled), fits != edges.end() ? *fits : edges.back());
  if (image.isNull()) return {};
  if (image.size() != pixels) {
    image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  {
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
  }
  QPixmap pixmap = QPixmap::fromImage(std::move(image));
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

QPixmap paintedIn(const char* bundled, int size, const QColor& color) {
  const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  return paintedIn(bundled, QSize(size, size) * ratio, ratio, color);
}

// Draws the bundled outline in one colour at whatever size is asked for, when it is asked for,
// and keeps what it drew for the next paint.
class TintedIconEngine : public QIconEngine {
 public:
  TintedIconEngine(const char* bundled, QColor color) : bundled_(bundled), color_(color) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // `size` in device pixels, as QIcon::pixmap asks for it.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
    const QString key = QStringLiteral("%1x%2 %3 %4")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(scale)
                            .arg(mode == QIcon::Disabled);
    if (const auto drawn = drawn_.find(key); drawn != drawn_.end()) return *drawn;
    QColor color = color_;
    if (mode == QIcon::Disabled) color.setAlphaF(0.4);
    return drawn_[key] = paintedIn(bundled_, size, scale, color);
  }

  QIconEngine* clone() const override { return new TintedIconEngine(bundled_, color_); }

 private:
  const char* bundled_;
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
  return QIcon(
      new TintedIconEngine(row->bundled, QApplication::palette().color(QPalette::WindowText)));
}

QPixmap tintedSymbol(const QString& name, int size, const QColor& color) {
  const SymbolRow* row = findSymbol(name);
  if (!row) return {};
  // The bundled outline, not the theme's icon: a coloured theme icon would turn into a blob.
  return paintedIn(row->bundled, size, color);
}

QIcon applicationIcon() {
  QIcon icon;
  for (const int edge : symbols::appIconEdges) {
    const QImage image = bundledPixels(QLatin1String(symbols::appIconName), edge);
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

}  // namespace zepa
