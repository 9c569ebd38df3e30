// SPDX-License-Identifier: MIT
#include "app/views/per_key_view.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "app/model/app_model.hpp"
#include "app/views/color_button.hpp"
#include "app/views/destructive.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/key_grid.hpp"
#include "app/views/rounded_panel.hpp"
#include "app/views/unsupported_halvern_view.hpp"
#include "protocol/zepa_key_map.hpp"

namespace zepa {

PerKeyView::PerKeyView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("perKeyView"));
  zepaPage_ = makeZepaPage();
  unsupported_ = new UnsupportedHalvernView(
      QStringLiteral("Einzeltastenfarben nicht verfügbar"),
      QStringLiteral("Die Corvane-Pro-Firmware stellt unter Linux keinen zuverlässig nutzbaren "
                     "Konfigurationskanal für einzelne LEDs bereit. Diese Funktion ist deshalb "
                     "für dieses Keyboard deaktiviert."),
      this);
  // The panel's wrapping title is laid out at its one-line hint and this longer title would be
  // cut in half; one line fits every window width the main window allows.
  if (auto* title = unsupported_->findChild<QLabel*>(QStringLiteral("unsupportedTitle")))
    title->setWordWrap(false);
  stack_ = new QStackedLayout(this);
  stack_->addWidget(zepaPage_);
  stack_->addWidget(unsupported_);

  for (auto signal : {&AppModel::selectedKeyboardChanged, &AppModel::selectedKeysChanged,
                      &AppModel::selectedColorChanged, &AppModel::busyChanged,
                      &AppModel::connectedChanged, &AppModel::profileChanged}) {
    connect(&model_, signal, this, &PerKeyView::refresh);
  }
  refresh();
}

QWidget* PerKeyView::makeZepaPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("perKeyPage"));

  auto* headline = new QLabel(QStringLiteral("Tasten auswählen"), page);
  headline->setObjectName(QStringLiteral("perKeyHeadline"));
  QFont bold = headline->font();
  bold.setBold(true);
  headline->setFont(bold);

  color_ = new ColorButton(page);
  color_->setObjectName(QStringLiteral("perKeyColorPicker"));
  color_->setAccessibleName(QStringLiteral("Farbe"));
  color_->setToolTip(QStringLiteral("Farbe"));
  connect(color_, &ColorButton::colorPicked, &model_, &AppModel::setSelectedColor);

  auto* all = new QPushButton(QStringLiteral("Alle"), page);
  all->setObjectName(QStringLiteral("selectAllButton"));
  connect(all, &QPushButton::clicked, this, [this] {
    KeySelection every;
    for (const ZEPAKey& key : ZEPAKeyMap::keys()) every.insert(key.index);
    model_.setSelectedKeys(every);
  });
  auto* none = new QPushButton(QStringLiteral("Keine"), page);
  none->setObjectName(QStringLiteral("selectNoneButton"));
  connect(none, &QPushButton::clicked, this, [this] { model_.setSelectedKeys({}); });

  auto* header = new QHBoxLayout;
  header->addWidget(headline);
  header->addStretch(1);
  header->addWidget(color_);
  header->addWidget(all);
  header->addWidget(none);

  auto* keyArea = new QWidget;
  keyArea->setObjectName(QStringLiteral("keyGrid"));
  grid_ = new AdaptiveGridLayout(minKeyWidth, maxKeyWidth, keySpacing, keyArea);
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
    auto* button = new KeyButton(QString::fromStdString(key.name), key.index, keyArea);
    button->setObjectName(QStringLiteral("key%1").arg(key.index));
    const std::uint8_t index = key.index;
    connect(button, &QPushButton::clicked, this, [this, index] { toggle(index); });
    connect(button, &KeyButton::moveRequested, this,
            [this, button](int key) { moveFocus(button, key); });
    grid_->addWidget(button);
    keys_.push_back(button);
  }
  if (!keys_.empty()) makeTabStop(keys_.front());

  auto* scroll = keyScroll_ = new QScrollArea;
  scroll->setObjectName(QStringLiteral("keyGridScroll"));
  scroll->setWidget(keyArea);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The panel underneath shows through.
  scroll->viewport()->setAutoFillBackground(false);
  keyArea->setAutoFillBackground(false);

  auto* panel = new RoundedPanel(10, page);
  panel->setObjectName(QStringLiteral("keyPanel"));
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(10, 10, 10, 10);
  panelLayout->addWidget(scroll);

  auto* note = noteLabel(QStringLiteral("Nicht ausgewählte Tasten behalten die zuvor in diesem "
                                        "Profil gespeicherte Farbe. Bei einem leeren Profil "
                                        "bleiben sie dunkel."),
                         page);
  note->setObjectName(QStringLiteral("perKeyNote"));

  clear_ = new QPushButton(QStringLiteral("Alle Farben löschen"), page);
  clear_->setObjectName(QStringLiteral("clearColorsButton"));
  markDestructive(clear_);
  connect(clear_, &QPushButton::clicked, &model_, &AppModel::clearPerKey);

  apply_ = new QPushButton(QStringLiteral("Auswahl anwenden"), page);
  apply_->setObjectName(QStringLiteral("applySelectionButton"));
  apply_->setDefault(true);
  markProminent(apply_);
  connect(apply_, &QPushButton::clicked, &model_, &AppModel::applyPerKey);

  auto* actions = new QHBoxLayout;
  actions->addWidget(clear_);
  actions->addStretch(1);
  actions->addWidget(apply_);

  auto* layout = new QVBoxLayout(page);
  layout->addLayout(header);
  layout->addWidget(panel, 1);
  layout->addWidget(note);
  layout->addLayout(actions);
  return page;
}

