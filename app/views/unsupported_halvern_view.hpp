// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace zepa {

// The panel shown in place of a feature the Halvern Corvane Pro 108 does not have: a lock
// symbol, a headline and an explanation, centred.
class UnsupportedHalvernView : public QWidget {
  Q_OBJECT
 public:
  UnsupportedHalvernView(const QString& title, const QString& text, QWidget* parent = nullptr);

  QString title() const;
  QString text() const;

 private:
  QLabel* title_;
  QLabel* text_;
};

}  // namespace zepa
