#include "app/views/form_parts.hpp"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

namespace zepa {

QFormLayout* makeForm(QWidget* parent) {
  auto* form = new QFormLayout(parent);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  form->setHorizontalSpacing(16);
  form->setVerticalSpacing(10);
  return form;
}

void lockLabelColumn(QFormLayout* form) {
  QList<QLabel*> labels;
  int widest = 0;
  for (int row = 0; row < form->rowCount(); ++row) {
    QLayoutItem* item = form->itemAt(row, QFormLayout::LabelRole);
    auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
    if (!label) continue;
    labels << label;
    // Numbers in a label change; the widest digit stands for all of them.
    QString sample = label->text();
    for (QChar& c : sample) {
      if (c.isDigit()) c = QLatin1Char('8');
    }
    widest = std::max(widest, label->fontMetrics().horizontalAdvance(sample) + 4);
  }
  for (QLabel* label : labels) label->setMinimumWidth(widest);
}

namespace {

QString rgba(const QColor& color) {
  return QStringLiteral("rgba(%1, %2, %3, %4)")
      .arg(color.red())
      .arg(color.green())
      .arg(color.blue())
      .arg(color.alphaF());
}

}  // namespace

void giveButtonsRoom(QWidget* root) {
  for (QPushButton* button : root->findChildren<QPushButton*>()) {
    // Styled buttons carry their own padding; key caps and swatches are sized by their grid.
    if (button->text().isEmpty() || !button->styleSheet().isEmpty() || !button->icon().isNull() ||
        button->isCheckable())
      continue;
    const QFontMetrics metrics = button->fontMetrics();
    button->setMinimumWidth(
        std::max(button->minimumWidth(), metrics.horizontalAdvance(button->text()) + 28));
    button->setMinimumHeight(std::max(button->minimumHeight(), metrics.height() + 12));
  }
}

void markProminent(QPushButton* button) {
  const QPalette palette = button->palette();
  const QColor accent = palette.color(QPalette::Highlight);
  QColor disabledText = palette.color(QPalette::HighlightedText);
  disabledText.setAlphaF(0.6f);
  QColor disabledFill = accent;
  disabledFill.setAlphaF(0.4f);
  button->setStyleSheet(
      QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                     " border-radius: 6px; padding: 6px 16px; font-weight: bold; }"
                     "QPushButton:hover { background: %4; }"
                     "QPushButton:pressed { background: %3; }"
                     "QPushButton:focus { border: 2px solid %5; }"
                     "QPushButton:disabled { background: %6; color: %7; border-color: %6; }")
          .arg(rgba(accent), rgba(palette.color(QPalette::HighlightedText)),
               rgba(accent.darker(125)), rgba(accent.lighter(110)),
               rgba(palette.color(QPalette::WindowText)), rgba(disabledFill), rgba(disabledText)));
  // A squeezed layout would otherwise flatten the padded button.
  button->ensurePolished();
  button->setMinimumHeight(button->sizeHint().height());
}

QSlider* makeStepSlider(int minimum, int maximum, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(minimum, maximum);
  slider->setSingleStep(1);
  slider->setPageStep(1);
  slider->setTickInterval(1);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setFixedWidth(300);
  return slider;
}

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  // Inside a button a label would otherwise take the button's text colour.
  label->setForegroundRole(QPalette::WindowText);
  QPalette dimmed = label->palette();
  dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
  label->setPalette(dimmed);
  return label;
}

QLabel* noteLabel(const QString& text, QWidget* parent) {
  QLabel* label = secondaryLabel(text, parent);
  label->setWordWrap(true);
  QFont small = label->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  label->setFont(small);
  return label;
}

QHBoxLayout* centredText(QLabel* label, int maxWidth) {
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setMaximumWidth(maxWidth);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->addStretch(1);
  row->addWidget(label, 100);
  row->addStretch(1);
  return row;
}

QHBoxLayout* applyRow(QPushButton* button) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(button);
  return row;
}

QWidget* makeSegmented(std::initializer_list<std::pair<QString, int>> segments,
                       const QString& namePrefix, QWidget* parent, QButtonGroup*& group) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  group = new QButtonGroup(box);
  group->setExclusive(true);
  for (const auto& [text, value] : segments) {
    auto* button = new QPushButton(text, box);
    button->setObjectName(namePrefix + text);
    button->setCheckable(true);
    button->setMinimumWidth(90);
    // The chosen segment in the accent colour: light grey on white was easy to miss.
    const QPalette palette = button->palette();
    const QColor accent = palette.color(QPalette::Highlight);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                       " padding: 5px 12px; }"
                       "QPushButton:checked { background: %4; color: %5; border-color: %6;"
                       " font-weight: bold; }"
                       "QPushButton:focus { border: 2px solid %7; }"
                       "QPushButton:disabled { color: %3; }")
            .arg(rgba(palette.color(QPalette::Button)), rgba(palette.color(QPalette::ButtonText)),
                 rgba(palette.color(QPalette::Mid)), rgba(accent),
                 rgba(palette.color(QPalette::HighlightedText)), rgba(accent.darker(125)),
                 rgba(palette.color(QPalette::WindowText))));
    group->addButton(button, value);
    row->addWidget(button);
  }
  row->addStretch(1);
  return box;
}

void selectSegment(QButtonGroup* group, int value) {
  const QSignalBlocker block(group);
  QAbstractButton* chosen = group->button(value);
  // An exclusive group refuses to turn its checked button off; lift that while clearing.
  group->setExclusive(false);
  for (QAbstractButton* button : group->buttons()) {
    const QSignalBlocker blockButton(button);
    button->setChecked(button == chosen);
  }
  group->setExclusive(true);
}

}  // namespace zepa
