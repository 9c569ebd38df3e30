#include "app/model/settings_store.hpp"

#include <string_view>

#include <QSettings>
#include <QVariant>

namespace zepa {

namespace {

QSettings openSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZEPA Control"),
                   QStringLiteral("ZEPA Control"));
}

std::string_view view(const QByteArray& bytes) {
  return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

bool SettingsStore::boolValue(const QString& key, bool fallback) const {
  const QVariant value = openSettings().value(key);
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  // The native format on Linux is a text file: a stored boolean reads back as its word.
  if (value.typeId() == QMetaType::QString) {
    const QString text = value.toString();
    if (text == QLatin1String("true")) return true;
    if (text == QLatin1String("false")) return false;
  }
  return fallback;
}

void SettingsStore::setBool(const QString& key, bool value) {
  openSettings().setValue(key, value);
}

std::optional<QByteArray> SettingsStore::data(const QString& key) const {
  const QVariant value = openSettings().value(key);
  if (value.typeId() != QMetaType::QByteArray) return std::nullopt;
  return value.toByteArray();
}

void SettingsStore::setData(const QString& key, const QByteArray& bytes) {
  openSettings().setValue(key, bytes);
}

void SettingsStore::remove(const QString& key) {
  openSettings().remove(key);
}

HalvernLightingConfig SettingsStore::defaultHalvernLighting() {
  return HalvernLightingConfig{HalvernEffect::aurora, RGBColor::cyan, 4, 4, true};
}

HalvernLightingConfig SettingsStore::halvernLighting() const {
  if (const auto stored = data(halvernLightingKey)) {
    if (auto config = decodeHalvernLighting(view(*stored))) return *config;
  }
  return defaultHalvernLighting();
}

void SettingsStore::setHalvernLighting(const HalvernLightingConfig& config) {
  setData(halvernLightingKey, bytes(encodeHalvernLighting(config)));
}

std::vector<KeyRemap> SettingsStore::halvernRemaps() const {
  if (const auto stored = data(halvernRemapsKey)) {
    if (auto remaps = decodeKeyRemaps(view(*stored))) return *remaps;
  }
  return {};
}

void SettingsStore::setHalvernRemaps(const std::vector<KeyRemap>& remaps) {
  setData(halvernRemapsKey, bytes(encodeKeyRemaps(remaps)));
}

std::optional<EffectNames> SettingsStore::customEffectNames() const {
  const auto stored = data(customEffectNamesKey);
  if (!stored) return std::nullopt;
  return decodeEffectNames(view(*stored));
}

void SettingsStore::setCustomEffectNames(const EffectNames& names) {
  setData(customEffectNamesKey, bytes(encodeEffectNames(names)));
}

std::optional<EffectSemanticMap> SettingsStore::effectSemanticMap() const {
  const auto stored = data(effectSemanticMapKey);
  if (!stored) return std::nullopt;
  return decodeEffectSemanticMap(view(*stored));
}

void SettingsStore::setEffectSemanticMap(const EffectSemanticMap& map) {
  setData(effectSemanticMapKey, bytes(encodeEffectSemanticMap(map)));
}

}  // namespace zepa
