// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace zepa {

// Makes the bundled icons and data files available; safe to call more than once. Needed because
// the resources live in a static library that nothing else references.
void initResources();

// A named interface symbol ("lightbulb", "keyboard", "arrow.left.arrow.right", "display",
// "arrow.clockwise", "keyboard.fill", "lock.shield", "clock.badge.checkmark", "dial",
// "chevron.right"): the desktop theme's icon when the theme has one, else the bundled SVG drawn
// in the palette's text colour. An unknown name gives a null icon.
QIcon symbolIcon(const QString& name);

// The symbol as a single-colour picture of the given edge length, for icons the interface tints
// (the cyan calibration dial, the dimmed lock).
QPixmap tintedSymbol(const QString& name, int size, const QColor& color);

// The application icon, drawn from the bundled SVG at the sizes desktops ask for.
QIcon applicationIcon();

}  // namespace zepa
