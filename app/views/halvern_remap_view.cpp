#include "app/views/halvern_remap_view.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/model/app_model.hpp"
#include "app/views/destructive.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/remap_list.hpp"

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

  auto* note = secondaryLabel(QStringLiteral("Die Zuordnung erfolgt gerätespezifisch durch Linux "
                                             "und verändert die Firmware der Corvane Pro nicht."),
                              this);
  note->setObjectName(QStringLiteral("halvernRemapNote"));
  note->setWordWrap(true);

  source_ = new QComboBox(this);
  source_->setObjectName(QStringLiteral("halvernSourcePicker"));
  target_ = new QComboBox(this);
  target_->setObjectName(QStringLiteral("halvernTargetPicker"));
  for (const ZEPAKey& key : keys()) {
    source_->addItem(QString::fromStdString(key.name), key.hid);
    target_->addItem(QString::fromStdString(key.name), key.hid);
  }
  connect(source_, &QComboBox::activated, this, [this](int i) {
    model_.setHalvernSourceHID(static_cast<quint8>(source_->itemData(i).toInt()));
  });
  connect(target_, &QComboBox::activated, this, [this](int i) {
    model_.setHalvernTargetHID(static_cast<quint8>(target_->itemData(i).toInt()));
  });

  add_ = new QPushButton(QStringLiteral("Hinzufügen und anwenden"), this);
  add_->setObjectName(QStringLiteral("addHalvernRemapButton"));
  add_->setDefault(true);
  markProminent(add_);
  connect(add_, &QPushButton::clicked, &model_, &AppModel::addHalvernRemap);

  list_ = new RemapList(this);
  connect(list_, &RemapList::removeRequested, this, &HalvernRemapView::remove);

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

  list_->placeInTabOrder(add_, reset_);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(12);
  layout->addWidget(makeRemapTitle(this));
  layout->addWidget(note);
  layout->addLayout(makePickerRow(source_, target_, add_, this));
  layout->addWidget(list_, 1);
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
  showPickerValue(source_, model_.halvernSourceHID());
  showPickerValue(target_, model_.halvernTargetHID());

  std::vector<RemapListRow> rows;
  for (const KeyRemap& remap : model_.halvernRemaps())
    rows.push_back({remap.sourceIndex, keyName(remap.sourceIndex), keyName(remap.param2)});
  list_->setRows(rows);

  const bool canSend = !model_.busy() && model_.connected();
  add_->setEnabled(canSend);
  reset_->setEnabled(canSend);
  reapply_->setEnabled(canSend && !model_.halvernRemaps().empty());
  // A removal while another operation runs would be stored but never applied, leaving Linux
  // on a map the list no longer shows.
  list_->setRemoveEnabled(!model_.busy());
}

}  // namespace zepa
