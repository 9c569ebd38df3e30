// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <array>
#include <span>

// How the bundled icons are stored once drawn at build time (resources/render_symbols.cpp) and
// read back by symbols.cpp: raw rows without padding, in the resource folder ":/symbols", stored
// uncompressed so reading one is a copy.
namespace zepa::symbols {

// Each symbol is a coverage mask drawn at these edge lengths; a symbol is scaled down from the
// smallest one at least as large as the pixels asked for (the largest symbol shown is 64 px).
inline constexpr std::array<int, 3> maskEdges{32, 64, 128};

// The application icon keeps its colours, at the sizes desktops ask for.
inline constexpr const char* appIconName = "zepa-control";
inline constexpr std::array<int, 5> appIconEdges{16, 32, 48, 64, 128};

// Only the application icon keeps its colours; a symbol is one byte of coverage per pixel.
inline bool isColoured(const QString& name) {
  return name == QLatin1String(appIconName);
}

inline std::span<const int> edgesOf(const QString& name) {
  if (isColoured(name)) return appIconEdges;
  return maskEdges;
}

inline int bytesPerPixel(const QString& name) {
  return isColoured(name) ? 4 : 1;
}

// "dial-64.a8" (one byte of coverage per pixel) or "zepa-control-64.argb" (premultiplied ARGB32).
inline QString pixelFileName(const QString& name, int edge) {
  return QStringLiteral("%1-%2.%3")
      .arg(name)
      .arg(edge)
      .arg(isColoured(name) ? QLatin1String("argb") : QLatin1String("a8"));
}

}  // namespace zepa::symbols
