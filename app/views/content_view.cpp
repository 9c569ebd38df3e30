// SPDX-License-Identifier: MIT
#include "app/views/content_view.hpp"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/views/about_view.hpp"
#include "app/views/calibration_view.hpp"
#include "app/views/display_view.hpp"
#include "app/views/form_parts.hpp"
#include "app/views/lighting_view.hpp"
#include "app/views/per_key_view.hpp"
#include "app/views/remap_view.hpp"
#include "app/views/symbols.hpp"

namespace zepa {

ConnectionDot::ConnectionDot(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("connectionDot"));
  setFixedSize(10, 10);
}

void ConnectionDot::setConnected(bool connected) {
  connected_ = connected;
  update();
}

QColor ConnectionDot::color() const {
  return connected_ ? QColor(0x34, 0xc7, 0x59) : QColor(0xff, 0x3b, 0x30);
}

void ConnectionDot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color());
  painter.drawEllipse(rect());
}

namespace {

struct TabRow {
  const char* label;
  const char* symbol;
  QWidget* (*make)(AppModel&, QWidget*);
};

template <typename View>
QWidget* makeView(AppModel& model, QWidget* parent) {
  return new View(model, parent);
}

const TabRow tabRows[] = {
    {"Beleuchtung", "lightbulb", &makeView<LightingView>},
    {"Einzeltasten", "keyboard", &makeView<PerKeyView>},
    {"Tasten", "arrow.left.arrow.right", &makeView<RemapView>},
    {"Display", "display", &makeView<DisplayView>},
};

}  // namespace

ContentView::ContentView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), lastKeyboard_(model.selectedKeyboard()) {
  setObjectName(QStringLiteral("contentView"));
  // Made before the tabs, so Tab reaches the header first, as it reads.
  QWidget* header = makeHeader();

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->setDocumentMode(false);
  // The first tab's view is made now, the tabs themselves when the window is polished: a tab bar
  // measures its labels as soon as it has one.
  for (std::size_t i = 0; i < std::size(tabRows); ++i) pages_ << new QWidget(tabs_);
  buildTab(0);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  auto* tabArea = new QVBoxLayout;
  tabArea->setContentsMargins(12, 12, 12, 12);
  tabArea->addWidget(tabs_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header);
  layout->addWidget(line);
  layout->addLayout(tabArea, 1);

  connect(&model_, &AppModel::connectedChanged, this, &ContentView::updateHeader);
  connect(&model_, &AppModel::selectedKeyboardNameChanged, this, &ContentView::updateHeader);
  connect(&model_, &AppModel::connectedKeyboardsChanged, this, &ContentView::updateHeader);
  connect(&model_, &AppModel::zepaConnectedChanged, this, &ContentView::updateHeader);
  connect(&model_, &AppModel::halvernConnectedChanged, this, &ContentView::updateHeader);
  connect(&model_, &AppModel::busyChanged, this, &ContentView::updateHeader);
  connect(&model_, &AppModel::messageChanged, this, &ContentView::updateHeader);
  connect(&model_, &AppModel::selectedKeyboardChanged, this, &ContentView::keyboardChanged);
  connect(&model_, &AppModel::errorMessageChanged, this, &ContentView::updateAlert);
  connect(&model_, &AppModel::showAboutChanged, this, &ContentView::updateAbout);
  connect(&model_, &AppModel::showCalibrationChanged, this, &ContentView::updateCalibration);
  updateHeader();
}

// Measuring text waits for the system's fonts, which load on another thread while the window
// is built; so the window measures nothing until it is polished, just before it first shows.
bool ContentView::event(QEvent* event) {
  if (event->type() == QEvent::Polish && tabs_->count() == 0) {
    for (qsizetype i = 0; i < pages_.size(); ++i) {
      tabs_->addTab(pages_[i], symbolIcon(QLatin1String(tabRows[i].symbol)),
                    QString::fromUtf8(tabRows[i].label));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &ContentView::buildTab);
  }
  return QWidget::event(event);
}

// A tab's view is made when the tab is first opened: the views hold no state of their own, and
// building all four at once would delay the window's first appearance.
void ContentView::buildTab(int index) {
  if (index < 0 || index >= pages_.size() || pages_[index]->layout()) return;
  QWidget* page = pages_[index];
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  QWidget* view = tabRows[index].make(model_, page);
  layout->addWidget(view);
  fitToFont(view, [view] { giveButtonsRoom(view); });
}

