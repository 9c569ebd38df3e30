// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/model/app_model.hpp"

class QComboBox;
#include <QDialog>
class QLabel;
#include <QMessageBox>
class QProgressBar;
class QTabWidget;
class QToolButton;

namespace zepa {

// Small filled circle: green while the selected keyboard is attached, red otherwise.
class ConnectionDot : public QWidget {
  Q_OBJECT
 public:
  explicit ConnectionDot(QWidget* parent = nullptr);
  void setConnected(bool connected);
  QColor color() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool connected_ = false;
};

// The main window's content: the header bar with connection, keyboard choice and status, the
// four feature tabs, and the alert and dialogs the model asks for.
class ContentView : public QWidget {
  Q_OBJECT
 public:
  explicit ContentView(AppModel& model, QWidget* parent = nullptr);

  // Open while the model asks for them; null otherwise.
  QMessageBox* alert() const { return alert_; }
  QDialog* aboutDialog() const { return about_; }
  QDialog* calibrationDialog() const { return calibration_; }

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* makeHeader();
  void buildTab(int index);
  void updateHeader();
  void updatePicker();
  void keyboardChanged();
  void updateAlert();
  void updateAbout();
  void updateCalibration();

  AppModel& model_;
  SupportedKeyboard lastKeyboard_;
  bool shownOnce_ = false;

  ConnectionDot* dot_ = nullptr;
  QLabel* connectionText_ = nullptr;
  QComboBox* picker_ = nullptr;
  QProgressBar* busyIndicator_ = nullptr;
  QLabel* status_ = nullptr;
  QToolButton* refresh_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QList<QWidget*> pages_;

  QPointer<QMessageBox> alert_;
  QPointer<QDialog> about_;
  QPointer<QDialog> calibration_;
};

}  // namespace zepa
