// SPDX-License-Identifier: MIT
#include "app/views/remap_editor.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/views/form_parts.hpp"

namespace zepa {

namespace {

QLabel* makeTitle(QWidget* parent) {
  auto* title = new QLabel(QStringLiteral("Tastenbelegung"), parent);
  title->setObjectName(QStringLiteral("remapTitle"));
  QFont font = title->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  font.setBold(true);
  title->setFont(font);
  return title;
}

void showValue(QComboBox* picker, int value) {
  const QSignalBlocker block(picker);
  picker->setCurrentIndex(picker->findData(value));
}

}  // namespace

RemapEditor::RemapEditor(const QString& note, const QString& addText,
                         const std::vector<Choice>& keys, const Names& names, QWidget* parent)
    : QWidget(parent) {
  auto* noteLabel = secondaryLabel(note, this);
  noteLabel->setObjectName(QLatin1String(names.note));
  noteLabel->setWordWrap(true);

  source_ = new QComboBox(this);
  source_->setObjectName(QLatin1String(names.source));
  target_ = new QComboBox(this);
  target_->setObjectName(QLatin1String(names.target));
  for (const Choice& key : keys) {
    source_->addItem(key.name, key.value);
    target_->addItem(key.name, key.value);
  }
  connect(source_, &QComboBox::activated, this,
          [this](int i) { emit sourceChosen(source_->itemData(i).toInt()); });
  connect(target_, &QComboBox::activated, this,
          [this](int i) { emit targetChosen(target_->itemData(i).toInt()); });

  add_ = new QPushButton(addText, this);
  add_->setObjectName(QLatin1String(names.add));
  add_->setDefault(true);
  markProminent(add_);
  connect(add_, &QPushButton::clicked, this, &RemapEditor::addRequested);

  auto* row = new QHBoxLayout;
  row->setSpacing(8);
  for (auto [text, picker] : {std::pair{"Von", source_}, std::pair{"Nach", target_}}) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setBuddy(picker);
    picker->setAccessibleName(QString::fromUtf8(text));
    picker->setMaxVisibleItems(20);
    picker->setMinimumWidth(130);
    picker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    row->addWidget(label);
    row->addWidget(picker);
    if (picker == source_) row->addWidget(makeRemapArrow(this));
  }
  row->addSpacing(8);
  row->addWidget(add_);
  row->addStretch(1);

  list_ = new RemapList(this);
  connect(list_, &RemapList::removeRequested, this, &RemapEditor::removeRequested);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  layout->addWidget(makeTitle(this));
  layout->addWidget(noteLabel);
  layout->addLayout(row);
  layout->addWidget(list_, 1);
}

void RemapEditor::showChoice(int source, int target) {
  showValue(source_, source);
  showValue(target_, target);
}

void RemapEditor::setRows(const std::vector<RemapListRow>& rows) {
  list_->setRows(rows);
}

void RemapEditor::setAddEnabled(bool enabled) {
  add_->setEnabled(enabled);
}

void RemapEditor::setRemoveEnabled(bool enabled) {
  list_->setRemoveEnabled(enabled);
}

void RemapEditor::setTabOrderAfterList(QWidget* next) {
  list_->placeInTabOrder(add_, next);
}

}  // namespace zepa
