#include "app/views/symbols.hpp"

#include <QApplication>
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

QPixmap paintedIn(const QIcon& icon, int size, const QColor& color) {
  const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap = icon.pixmap(QSize(size, size), ratio);
  if (pixmap.isNull()) return pixmap;
  QPainter painter(&pixmap);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(pixmap.rect(), color);
  return pixmap;
}

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
  const QColor text = QApplication::palette().color(QPalette::WindowText);
  QIcon tinted;
  for (int size : {16, 24, 32, 48, 64}) tinted.addPixmap(paintedIn(bundled, size, text));
  return tinted;
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
