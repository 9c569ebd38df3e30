#include "app/views/calibration_view.hpp"

namespace zepa {

// Placeholder until the view is built.
CalibrationView::CalibrationView(AppModel& model, QWidget* parent) : QDialog(parent), model_(model) {}

}  // namespace zepa
