// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace zepa {

class AppModel;

// The settings window: the two start-up options, written to the store as they are switched.
class SettingsView : public QWidget {
  Q_OBJECT
 public:
  explicit SettingsView(AppModel& model, QWidget* parent = nullptr);
};

}  // namespace zepa
