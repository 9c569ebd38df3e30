// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

namespace zepa {

class AppModel;

// The About dialog: symbol, name, the Linux About text and "Schließen".
class AboutView : public QDialog {
  Q_OBJECT
 public:
  explicit AboutView(AppModel& model, QWidget* parent = nullptr);

  static const QString aboutText;
};

}  // namespace zepa
