// SPDX-License-Identifier: MIT
#include "app/views/unsupported_halvern_view.hpp"

#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

#include "app/views/form_parts.hpp"
#include "app/views/symbols.hpp"

namespace zepa {

UnsupportedHalvernView::UnsupportedHalvernView(const QString& title, const QString& text,
                                               QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("unsupportedHalvernView"));
  const QColor secondary = palette().color(QPalette::PlaceholderText);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("unsupportedIcon"));
  icon->setPixmap(tintedSymbol(QStringLiteral("lock.shield"), 52, secondary));
  icon->setAlignment(Qt::AlignCenter);

  title_ = new QLabel(title, this);
  title_->setObjectName(QStringLiteral("unsupportedTitle"));
  QFont titleFont = title_->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
  titleFont.setBold(true);
  title_->setFont(titleFont);

  text_ = new QLabel(text, this);
  text_->setObjectName(QStringLiteral("unsupportedText"));
  QPalette dimmed = text_->palette();
  dimmed.setColor(QPalette::WindowText, secondary);
  text_->setPalette(dimmed);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(12);
  layout->addStretch(1);
  layout->addWidget(icon, 0, Qt::AlignHCenter);
  layout->addLayout(centredText(title_, 520));
  layout->addLayout(centredText(text_, 520));
  layout->addStretch(1);
}

QString UnsupportedHalvernView::title() const {
  return title_->text();
}

QString UnsupportedHalvernView::text() const {
  return text_->text();
}

}  // namespace zepa
