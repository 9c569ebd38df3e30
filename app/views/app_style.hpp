// SPDX-License-Identifier: MIT
#pragma once

#include <QProxyStyle>

namespace zepa {

// The desktop's style with two start-up costs removed. Both the menu bar's overflow icon,
// made with the window though rarely shown, and Fusion's group-box frame are PNG files, and
// Qt asks every installed image plug-in whether it reads PNG before using its own decoder:
// six libraries loaded before the first paint. Standard icons are therefore made when first
// drawn, and the group-box frame is painted here.
class AppStyle : public QProxyStyle {
 public:
  QIcon standardIcon(StandardPixmap which, const QStyleOption* option = nullptr,
                     const QWidget* widget = nullptr) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};

}  // namespace zepa
