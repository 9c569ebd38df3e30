// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QIcon>

class QAbstractButton;

// The look of actions that delete something (clear colours, reset remaps, reset names):
// Qt Widgets has no destructive button role outside message boxes, so these read red.
namespace zepa {

QColor destructiveColor();

// Red text on the button, in every state but disabled.
void markDestructive(QAbstractButton* button);

// A trash can outline in the destructive colour, for the remove buttons of list rows.
QIcon trashIcon();

}  // namespace zepa
