// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <vector>

class QPushButton;
class QScrollArea;
class QStackedLayout;

namespace zepa {

class AppModel;
class AdaptiveGridLayout;
class ColorButton;
class KeyButton;
class UnsupportedHalvernView;

// The per-key colour tab: pick keys on a grid of all 104 keys of the ZEPA VX10 and write one
// colour to them. The selection and the colour live in the model, so they survive applying and
// switching tabs. The Halvern keyboard has no per-key channel; it gets the unsupported panel.
class PerKeyView : public QWidget {
  Q_OBJECT
 public:
  explicit PerKeyView(AppModel& model, QWidget* parent = nullptr);

  // The grid's column rule: as many columns as fit, each 58 to 90 wide, 6 apart.
  static constexpr int minKeyWidth = 58;
  static constexpr int maxKeyWidth = 90;
  static constexpr int keySpacing = 6;

  AdaptiveGridLayout* gridLayout() const { return grid_; }

 private:
  QWidget* makeZepaPage();
  void toggle(std::uint8_t index);
  // The grid is one Tab stop: the key that had focus last (at first the first key).
  void moveFocus(KeyButton* from, int key);
  void makeTabStop(KeyButton* key);
  void refresh();

  AppModel& model_;
  QStackedLayout* stack_ = nullptr;
  QWidget* zepaPage_ = nullptr;
  UnsupportedHalvernView* unsupported_ = nullptr;
  ColorButton* color_ = nullptr;
  AdaptiveGridLayout* grid_ = nullptr;
  std::vector<KeyButton*> keys_;
  QScrollArea* keyScroll_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace zepa
