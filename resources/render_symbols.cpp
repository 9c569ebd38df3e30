// SPDX-License-Identifier: MIT
// Draws the bundled SVG icons into plain pixel files once, at build time, so zepa-control shows
// them without parsing SVG or going through Qt's image plug-ins before its first paint.
//
//   render_symbols OUTPUT_DIR FILE.svg...
//
// Writes the pixel files (see app/views/symbol_pixels.hpp) and symbols.qrc listing them. The
// coloured application icon is stored in this machine's byte order: the machine that builds the
// program is the one it runs on.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QStringList>
#include <cstdio>

#include "app/views/symbol_pixels.hpp"

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// The file names written, or an empty list when the SVG could not be drawn.
QStringList render(const QString& svg, const QDir& out) {
  const QString name = QFileInfo(svg).completeBaseName();
  const bool coloured = zepa::symbols::isColoured(name);
  QStringList written;
  for (const int edge : zepa::symbols::edgesOf(name)) {
    QImageReader reader(svg);
    reader.setScaledSize(QSize(edge, edge));
    const QImage image = reader.read().convertToFormat(
        coloured ? QImage::Format_ARGB32_Premultiplied : QImage::Format_Alpha8);
    if (image.isNull()) {
      std::fprintf(stderr, "render_symbols: %s: %s\n", qUtf8Printable(svg),
                   qUtf8Printable(reader.errorString()));
      return {};
    }
    QByteArray rows;
    const qsizetype rowBytes = edge * zepa::symbols::bytesPerPixel(name);
    for (int y = 0; y < edge; ++y) {
      rows.append(reinterpret_cast<const char*>(image.constScanLine(y)), rowBytes);
    }
    const QString file = zepa::symbols::pixelFileName(name, edge);
    if (!writeFile(out.filePath(file), rows)) {
      std::fprintf(stderr, "render_symbols: cannot write %s\n", qUtf8Printable(out.filePath(file)));
      return {};
    }
    written << file;
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 3) {
    std::fputs("usage: render_symbols OUTPUT_DIR FILE.svg...\n", stderr);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.mkpath(QStringLiteral("."))) return 1;
  QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/symbols\">\n";
  for (int i = 2; i < argc; ++i) {
    const QStringList files = render(QString::fromLocal8Bit(argv[i]), out);
    if (files.isEmpty()) return 1;
    for (const QString& file : files) {
      qrc += "    <file compression-algorithm=\"none\">" + file.toUtf8() + "</file>\n";
    }
  }
  qrc += "  </qresource>\n</RCC>\n";
  return writeFile(out.filePath(QStringLiteral("symbols.qrc")), qrc) ? 0 : 1;
}