void PerKeyView::toggle(std::uint8_t index) {
  KeySelection keys = model_.selectedKeys();
  if (!keys.erase(index)) keys.insert(index);
  model_.setSelectedKeys(keys);
}

void PerKeyView::makeTabStop(KeyButton* key) {
  for (KeyButton* button : keys_)
    button->setFocusPolicy(button == key ? Qt::TabFocus : Qt::NoFocus);
}

void PerKeyView::moveFocus(KeyButton* from, int key) {
  const auto at = std::find(keys_.begin(), keys_.end(), from);
  if (at == keys_.end()) return;
  const int count = static_cast<int>(keys_.size());
  const int index = static_cast<int>(at - keys_.begin());
  // Up and down go to the key in the same column of the row as the grid shows it now.
  const int columns = grid_->columnCount(grid_->geometry().width());
  const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
  int target = index;
  switch (key) {
    case Qt::Key_Left:
      target = rightToLeft ? index + 1 : index - 1;
      break;
    case Qt::Key_Right:
      target = rightToLeft ? index - 1 : index + 1;
      break;
    case Qt::Key_Up:
      target = index - columns;
      break;
    case Qt::Key_Down:
      target = index + columns;
      break;
    case Qt::Key_Home:
      target = 0;
      break;
    case Qt::Key_End:
      target = count - 1;
      break;
    default:
      return;
  }
  if (target < 0 || target >= count) return;
  KeyButton* next = keys_[static_cast<std::size_t>(target)];
  makeTabStop(next);
  next->setFocus(Qt::OtherFocusReason);
  keyScroll_->ensureWidgetVisible(next);
}

void PerKeyView::refresh() {
  stack_->setCurrentWidget(model_.selectedKeyboard() == SupportedKeyboard::halvern ? unsupported_
                                                                                   : zepaPage_);
  const KeySelection& selected = model_.selectedKeys();
  for (KeyButton* button : keys_) {
    const QSignalBlocker block(button);
    button->setChecked(selected.contains(button->keyIndex()));
  }

  color_->setColor(model_.selectedColor());
  clear_->setEnabled(!model_.busy());
  apply_->setEnabled(!model_.busy() && model_.connected() && !selected.empty());
}

}  // namespace zepa
