// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "protocol/zepa_key_map.hpp"

class QPushButton;

namespace zepa {

class AppModel;
class RemapEditor;

// Remapping of the Halvern Corvane Pro 108: the list lives in the app and is handed to Linux
// as a per-device key map; the keyboard's firmware is not touched.
class HalvernRemapView : public QWidget {
  Q_OBJECT
 public:
  explicit HalvernRemapView(AppModel& model, QWidget* parent = nullptr);

  // The keys the pickers offer: the ZEPA key table without "Fn", whose usage is no real key.
  static const std::vector<ZEPAKey>& keys();
  // A usage's key name, else "HID" and the usage as two hex digits.
  static QString keyName(std::uint8_t usage);

 private:
  void remove(std::uint8_t source);
  void reset();
  void refresh();

  AppModel& model_;
  RemapEditor* editor_ = nullptr;
  QPushButton* reset_ = nullptr;
  QPushButton* reapply_ = nullptr;
};

}  // namespace zepa
