// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include "app/model/app_model.hpp"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QSlider;

namespace zepa {

class ColorButton;

// The lighting form of the Halvern Corvane Pro 108.
class HalvernLightingView : public QWidget {
  Q_OBJECT
 public:
  explicit HalvernLightingView(AppModel& model, QWidget* parent = nullptr);

  // "ID 11 – Aurora"
  static QString effectLabel(HalvernEffect effect);

 private:
  void refresh();

  AppModel& model_;
  QFormLayout* form_ = nullptr;
  QComboBox* effect_ = nullptr;
  ColorButton* color_ = nullptr;
  QCheckBox* colorful_ = nullptr;
  QLabel* colorStatus_ = nullptr;
  QLabel* brightnessLabel_ = nullptr;
  QSlider* brightness_ = nullptr;
  QLabel* speedLabel_ = nullptr;
  QSlider* speed_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace zepa
