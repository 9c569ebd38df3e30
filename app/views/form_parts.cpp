// SPDX-License-Identifier: MIT
#include "app/views/form_parts.hpp"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <utility>

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

// Accent fill in the palette rather than a style sheet: a style sheet swaps in Qt's style-sheet
// style for the whole window, which cost about as much start-up time as all the icons.
void paintAccent(QWidget* widget, const QPalette& base) {
  QPalette palette = base;
  const QColor accent = base.color(QPalette::Highlight);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Button, accent);
    palette.setColor(group, QPalette::ButtonText, base.color(QPalette::HighlightedText));
    // The focus ring is drawn in the highlight colour, which is now the fill.
    palette.setColor(group, QPalette::Highlight, base.color(QPalette::WindowText));
  }
  palette.setColor(QPalette::Disabled, QPalette::Button, accent.lighter(150));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, base.color(QPalette::HighlightedText));
  widget->setPalette(palette);
}

// One segment of a segmented control: the chosen one in the accent colour, bold.
class SegmentButton : public QPushButton {
 public:
  SegmentButton(const QString& text, QWidget* parent)
      : QPushButton(text, parent), plain_(palette()), plainFont_(font()) {}

 protected:
  // Called on every change of the checked state, also with signals blocked.
  void checkStateSet() override {
    QPushButton::checkStateSet();
    if (isChecked()) {
      paintAccent(this, plain_);
      QFont bold = plainFont_;
      bold.setBold(true);
      setFont(bold);
    } else {
      setPalette(plain_);
      setFont(plainFont_);
    }
  }

 private:
  QPalette plain_;
  QFont plainFont_;
};

}  // namespace

void giveButtonsRoom(QWidget* root) {
  for (QPushButton* button : root->findChildren<QPushButton*>()) {
    // Key caps, segments and colour swatches are sized by their own rows.
    if (button->text().isEmpty() || !button->icon().isNull() || button->isCheckable()) continue;
    const QFontMetrics metrics = button->fontMetrics();
    button->setMinimumWidth(
        std::max(button->minimumWidth(), metrics.horizontalAdvance(button->text()) + 28));
    button->setMinimumHeight(std::max(button->minimumHeight(), metrics.height() + 12));
  }
}

namespace {

class FontFitter : public QObject {
 public:
  FontFitter(QWidget* widget, std::function<void()> fit) : QObject(widget), fit_(std::move(fit)) {
    widget->installEventFilter(this);
  }

  // Sees the event before the widget does. A font that changes before the first polish is
  // measured at that polish.
  bool eventFilter(QObject* widget, QEvent* event) override {
    const bool polished = static_cast<QWidget*>(widget)->testAttribute(Qt::WA_WState_Polished);
    if (event->type() == QEvent::Polish || (event->type() == QEvent::FontChange && polished))
      fit_();
    return false;
  }

 private:
  std::function<void()> fit_;
};

}  // namespace

void fitToFont(QWidget* widget, std::function<void()> fit) {
  new FontFitter(widget, std::move(fit));
}

void markProminent(QPushButton* button) {
  paintAccent(button, button->palette());
  QFont bold = button->font();
  bold.setBold(true);
  button->setFont(bold);
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

namespace {

// A wrapped label lays its text out again for every width a layout asks about, and nested
// layouts ask many times per pass; the answers are kept until text, font or margins change.
class WrappedLabel : public QLabel {
 public:
  using QLabel::QLabel;

  int heightForWidth(int width) const override {
    if (text() != text_ || font() != font_ || contentsMargins() != margins_ ||
        wordWrap() != wrap_) {
      heights_.clear();
      text_ = text();
      font_ = font();
      margins_ = contentsMargins();
      wrap_ = wordWrap();
    }
    if (const auto known = heights_.constFind(width); known != heights_.cend()) return *known;
    return heights_[width] = QLabel::heightForWidth(width);
  }

 private:
  mutable QString text_;
  mutable QFont font_;
  mutable QMargins margins_;
  mutable bool wrap_ = false;
  mutable QHash<int, int> heights_;
};

void dim(QLabel* label) {
  label->setTextFormat(Qt::PlainText);
  // Inside a button a label would otherwise take the button's text colour.
  label->setForegroundRole(QPalette::WindowText);
  QPalette dimmed = label->palette();
  dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
  label->setPalette(dimmed);
}

}  // namespace

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  dim(label);
  return label;
}

QLabel* noteLabel(const QString& text, QWidget* parent) {
  auto* label = new WrappedLabel(text, parent);
  dim(label);
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
    auto* button = new SegmentButton(text, box);
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
