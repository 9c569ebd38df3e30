#pragma once

#include <QWidget>

namespace zepa {

class AppModel;

class RemapView : public QWidget {
  Q_OBJECT
 public:
  explicit RemapView(AppModel& model, QWidget* parent = nullptr);

 private:
  AppModel& model_;
};

}  // namespace zepa
