// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class QStackedLayout;
class QVBoxLayout;

namespace zepa {

// One line of a remap list: the source key (which also identifies the row) and the two names.
struct RemapListRow {
  std::uint8_t source = 0;
  QString sourceName;
  QString targetName;
};

// The list both remap views show: source → target per row with a trash button, or, while
// empty, a keyboard symbol over "Keine Umbelegungen". Rows are named "remapRow<source>";
// inside one: "remapSource", "remapTarget", "remapDelete".
class RemapList : public QWidget {
  Q_OBJECT
 public:
  explicit RemapList(QWidget* parent = nullptr);

  void setRows(const std::vector<RemapListRow>& rows);
  void setRemoveEnabled(bool enabled);
  int rowCount() const { return rowCount_; }
  // Rows are made after the controls around the list; without this Tab would visit their
  // remove buttons last, after the controls below the list.
  void placeInTabOrder(QWidget* before, QWidget* after);

 signals:
  void removeRequested(std::uint8_t source);

 private:
  QStackedLayout* stack_ = nullptr;
  QWidget* listPage_ = nullptr;
  QWidget* emptyPage_ = nullptr;
  QVBoxLayout* rowsLayout_ = nullptr;
  std::vector<QWidget*> widgets_;  // rows and the rules between them
  int rowCount_ = 0;
  bool removeEnabled_ = true;
  QWidget* tabBefore_ = nullptr;
  QWidget* tabAfter_ = nullptr;

  void chainTabOrder();
};

// A right-pointing arrow between two key names or pickers, in the dimmed colour.
QWidget* makeRemapArrow(QWidget* parent);

}  // namespace zepa
