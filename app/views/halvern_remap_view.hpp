#pragma once

#include <QWidget>

namespace zepa {

class AppModel;

class HalvernRemapView : public QWidget {
  Q_OBJECT
 public:
  explicit HalvernRemapView(AppModel& model, QWidget* parent = nullptr);

 private:
  AppModel& model_;
};

}  // namespace zepa
