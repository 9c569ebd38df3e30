// SPDX-License-Identifier: MIT
#include "app/views/settings_view.hpp"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/model/app_model.hpp"
#include "app/views/form_parts.hpp"

namespace zepa {

SettingsView::SettingsView(AppModel& model, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("settingsView"));
  setWindowTitle(QStringLiteral("Einstellungen"));
  setFixedSize(460, 260);

  auto* group = new QGroupBox(this);
  auto* form = makeForm(group);

  auto* autoClock = new QCheckBox(QStringLiteral("Uhr beim App-Start synchronisieren"), group);
  autoClock->setObjectName(QStringLiteral("autoClockSwitch"));
  auto* autoApply = new QCheckBox(QStringLiteral("Profil beim App-Start anwenden"), group);
  autoApply->setObjectName(QStringLiteral("autoApplySwitch"));
  form->addRow(autoClock);
  form->addRow(autoApply);

  // Each read goes to the store, so the boxes show what the next start will do.
  auto refresh = [&model, autoClock, autoApply] {
    const QSignalBlocker blockClock(autoClock);
    const QSignalBlocker blockApply(autoApply);
    autoClock->setChecked(model.autoClock());
    autoApply->setChecked(model.autoApply());
  };
  connect(autoClock, &QCheckBox::toggled, &model, &AppModel::setAutoClock);
  connect(autoApply, &QCheckBox::toggled, &model, &AppModel::setAutoApply);
  connect(&model, &AppModel::autoClockChanged, this, refresh);
  connect(&model, &AppModel::autoApplyChanged, this, refresh);
  refresh();

  auto* note = noteLabel(QStringLiteral("Automatisches Anwenden ist standardmäßig aus, damit ein "
                                        "versehentlicher Profilwechsel keine vorhandenen "
                                        "Einstellungen überschreibt."),
                         this);
  note->setObjectName(QStringLiteral("settingsNote"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 20);
  layout->setSpacing(12);
  layout->addWidget(group);
  layout->addWidget(note);
  layout->addStretch(1);
}

}  // namespace zepa
