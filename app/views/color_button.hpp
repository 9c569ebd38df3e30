// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPointer>
#include <QPushButton>

#include <QColorDialog>

namespace zepa {

// A colour picker without opacity: a swatch button that opens the colour dialog. The dialog
// does not block; colorPicked is emitted when the user confirms a colour.
class ColorButton : public QPushButton {
  Q_OBJECT
 public:
  explicit ColorButton(QWidget* parent = nullptr);

  void setColor(const QColor& color);
  QColor color() const { return color_; }
  QColorDialog* dialog() const { return dialog_; }  // while open

 signals:
  void colorPicked(const QColor& color);

 private:
  void openDialog();

  QColor color_;
  QPointer<QColorDialog> dialog_;
};

}  // namespace zepa
