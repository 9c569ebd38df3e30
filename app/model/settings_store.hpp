// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QVariant>

#include "app/model/byte_view.hpp"
#include "protocol/effect_maps.hpp"
#include "protocol/halvern_records.hpp"
#include "protocol/records.hpp"

namespace zepa {

// The per-user key-value store (QSettings, native format, "ZEPA Control"). JSON documents are
// kept as raw bytes; a value of any other type counts as unreadable, and so does one that
// does not decode. Used by the application and by zepactl, so it needs QtCore only.
//
// A settings file that Qt or the decoders cannot fully read is copied aside before the first
// write, because QSettings rewrites the whole file from what it understood.
class SettingsStore {
 public:
  static constexpr const char* autoClockKey = "autoClock";
  static constexpr const char* autoApplyKey = "autoApply";
  static constexpr const char* halvernLightingKey = "halvernLighting";
  static constexpr const char* halvernRemapsKey = "halvernRemaps";
  static constexpr const char* customEffectNamesKey = "customEffectNames";
  static constexpr const char* effectSemanticMapKey = "effectSemanticMap";

  SettingsStore();  // looks the file over once

  static QString filePath();
  // The file exists and holds something that cannot be read: a line Qt does not understand or
  // would drop, a broken value, or a stored value of ours that does not decode.
  bool damaged() const { return damaged_; }
  // Copies a damaged file aside, once; the copy's path, or empty when there was nothing to
  // copy or copying failed. Writes are refused while a damaged file has no copy.
  QString keepDamagedFileAside();

  bool contains(const QString& key) const;
  // A boolean value, or the fallback when it is absent or not a boolean.
  bool boolValue(const QString& key, bool fallback) const;
  void setBool(const QString& key, bool value);
  // The bytes of a data value; nothing when absent or of another type.
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

  // The stored words for a boolean: true/false/1/0 in any case, as the original writer reads.
  static std::optional<bool> boolFromVariant(const QVariant& value);

 private:
  QVariant value(const QString& key) const;
  // False when the write must not happen because a damaged file could not be kept.
  bool prepareWrite();

  bool damaged_ = false;
  bool tooLarge_ = false;
  bool keptAside_ = false;
};

}  // namespace zepa
