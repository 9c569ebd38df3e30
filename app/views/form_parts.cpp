#include "app/views/form_parts.hpp"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

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
