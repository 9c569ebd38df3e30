// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <utility>

#include <QWidget>

#include "app/model/app_model.hpp"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QSlider;
class QStackedLayout;

namespace zepa {

class ColorButton;
class HalvernLightingView;

// The lighting tab: the ZEPA VX10 form, or HalvernLightingView while the Halvern keyboard is
// selected. Controls read the model on every change and write straight into it.
class LightingView : public QWidget {
  Q_OBJECT
 public:
  explicit LightingView(AppModel& model, QWidget* parent = nullptr);

 protected:
  bool event(QEvent* event) override;

 private:
  void fitEffectPicker();
  void fillZepaForm(QWidget* page);
  void refresh();

  AppModel& model_;
  QStackedLayout* stack_ = nullptr;
  QWidget* zepaForm_ = nullptr;
  HalvernLightingView* halvern_ = nullptr;

  QFormLayout* form_ = nullptr;
  QComboBox* effect_ = nullptr;
  ColorButton* color_ = nullptr;
  QCheckBox* colorful_ = nullptr;
  QLabel* brightnessLabel_ = nullptr;
  QSlider* brightness_ = nullptr;
  QLabel* speedLabel_ = nullptr;
  QSlider* speed_ = nullptr;
  QWidget* direction_ = nullptr;
  QButtonGroup* directionGroup_ = nullptr;
  QLabel* activeSelection_ = nullptr;
  QPushButton* apply_ = nullptr;
  // What the picker's width was last fitted to: the effect names' revision and the font.
  std::optional<std::pair<int, QString>> fittedTo_;
};

}  // namespace zepa
