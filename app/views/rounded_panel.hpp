// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QWidget>

namespace zepa {

// A faint rounded background that groups what lies on it (the key grid, the test panel, the
// remap list). Children are laid out by whatever layout the caller gives it.
class RoundedPanel : public QWidget {
  Q_OBJECT
 public:
  explicit RoundedPanel(qreal radius, QWidget* parent = nullptr);

  // The tint: the palette's mid colour at this opacity unless a colour is set.
  void setTint(const QColor& color);
  QColor tint() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  qreal radius_;
  QColor tint_;
};

}  // namespace zepa
