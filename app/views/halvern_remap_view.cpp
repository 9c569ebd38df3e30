// SPDX-License-Identifier: MIT
#include "app/views/halvern_remap_view.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/model/app_model.hpp"
#include "app/views/destructive.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/remap_editor.hpp"

namespace zepa {

namespace {

constexpr std::uint8_t fnUsage = 0xAF;

}  // namespace

const std::vector<ZEPAKey>& HalvernRemapView::keys() {
  static const std::vector<ZEPAKey> list = [] {
    std::vector<ZEPAKey> keys;
    for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
      if (key.hid != fnUsage) keys.push_back(key);
    }
    return keys;
  }();
  return list;
}

QString HalvernRemapView::keyName(std::uint8_t usage) {
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
    if (key.hid == usage) return QString::fromStdString(key.name);
  }
  return QStringLiteral("HID %1").arg(usage, 2, 16, QLatin1Char('0'));
}

HalvernRemapView::HalvernRemapView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("halvernRemapView"));

  std::vector<RemapEditor::Choice> choices;
  for (const ZEPAKey& key : keys()) choices.push_back({QString::fromStdString(key.name), key.hid});
  editor_ = new RemapEditor(
      QStringLiteral("Die Zuordnung erfolgt gerätespezifisch durch Linux und verändert die "
                     "Firmware der Corvane Pro nicht."),
      QStringLiteral("Hinzufügen und anwenden"), choices,
      {"halvernRemapNote", "halvernSourcePicker", "halvernTargetPicker", "addHalvernRemapButton"},
      this);
  connect(editor_, &RemapEditor::sourceChosen, this,
          [this](int value) { model_.setHalvernSourceHID(static_cast<quint8>(value)); });
  connect(editor_, &RemapEditor::targetChosen, this,
          [this](int value) { model_.setHalvernTargetHID(static_cast<quint8>(value)); });
  connect(editor_, &RemapEditor::addRequested, &model_, &AppModel::addHalvernRemap);
  connect(editor_, &RemapEditor::removeRequested, this, &HalvernRemapView::remove);

  auto* footnote = noteLabel(
      QStringLiteral("Linux verwirft die aktive Zuordnung nach einem Neustart oder wenn die "
                     "Tastatur getrennt wird. Die App behält die Liste; mit „Gespeicherte "
                     "Zuordnung anwenden“ wird sie erneut aktiviert."),
      this);
  footnote->setObjectName(QStringLiteral("halvernRemapFootnote"));

  reset_ = new QPushButton(QStringLiteral("Standardbelegung wiederherstellen"), this);
  reset_->setObjectName(QStringLiteral("resetHalvernRemapsButton"));
  markDestructive(reset_);
  connect(reset_, &QPushButton::clicked, this, &HalvernRemapView::reset);
  reapply_ = new QPushButton(QStringLiteral("Gespeicherte Zuordnung anwenden"), this);
  reapply_->setObjectName(QStringLiteral("reapplyHalvernRemapsButton"));
  connect(reapply_, &QPushButton::clicked, &model_, &AppModel::applyHalvernRemaps);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(reset_);
  buttons->addWidget(reapply_);
  buttons->addStretch(1);

  editor_->setTabOrderAfterList(reset_);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(12);
  layout->addWidget(editor_, 1);
  layout->addWidget(footnote);
  layout->addLayout(buttons);

  for (auto signal :
       {&AppModel::halvernRemapsChanged, &AppModel::halvernSourceHIDChanged,
        &AppModel::halvernTargetHIDChanged, &AppModel::busyChanged, &AppModel::connectedChanged}) {
    connect(&model_, signal, this, &HalvernRemapView::refresh);
  }
  refresh();
}

// The list is stored before it is applied, so the stored list is what the next start and the
// reapply button use.
void HalvernRemapView::remove(std::uint8_t source) {
  KeyRemaps remaps = model_.halvernRemaps();
  std::erase_if(remaps, [source](const KeyRemap& r) { return r.sourceIndex == source; });
  model_.setHalvernRemaps(remaps);
  model_.saveHalvernRemaps();
  model_.applyHalvernRemaps();
}

void HalvernRemapView::reset() {
  model_.setHalvernRemaps({});
  model_.saveHalvernRemaps();
  model_.applyHalvernRemaps();
}

void HalvernRemapView::refresh() {
  editor_->showChoice(model_.halvernSourceHID(), model_.halvernTargetHID());

  std::vector<RemapListRow> rows;
  for (const KeyRemap& remap : model_.halvernRemaps())
    rows.push_back({remap.sourceIndex, keyName(remap.sourceIndex), keyName(remap.param2)});
  editor_->setRows(rows);

  const bool canSend = !model_.busy() && model_.connected();
  editor_->setAddEnabled(canSend);
  reset_->setEnabled(canSend);
  reapply_->setEnabled(canSend && !model_.halvernRemaps().empty());
  // A removal while another operation runs would be stored but never applied, leaving Linux
  // on a map the list no longer shows.
  editor_->setRemoveEnabled(!model_.busy());
}

}  // namespace zepa
