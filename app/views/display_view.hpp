// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QWidget>

#include "app/model/app_model.hpp"

class QLabel;
class QPushButton;
class QStackedLayout;

namespace zepa {

class UnsupportedHalvernView;

// The display tab: syncs the ZEPA VX10's clock; the Halvern keyboard has no display.
class DisplayView : public QWidget {
  Q_OBJECT
 public:
  explicit DisplayView(AppModel& model, QWidget* parent = nullptr);

  // The computer's date and time as the display tab shows it: the locale's long date and its
  // short time.
  static QString dateTimeText(const QDateTime& when, const QLocale& locale);
  // The user's locale when it is a German one (Austrian and Swiss conventions stay), else
  // German as spoken in Germany: the window is German whatever the system's language.
  static QLocale displayLocale(const QLocale& user);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* makeClockPanel();
  void refresh();

  AppModel& model_;
  QStackedLayout* stack_ = nullptr;
  QWidget* clockPanel_ = nullptr;
  UnsupportedHalvernView* noDisplay_ = nullptr;
  QLabel* dateTime_ = nullptr;
  QPushButton* sync_ = nullptr;
};

}  // namespace zepa
