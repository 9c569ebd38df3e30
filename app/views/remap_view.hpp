// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

#include "protocol/records.hpp"

class QPushButton;
class QStackedLayout;

namespace zepa {

class AppModel;
class HalvernRemapView;
class RemapEditor;

// The key-remapping tab: edits the ZEPA VX10's firmware remaps, writing the whole list after
// every change, or shows HalvernRemapView while the Halvern keyboard is selected.
class RemapView : public QWidget {
  Q_OBJECT
 public:
  explicit RemapView(AppModel& model, QWidget* parent = nullptr);

  // Row texts: the source key's name, else "#" and the index; the target from the remap's
  // modifier bits or usage.
  static QString sourceName(std::uint8_t index);
  static QString targetName(const KeyRemap& remap);

 private:
  QWidget* makeZepaPage();
  void remove(std::uint8_t source);
  void refresh();

  AppModel& model_;
  QStackedLayout* stack_ = nullptr;
  QWidget* zepaPage_ = nullptr;
  HalvernRemapView* halvern_ = nullptr;
  RemapEditor* editor_ = nullptr;
  QPushButton* reset_ = nullptr;
};

}  // namespace zepa
