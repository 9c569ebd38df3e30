// SPDX-License-Identifier: MIT
#include "app/views/remap_list.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/views/destructive.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/rounded_panel.hpp"
#include "app/views/symbols.hpp"

namespace zepa {

QWidget* makeRemapArrow(QWidget* parent) {
  QLabel* arrow = secondaryLabel(QStringLiteral("→"), parent);
  QFont font = arrow->font();
  font.setPointSizeF(font.pointSizeF() * 1.3);
  arrow->setFont(font);
  arrow->setAccessibleName(QStringLiteral("nach"));
  return arrow;
}

RemapList::RemapList(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("remapList"));

  auto* panel = new RoundedPanel(10, this);
  listPage_ = panel;
  auto* rowsHost = new QWidget;
  rowsHost->setAutoFillBackground(false);
  rowsLayout_ = new QVBoxLayout(rowsHost);
  rowsLayout_->setContentsMargins(12, 4, 12, 4);
  rowsLayout_->setSpacing(0);
  rowsLayout_->addStretch(1);
  auto* scroll = new QScrollArea(panel);
  scroll->setWidget(rowsHost);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->viewport()->setAutoFillBackground(false);
  // The remove buttons are the stops; the area scrolls to the one that has focus.
  scroll->setFocusPolicy(Qt::NoFocus);
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(scroll);

  emptyPage_ = new RoundedPanel(10, this);
  emptyPage_->setObjectName(QStringLiteral("remapEmptyState"));
  const QColor secondary = palette().color(QPalette::PlaceholderText);
  auto* icon = new QLabel(emptyPage_);
  icon->setPixmap(tintedSymbol(QStringLiteral("keyboard"), 48, secondary));
  icon->setAlignment(Qt::AlignCenter);
  QLabel* headline = secondaryLabel(QStringLiteral("Keine Umbelegungen"), emptyPage_);
  headline->setObjectName(QStringLiteral("remapEmptyText"));
  QFont big = headline->font();
  big.setPointSizeF(big.pointSizeF() * 1.25);
  big.setBold(true);
  headline->setFont(big);
  auto* emptyLayout = new QVBoxLayout(emptyPage_);
  emptyLayout->setSpacing(8);
  emptyLayout->addStretch(1);
  emptyLayout->addWidget(icon, 0, Qt::AlignHCenter);
  emptyLayout->addWidget(headline, 0, Qt::AlignHCenter);
  emptyLayout->addStretch(1);

  stack_ = new QStackedLayout(this);
  stack_->addWidget(listPage_);
  stack_->addWidget(emptyPage_);
  stack_->setCurrentWidget(emptyPage_);
  setMinimumHeight(140);
}

void RemapList::setRows(const std::vector<RemapListRow>& rows) {
  // A row's own trash button may be what led here, so the old rows go away later.
  for (QWidget* row : widgets_) {
    row->hide();
    row->setParent(nullptr);
    row->deleteLater();
  }
  widgets_.clear();
  rowCount_ = static_cast<int>(rows.size());

  QWidget* host = rowsLayout_->parentWidget();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const RemapListRow& data = rows[i];
    auto* row = new QWidget(host);
    row->setObjectName(QStringLiteral("remapRow%1").arg(data.source));
    auto* source = new QLabel(data.sourceName, row);
    source->setObjectName(QStringLiteral("remapSource"));
    source->setTextFormat(Qt::PlainText);
    source->setMinimumWidth(90);
    auto* target = new QLabel(data.targetName, row);
    target->setObjectName(QStringLiteral("remapTarget"));
    target->setTextFormat(Qt::PlainText);
    auto* remove = new QToolButton(row);
    remove->setObjectName(QStringLiteral("remapDelete"));
    remove->setIcon(trashIcon());
    remove->setIconSize(QSize(16, 16));
    remove->setAutoRaise(true);
    remove->setToolTip(QStringLiteral("Umbelegung entfernen"));
    remove->setAccessibleName(QStringLiteral("Umbelegung von %1 entfernen").arg(data.sourceName));
    remove->setEnabled(removeEnabled_);
    const std::uint8_t key = data.source;
    connect(remove, &QToolButton::clicked, this, [this, key] { emit removeRequested(key); });

    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 6, 0, 6);
    line->setSpacing(12);
    line->addWidget(source);
    line->addWidget(makeRemapArrow(row));
    line->addWidget(target);
    line->addStretch(1);
    line->addWidget(remove);

    if (i > 0) {
      auto* rule = new QFrame(host);
      rule->setFrameShape(QFrame::HLine);
      rule->setFrameShadow(QFrame::Plain);
      QPalette faint = rule->palette();
      faint.setColor(QPalette::WindowText, faint.color(QPalette::Mid));
      rule->setPalette(faint);
      rowsLayout_->insertWidget(rowsLayout_->count() - 1, rule);
      widgets_.push_back(rule);
    }
    rowsLayout_->insertWidget(rowsLayout_->count() - 1, row);
    widgets_.push_back(row);
  }
  stack_->setCurrentWidget(rows.empty() ? emptyPage_ : listPage_);
  chainTabOrder();
}

void RemapList::placeInTabOrder(QWidget* before, QWidget* after) {
  tabBefore_ = before;
  tabAfter_ = after;
  chainTabOrder();
}

void RemapList::chainTabOrder() {
  if (!tabBefore_ || !tabAfter_) return;
  QWidget* previous = tabBefore_;
  for (QWidget* row : widgets_) {
    if (auto* remove = row->findChild<QToolButton*>(QStringLiteral("remapDelete"))) {
      setTabOrder(previous, remove);
      previous = remove;
    }
  }
  setTabOrder(previous, tabAfter_);
}

void RemapList::setRemoveEnabled(bool enabled) {
  removeEnabled_ = enabled;
  for (QWidget* row : widgets_) {
    if (auto* remove = row->findChild<QToolButton*>(QStringLiteral("remapDelete")))
      remove->setEnabled(enabled);
  }
}

}  // namespace zepa
