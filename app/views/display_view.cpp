// SPDX-License-Identifier: MIT
#include "app/views/display_view.hpp"

#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "app/views/form_parts.hpp"
#include "app/views/symbols.hpp"
#include "app/views/unsupported_halvern_view.hpp"

namespace zepa {

QLocale DisplayView::displayLocale(const QLocale& user) {
  return user.language() == QLocale::German ? user : QLocale(QLocale::German, QLocale::Germany);
}

QString DisplayView::dateTimeText(const QDateTime& when, const QLocale& locale) {
  return locale.toString(when.date(), QLocale::LongFormat) + QStringLiteral(", ") +
         locale.toString(when.time(), QLocale::ShortFormat);
}

DisplayView::DisplayView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("displayView"));
  clockPanel_ = makeClockPanel();
  noDisplay_ = new UnsupportedHalvernView(
      QStringLiteral("Kein Display"),
      QStringLiteral("Die Corvane Pro 108 besitzt kein konfigurierbares OLED-Display."), this);
  stack_ = new QStackedLayout(this);
  stack_->addWidget(clockPanel_);
  stack_->addWidget(noDisplay_);

  for (auto signal :
       {&AppModel::selectedKeyboardChanged, &AppModel::busyChanged, &AppModel::connectedChanged}) {
    connect(&model_, signal, this, &DisplayView::refresh);
  }
  refresh();
}

QWidget* DisplayView::makeClockPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("clockPanel"));

  auto* icon = new QLabel(panel);
  icon->setPixmap(
      tintedSymbol(QStringLiteral("clock.badge.checkmark"), 64, QColor(0x00, 0xb4, 0xd8)));

  auto* title = new QLabel(QStringLiteral("OLED-Uhr"), panel);
  title->setObjectName(QStringLiteral("displayTitle"));
  QFont titleFont = title->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
  titleFont.setBold(true);
  title->setFont(titleFont);

  dateTime_ = new QLabel(panel);
  dateTime_->setObjectName(QStringLiteral("dateTimeText"));
  QFont medium = dateTime_->font();
  medium.setPointSizeF(medium.pointSizeF() * 1.15);
  medium.setWeight(QFont::Medium);
  dateTime_->setFont(medium);

  sync_ = new QPushButton(QStringLiteral("Datum und Uhrzeit jetzt synchronisieren"), panel);
  sync_->setObjectName(QStringLiteral("syncClockButton"));
  sync_->setDefault(true);
  markProminent(sync_);
  sync_->setMinimumHeight(sync_->sizeHint().height() + 10);
  sync_->setMinimumWidth(sync_->sizeHint().width() + 40);
  connect(sync_, &QPushButton::clicked, &model_, &AppModel::syncClock);

  auto* divider = new QFrame(panel);
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);
  divider->setFixedWidth(520);

  auto* note = noteLabel(QStringLiteral("Bild- und GIF-Uploads sind in dieser Version deaktiviert. "
                                        "Fehlerhafte Transfers können die im Keyboard "
                                        "gespeicherten Menügrafiken beschädigen."),
                         panel);
  note->setObjectName(QStringLiteral("displayNote"));

  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setSpacing(14);
  layout->addWidget(icon, 0, Qt::AlignHCenter);
  layout->addWidget(title, 0, Qt::AlignHCenter);
  layout->addWidget(dateTime_, 0, Qt::AlignHCenter);
  layout->addSpacing(6);
  layout->addWidget(sync_, 0, Qt::AlignHCenter);
  layout->addSpacing(6);
  layout->addWidget(divider);
  layout->setAlignment(divider, Qt::AlignHCenter);
  layout->addLayout(centredText(note, 520));
  layout->addStretch(1);
  return panel;
}

void DisplayView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
}

// The time is taken when the view is redrawn for a change, not kept running.
void DisplayView::refresh() {
  const bool halvern = model_.selectedKeyboard() == SupportedKeyboard::halvern;
  stack_->setCurrentWidget(halvern ? static_cast<QWidget*>(noDisplay_) : clockPanel_);
  dateTime_->setText(dateTimeText(QDateTime::currentDateTime(), displayLocale(QLocale())));
  sync_->setEnabled(!model_.busy() && model_.connected());
}

}  // namespace zepa
