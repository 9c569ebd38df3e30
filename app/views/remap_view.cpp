// SPDX-License-Identifier: MIT
#include "app/views/remap_view.hpp"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <bit>

#include "app/model/app_model.hpp"
#include "app/views/destructive.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/halvern_remap_view.hpp"
#include "app/views/remap_editor.hpp"
#include "protocol/zepa_key_map.hpp"

namespace zepa {

namespace {

QString nameOfUsage(std::uint8_t usage) {
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
    if (key.hid == usage) return QString::fromStdString(key.name);
  }
  return {};
}

}  // namespace

QString RemapView::sourceName(std::uint8_t index) {
  if (const ZEPAKey* key = ZEPAKeyMap::key(index)) return QString::fromStdString(key->name);
  return QStringLiteral("#%1").arg(index);
}

QString RemapView::targetName(const KeyRemap& remap) {
  if (remap.param2 != 0) {
    const QString name = nameOfUsage(remap.param2);
    return name.isEmpty() ? QStringLiteral("HID %1").arg(remap.param2, 2, 16, QLatin1Char('0'))
                          : name;
  }
  // A modifier travels as one bit of the modifier byte; bit n stands for usage 0xE0 + n.
  const std::uint8_t bits = remap.param1;
  if (bits == 0 || (bits & (bits - 1)) != 0) return QStringLiteral("Unbekannt");
  const int bit = std::countr_zero(static_cast<unsigned>(bits));
  const QString name = nameOfUsage(static_cast<std::uint8_t>(0xE0 + bit));
  return name.isEmpty() ? QStringLiteral("Modifier") : name;
}

RemapView::RemapView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("remapView"));
  zepaPage_ = makeZepaPage();
  halvern_ = new HalvernRemapView(model_, this);
  stack_ = new QStackedLayout(this);
  stack_->addWidget(zepaPage_);
  stack_->addWidget(halvern_);

  for (auto signal : {&AppModel::selectedKeyboardChanged, &AppModel::profileChanged,
                      &AppModel::sourceIndexChanged, &AppModel::targetIndexChanged,
                      &AppModel::busyChanged, &AppModel::connectedChanged}) {
    connect(&model_, signal, this, &RemapView::refresh);
  }
  refresh();
}

QWidget* RemapView::makeZepaPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("zepaRemapPage"));

  std::vector<RemapEditor::Choice> keys;
  for (const ZEPAKey& key : ZEPAKeyMap::keys())
    keys.push_back({QString::fromStdString(key.name), key.index});
  editor_ = new RemapEditor(QStringLiteral("Die gesamte Belegung wird bei jeder Änderung neu "
                                           "übertragen. Nicht aufgeführte Tasten behalten ihre "
                                           "Standardfunktion."),
                            QStringLiteral("Hinzufügen und übertragen"), keys,
                            {"remapNote", "sourcePicker", "targetPicker", "addRemapButton"}, page);
  connect(editor_, &RemapEditor::sourceChosen, this,
          [this](int value) { model_.setSourceIndex(static_cast<quint8>(value)); });
  connect(editor_, &RemapEditor::targetChosen, this,
          [this](int value) { model_.setTargetIndex(static_cast<quint8>(value)); });
  connect(editor_, &RemapEditor::addRequested, &model_, &AppModel::addRemap);
  connect(editor_, &RemapEditor::removeRequested, this, &RemapView::remove);

  reset_ = new QPushButton(QStringLiteral("Standardbelegung wiederherstellen"), page);
  reset_->setObjectName(QStringLiteral("resetRemapsButton"));
  markDestructive(reset_);
  connect(reset_, &QPushButton::clicked, &model_, &AppModel::resetRemaps);
  auto* resetRow = new QHBoxLayout;
  resetRow->addWidget(reset_);
  resetRow->addStretch(1);
  editor_->setTabOrderAfterList(reset_);

  auto* layout = new QVBoxLayout(page);
  layout->setSpacing(12);
  layout->addWidget(editor_, 1);
  layout->addLayout(resetRow);
  return page;
}

void RemapView::remove(std::uint8_t source) {
  model_.editProfile([source](ZEPAProfile& profile) {
    std::erase_if(profile.remaps, [source](const KeyRemap& r) { return r.sourceIndex == source; });
  });
  model_.applyRemaps();
}

void RemapView::refresh() {
  stack_->setCurrentWidget(model_.selectedKeyboard() == SupportedKeyboard::halvern ? halvern_
                                                                                   : zepaPage_);
  editor_->showChoice(model_.sourceIndex(), model_.targetIndex());

  std::vector<RemapListRow> rows;
  for (const KeyRemap& remap : model_.profile().remaps)
    rows.push_back({remap.sourceIndex, sourceName(remap.sourceIndex), targetName(remap)});
  editor_->setRows(rows);

  const bool canSend = !model_.busy() && model_.connected();
  editor_->setAddEnabled(canSend);
  reset_->setEnabled(canSend);
  // While a write runs a removal would be dropped by the runner, and the runner's success
  // then restores the profile it started from: the row would come back on its own.
  editor_->setRemoveEnabled(!model_.busy());
}

}  // namespace zepa
