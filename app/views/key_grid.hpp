// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QLayout>
#include <QList>
#include <QPushButton>

namespace zepa {

// Lays its items out in as many equal columns as the width allows, each between a minimum and
// a maximum width, so the grid reflows when the window is resized. Rows are as high as the
// tallest item wants; a grid narrower than its maximum width is centred.
class AdaptiveGridLayout : public QLayout {
 public:
  AdaptiveGridLayout(int minColumnWidth, int maxColumnWidth, int spacing,
                     QWidget* parent = nullptr);
  ~AdaptiveGridLayout() override;

  // How many columns and how wide each for the given width of the layout's contents.
  int columnCount(int width) const;
  int columnWidth(int width) const;

  void addItem(QLayoutItem* item) override;
  int count() const override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  Qt::Orientations expandingDirections() const override;
  bool hasHeightForWidth() const override;
  int heightForWidth(int width) const override;
  QSize minimumSize() const override;
  QSize sizeHint() const override;
  void setGeometry(const QRect& rect) override;

 private:
  int rowHeight() const;
  int arrange(const QRect& rect, bool apply) const;

  int minColumnWidth_;
  int maxColumnWidth_;
  int spacing_;
  QList<QLayoutItem*> items_;
};

// One key of the grid: a checkable key cap showing the key's label, filled with the accent
// colour while selected. Stored colours are not shown: the grid is for choosing keys. Space
// toggles it; the arrows, Home and End ask the grid to move focus to another key.
class KeyButton : public QPushButton {
  Q_OBJECT
 public:
  KeyButton(const QString& label, std::uint8_t index, QWidget* parent = nullptr);

  std::uint8_t keyIndex() const { return index_; }
  // "Taste " and the label, symbols spelt out: what a screen reader announces.
  static QString spokenName(const QString& label);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // Qt::Key_Left, Key_Right, Key_Up, Key_Down, Key_Home or Key_End was pressed on this key.
  void moveRequested(int key);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  std::uint8_t index_;
  bool hovered_ = false;
};

}  // namespace zepa
