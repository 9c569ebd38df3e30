// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "app/launch/launch_options.hpp"
#include "app/launch/zepa_app_delegate.hpp"
#include "app/model/app_model.hpp"
#include "app/views/main_window.hpp"

namespace zepa {

// The application for its whole life: the delegate, the one model every view shares, and the
// main window. Needs a QApplication.
class ZEPAControlApp {
 public:
  // Builds the window without measuring any text: text is measured from show() on.
  ZEPAControlApp(ModelEnvironment environment, const LaunchOptions& options);
  // Waits for running keyboard work first: its results are posted to the model. The model's
  // settings store then waits for its queued writes, so nothing is lost at quit.
  ~ZEPAControlApp();
  ZEPAControlApp(const ZEPAControlApp&) = delete;
  ZEPAControlApp& operator=(const ZEPAControlApp&) = delete;

  ZEPAAppDelegate& appDelegate() { return *appDelegate_; }
  AppModel& model() { return *model_; }
  MainWindow& mainWindow() { return *window_; }

  void show();

 private:
  std::unique_ptr<ZEPAAppDelegate> appDelegate_;
  std::unique_ptr<AppModel> model_;
  std::unique_ptr<MainWindow> window_;
};

// The udev rules bundled with the program, as installed under /lib/udev/rules.d; empty when
// the program was built without them.
QByteArray bundledUdevRules();

// Installs Qt's own German texts (standard dialogs, buttons, context menus) whatever the
// system locale says: the whole window is German. False when the catalogue is not installed.
bool installGermanQtTranslations();

// The program: arguments, application object, window, event loop. Returns the exit status.
int runZEPAControl(int argc, char** argv);

}  // namespace zepa
