// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/views/remap_list.hpp"

class QComboBox;
class QPushButton;

namespace zepa {

// The block both remap views share: the title, the view's note, "Von" picker → "Nach" picker
// with the add button, and the list of remaps. The views own what lies below it and what the
// choices mean; the pickers' values are key indices or usages, as the view fills them.
class RemapEditor : public QWidget {
  Q_OBJECT
 public:
  struct Choice {
    QString name;
    int value = 0;
  };
  // Object names of the parts, which differ per keyboard.
  struct Names {
    const char* note;
    const char* source;
    const char* target;
    const char* add;
  };
  RemapEditor(const QString& note, const QString& addText, const std::vector<Choice>& keys,
              const Names& names, QWidget* parent = nullptr);

  // Shows the model's choices without emitting; no entry when a value is not offered.
  void showChoice(int source, int target);
  void setRows(const std::vector<RemapListRow>& rows);
  void setAddEnabled(bool enabled);
  void setRemoveEnabled(bool enabled);
  // Tab goes from the add button through the rows' remove buttons to `next`.
  void setTabOrderAfterList(QWidget* next);

 signals:
  void sourceChosen(int value);
  void targetChosen(int value);
  void addRequested();
  void removeRequested(std::uint8_t source);

 private:
  QComboBox* source_ = nullptr;
  QComboBox* target_ = nullptr;
  QPushButton* add_ = nullptr;
  RemapList* list_ = nullptr;
};

}  // namespace zepa
