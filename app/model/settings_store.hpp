#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "protocol/effect_maps.hpp"
#include "protocol/halvern_records.hpp"
#include "protocol/records.hpp"

namespace zepa {

// The per-user key-value store (QSettings, native format, "ZEPA Control"). JSON documents are
// kept as raw bytes; a value of any other type counts as absent, and so does one that does not
// decode. Used by the application and by zepactl, so it needs QtCore only.
class SettingsStore {
 public:
  static constexpr const char* autoClockKey = "autoClock";
  static constexpr const char* autoApplyKey = "autoApply";
  static constexpr const char* halvernLightingKey = "halvernLighting";
  static constexpr const char* halvernRemapsKey = "halvernRemaps";
  static constexpr const char* customEffectNamesKey = "customEffectNames";
  static constexpr const char* effectSemanticMapKey = "effectSemanticMap";

  // A boolean value, or the fallback when it is absent or of another type.
  bool boolValue(const QString& key, bool fallback) const;
  void setBool(const QString& key, bool value);
  std::optional<QByteArray> data(const QString& key) const;
  void setData(const QString& key, const QByteArray& bytes);
  void remove(const QString& key);

  bool autoClock() const { return boolValue(autoClockKey, true); }
  void setAutoClock(bool value) { setBool(autoClockKey, value); }
  bool autoApply() const { return boolValue(autoApplyKey, false); }
  void setAutoApply(bool value) { setBool(autoApplyKey, value); }

  // effect aurora, cyan, brightness 4, speed 4, multicolour
  static HalvernLightingConfig defaultHalvernLighting();
  HalvernLightingConfig halvernLighting() const;
  void setHalvernLighting(const HalvernLightingConfig& config);
  std::vector<KeyRemap> halvernRemaps() const;
  void setHalvernRemaps(const std::vector<KeyRemap>& remaps);
  std::optional<EffectNames> customEffectNames() const;
  void setCustomEffectNames(const EffectNames& names);
  std::optional<EffectSemanticMap> effectSemanticMap() const;
  void setEffectSemanticMap(const EffectSemanticMap& map);
};

}  // namespace zepa
