// SPDX-License-Identifier: MIT
#include <QStringList>

#include "app/model/app_model.hpp"
#include "protocol/zepa_device.hpp"

// The user's names for the firmware's effect numbers and the built-in effect each really shows.
namespace zepa {

namespace {

// The first built-in effect whose name matches, ignoring letter case ("Aus" included).
std::optional<LightingMode> builtInModeNamed(const QString& text) {
  for (LightingMode mode : allLightingModes()) {
    if (text.compare(QString::fromStdString(name(mode)), Qt::CaseInsensitive) == 0) return mode;
  }
  return std::nullopt;
}

}  // namespace

void AppModel::migrateEffectNames() {
  for (const auto& [id, text] : customEffectNames_) {
    if (effectSemanticMap_.contains(id)) continue;
    if (const auto mode = builtInModeNamed(QString::fromStdString(text))) {
      effectSemanticMap_[id] = rawValue(*mode);
    }
  }
}

LightingMode AppModel::semanticMode(int id) const {
  const auto entry = effectSemanticMap_.find(id);
  if (entry != effectSemanticMap_.end()) {
    if (const auto semantic = lightingModeFromRaw(entry->second)) return *semantic;
  }
  return lightingModeFromRaw(id).value_or(LightingMode::off);
}

LightingMode AppModel::semanticMode(LightingMode mode) const {
  return semanticMode(rawValue(mode));
}

QString AppModel::effectDisplayName(LightingMode mode,
                                    std::optional<std::uint8_t> direction) const {
  const int id = rawValue(mode);
  const auto custom = customEffectNames_.find(id);
  const QString label =
      QString::fromStdString(custom != customEffectNames_.end() ? custom->second : name(mode));
  QString text =
      QStringLiteral("ID %1 – %2").arg(QStringLiteral("%1").arg(id, 2, 10, QChar(u'0')), label);
  if (direction && supportsDirection(semanticMode(mode))) {
    text += *direction == 0 ? QStringLiteral(" · links") : QStringLiteral(" · rechts");
  }
  return text;
}

std::vector<int> AppModel::assignedFirmwareIDs(LightingMode mode) const {
  std::vector<int> ids;
  for (const auto& [id, semantic] : effectSemanticMap_) {
    if (semantic == rawValue(mode)) ids.push_back(id);  // the map iterates in ascending order
  }
  return ids;
}

QString AppModel::assignmentName(int id) const {
  if (const auto custom = customEffectNames_.find(id); custom != customEffectNames_.end()) {
    return QString::fromStdString(custom->second);
  }
  if (const auto entry = effectSemanticMap_.find(id); entry != effectSemanticMap_.end()) {
    if (const auto mode = lightingModeFromRaw(entry->second)) {
      return QString::fromStdString(name(*mode));
    }
  }
  return QStringLiteral("Nicht zugeordnet");
}

void AppModel::setCustomEffectNamesValue(EffectNames value) {
  customEffectNames_ = std::move(value);
  emit customEffectNamesChanged();
}

void AppModel::setEffectSemanticMapValue(EffectSemanticMap value) {
  effectSemanticMap_ = std::move(value);
  emit effectSemanticMapChanged();
}

void AppModel::bumpEffectNamesRevision() {
  ++effectNamesRevision_;
  emit effectNamesRevisionChanged();
}

void AppModel::setCustomEffectName(const QString& text, int id) {
  const QString trimmed = text.trimmed();
  EffectNames names = customEffectNames_;
  EffectSemanticMap semantic = effectSemanticMap_;
  if (trimmed.isEmpty()) {
    names.erase(id);
    semantic.erase(id);
  } else {
    names[id] = trimmed.toStdString();
    if (const auto mode = builtInModeNamed(trimmed)) {
      semantic[id] = rawValue(*mode);
    } else {
      semantic.erase(id);
    }
  }
  setCustomEffectNamesValue(std::move(names));
  setEffectSemanticMapValue(std::move(semantic));
  settings_.setCustomEffectNames(customEffectNames_);
  settings_.setEffectSemanticMap(effectSemanticMap_);
  bumpEffectNamesRevision();
}

void AppModel::resetCustomEffectNames() {
  setCustomEffectNamesValue({});
  setEffectSemanticMapValue({});
  settings_.remove(SettingsStore::customEffectNamesKey);
  settings_.remove(SettingsStore::effectSemanticMapKey);
  bumpEffectNamesRevision();
}

void AppModel::previewEffect(int id) {
  const auto mode = lightingModeFromRaw(id);
  if (!mode) return;
  // Fixed, easy to recognise settings; the profile is left as it is.
  const LightingConfig lighting{*mode, RGBColor::cyan, 5, 2, 0, false};
  run(QStringLiteral("Firmware-ID %1 wird getestet").arg(id, 2, 10, QChar(u'0')),
      [lighting](ZEPADevice& device) { device.setLighting(lighting); });
}

// A restore asked for while a preview runs would be dropped by the runner and leave the test
// effect on the keyboard; it waits for the preview instead. While busy, the next busy change is
// the one that clears it.
void AppModel::finishCalibration() {
  setShowCalibration(false);
  if (!busy_) {
    applyLighting();
    return;
  }
  connect(this, &AppModel::busyChanged, this, &AppModel::applyLighting,
          static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
}

}  // namespace zepa
