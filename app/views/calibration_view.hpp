#pragma once

#include <QDialog>

namespace zepa {

class AppModel;

// Modal dialog; the main window creates a fresh one each time it opens.
class CalibrationView : public QDialog {
  Q_OBJECT
 public:
  explicit CalibrationView(AppModel& model, QWidget* parent = nullptr);

 private:
  AppModel& model_;
};

}  // namespace zepa
