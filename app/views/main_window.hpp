// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>
#include <QPointer>

#include "app/views/settings_view.hpp"

namespace zepa {

class AppModel;
class ContentView;

// The main window: ContentView in the middle, a menu bar with the settings window and the
// About dialog.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(AppModel& model, QWidget* parent = nullptr);

  ContentView* contentView() const { return content_; }
  // The settings window once it was opened.
  SettingsView* settingsWindow() const { return settings_; }

 public slots:
  void openSettings();

 private:
  AppModel& model_;
  ContentView* content_ = nullptr;
  QPointer<SettingsView> settings_;
};

}  // namespace zepa
