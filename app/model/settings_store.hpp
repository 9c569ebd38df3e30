// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <mutex>
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
//
// Writing the file takes a lock file, a rewrite and an fdatasync: several milliseconds the
// window cannot spend. With Writes::background each write is queued to the process's one
// writer thread, applied in the order given, and reads see it at once; the destructor waits
// for the queue.
class SettingsStore {
 public:
  enum class Writes { direct, background };

  static constexpr const char* autoClockKey = "autoClock";
  static constexpr const char* autoApplyKey = "autoApply";
  static constexpr const char* halvernLightingKey = "halvernLighting";
  static constexpr const char* halvernRemapsKey = "halvernRemaps";
  static constexpr const char* customEffectNamesKey = "customEffectNames";
  static constexpr const char* effectSemanticMapKey = "effectSemanticMap";

  explicit SettingsStore(Writes writes = Writes::direct);  // looks the file over once
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  static QString filePath();
  // The file exists and holds something that cannot be read: a line Qt does not understand or
  // would drop, a broken value, or a stored value of ours that does not decode.
  bool damaged() const;
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
  // Returns once every write queued in this process is on disk (or refused).
  static void waitForWrites();

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
  // The key's value, nothing when it is absent.
  std::optional<QVariant> lookUp(const QString& key) const;
  QVariant value(const QString& key) const;
  // Sets (or, without a value, removes) a key: at once, or queued to the writer thread.
  void write(const QString& key, std::optional<QVariant> value);
  // The durable write itself; false when it was refused.
  bool writeToFile(const QString& key, const std::optional<QVariant>& value);
  // False when the write must not happen because a damaged file could not be kept.
  bool prepareWrite();
  QString keepDamagedFileAsideLocked();

  // Looked up once: finding it opens the settings, which must not happen beside a write.
  const QString path_;
  // Guards everything below it; never held while the file is written.
  mutable std::mutex mutex_;
  bool damaged_ = false;
  bool tooLarge_ = false;
  bool keptAside_ = false;
  // Writes queued or being written; while there are any, reads answer from the cache.
  int queued_ = 0;
  // The last value known of each key (nothing: known to be absent).
  mutable std::map<QString, std::optional<QVariant>> cache_;

  bool background_ = false;
};

}  // namespace zepa
