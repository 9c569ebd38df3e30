#pragma once

#include <QWidget>

namespace zepa {

class AppModel;

class PerKeyView : public QWidget {
  Q_OBJECT
 public:
  explicit PerKeyView(AppModel& model, QWidget* parent = nullptr);

 private:
  AppModel& model_;
};

}  // namespace zepa