QWidget* ContentView::makeHeader() {
  auto* header = new QWidget(this);
  header->setObjectName(QStringLiteral("headerBar"));
  header->setAutoFillBackground(true);
  QPalette bar = header->palette();
  bar.setColor(QPalette::Window, bar.color(QPalette::Window).darker(104));
  header->setPalette(bar);

  dot_ = new ConnectionDot(header);

  connectionText_ = new QLabel(header);
  connectionText_->setObjectName(QStringLiteral("connectionText"));

  picker_ = new QComboBox(header);
  picker_->setObjectName(QStringLiteral("keyboardPicker"));
  picker_->setAccessibleName(QStringLiteral("Tastatur"));
  picker_->setMaximumWidth(260);
  picker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(picker_, &QComboBox::activated, this, [this](int index) {
    const QVariant value = picker_->itemData(index);
    if (!value.isValid()) return;
    model_.setSelectedKeyboard(static_cast<SupportedKeyboard>(value.toInt()));
  });

  busyIndicator_ = new QProgressBar(header);
  busyIndicator_->setObjectName(QStringLiteral("busyIndicator"));
  busyIndicator_->setRange(0, 0);
  busyIndicator_->setTextVisible(false);
  busyIndicator_->setFixedSize(64, 8);

  status_ = new QLabel(header);
  status_->setObjectName(QStringLiteral("statusText"));
  QPalette dimmed = status_->palette();
  dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
  status_->setPalette(dimmed);

  refresh_ = new QToolButton(header);
  refresh_->setObjectName(QStringLiteral("refreshButton"));
  refresh_->setIcon(symbolIcon(QStringLiteral("arrow.clockwise")));
  refresh_->setToolTip(QStringLiteral("Verbindung prüfen"));
  refresh_->setAccessibleName(QStringLiteral("Verbindung prüfen"));
  refresh_->setAutoRaise(true);
  connect(refresh_, &QToolButton::clicked, &model_, &AppModel::refreshConnection);

  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(12, 12, 12, 12);
  row->addWidget(dot_, 0, Qt::AlignVCenter);
  row->addWidget(connectionText_, 0, Qt::AlignVCenter);
  row->addWidget(picker_, 0, Qt::AlignVCenter);
  row->addStretch(1);
  row->addWidget(busyIndicator_, 0, Qt::AlignVCenter);
  row->addWidget(status_, 0, Qt::AlignVCenter);
  row->addWidget(refresh_, 0, Qt::AlignVCenter);
  return header;
}

void ContentView::updateHeader() {
  dot_->setConnected(model_.connected());
  const bool twoKeyboards = model_.connectedKeyboards().size() >= 2;
  connectionText_->setVisible(!twoKeyboards);
  picker_->setVisible(twoKeyboards);
  connectionText_->setText(model_.connected()
                               ? model_.selectedKeyboardName() + QStringLiteral(" verbunden")
                               : QStringLiteral("Keine unterstützte Tastatur verbunden"));
  updatePicker();
  busyIndicator_->setVisible(model_.busy());
  status_->setText(model_.message());
}

void ContentView::updatePicker() {
  const QSignalBlocker block(picker_);
  picker_->clear();
  for (SupportedKeyboard keyboard : model_.connectedKeyboards()) {
    picker_->addItem(displayName(keyboard), static_cast<int>(keyboard));
  }
  picker_->setCurrentIndex(picker_->findData(static_cast<int>(model_.selectedKeyboard())));
}

// A changed choice is checked against the attached keyboards at once, so a keyboard that is
// gone is switched back. Compared by value: the model notifies also on unchanged assignments,
// and refreshing on those would loop.
void ContentView::keyboardChanged() {
  updateHeader();
  const SupportedKeyboard now = model_.selectedKeyboard();
  if (now == lastKeyboard_) return;
  lastKeyboard_ = now;
  model_.refreshConnection();
}

void ContentView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  model_.startup();
  // A failure may have been reported before the window existed.
  updateAlert();
  updateAbout();
  updateCalibration();
}

void ContentView::updateAlert() {
  const std::optional<QString>& error = model_.errorMessage();
  if (!error) {
    if (alert_) alert_->close();
    return;
  }
  if (!isVisible()) return;
  if (alert_) {
    alert_->setText(*error);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ZEPA Control"), *error,
                              QMessageBox::NoButton, window());
  box->setObjectName(QStringLiteral("errorAlert"));
  QPushButton* ok = box->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
  ok->setObjectName(QStringLiteral("alertOkButton"));
  box->setDefaultButton(ok);
  box->setEscapeButton(ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  connect(box, &QDialog::finished, this, [this] {
    if (model_.errorMessage()) model_.setErrorMessage(std::nullopt);
  });
  alert_ = box;
  box->open();
}

void ContentView::updateAbout() {
  if (!model_.showAbout()) {
    if (about_) about_->close();
    return;
  }
  if (about_ || !isVisible()) return;
  auto* dialog = new AboutView(model_, window());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::finished, this, [this] {
    if (model_.showAbout()) model_.setShowAbout(false);
  });
  about_ = dialog;
  dialog->open();
}

// A fresh dialog each time, so the walk starts again on the first ID.
void ContentView::updateCalibration() {
  if (!model_.showCalibration()) {
    if (calibration_) calibration_->close();
    return;
  }
  if (calibration_ || !isVisible()) return;
  auto* dialog = new CalibrationView(model_, window());
  dialog->setMinimumSize(680, 560);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::finished, this, [this] {
    if (model_.showCalibration()) model_.setShowCalibration(false);
  });
  calibration_ = dialog;
  dialog->open();
}

}  // namespace zepa
