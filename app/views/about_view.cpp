// SPDX-License-Identifier: MIT
#include "app/views/about_view.hpp"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/model/app_model.hpp"
#include "app/views/symbols.hpp"
#include "protocol/version.hpp"

namespace zepa {

const QString AboutView::aboutText =
    QStringLiteral("Native Linux-Steuerung für ZEPA VX10\nund Halvern Corvane Pro 108\nVersion ") +
    QString::fromUtf8(projectVersion.data(), static_cast<qsizetype>(projectVersion.size()));

AboutView::AboutView(AppModel& model, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutView"));
  setWindowTitle(QStringLiteral("Über ZEPA Control"));
  setModal(true);

  auto* symbol = new QLabel(this);
  symbol->setObjectName(QStringLiteral("aboutSymbol"));
  symbol->setPixmap(tintedSymbol(QStringLiteral("keyboard.fill"), 50, QColor(0x00, 0xb4, 0xd8)));
  symbol->setAlignment(Qt::AlignCenter);

  auto* title = new QLabel(QStringLiteral("ZEPA Control"), this);
  title->setObjectName(QStringLiteral("aboutTitle"));
  QFont titleFont = title->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
  titleFont.setBold(true);
  title->setFont(titleFont);
  title->setAlignment(Qt::AlignCenter);

  auto* text = new QLabel(aboutText, this);
  text->setObjectName(QStringLiteral("aboutText"));
  text->setAlignment(Qt::AlignCenter);
  text->setTextFormat(Qt::PlainText);

  auto* close = new QPushButton(QStringLiteral("Schließen"), this);
  close->setObjectName(QStringLiteral("aboutCloseButton"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, [this, &model] {
    model.setShowAbout(false);
    reject();
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(40, 40, 40, 40);
  layout->setSpacing(14);
  layout->addWidget(symbol, 0, Qt::AlignHCenter);
  layout->addWidget(title, 0, Qt::AlignHCenter);
  layout->addWidget(text, 0, Qt::AlignHCenter);
  layout->addWidget(close, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zepa
