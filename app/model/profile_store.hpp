// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "protocol/records.hpp"

namespace zepa {

// The ZEPA VX10 profile file, "ZEPA Control/profile.json" in the user's data folder. Reading
// never changes the file; only save() writes it, atomically, so a crash mid-write leaves the
// previous profile in place.
class ProfileStore {
 public:
  ProfileStore();  // the user's profile file
  explicit ProfileStore(QString path);

  static QString defaultPath();
  const QString& path() const { return path_; }

  struct Loaded {
    std::optional<ZEPAProfile> profile;
    bool unreadable = false;  // the file exists but could not be read or decoded
  };

  // Creates the folder with all missing parents; false when that failed.
  bool createFolder() const;
  // Nothing when the file is missing, unreadable or does not decode.
  std::optional<ZEPAProfile> load() const { return read().profile; }
  Loaded read() const;
  // False when encoding or writing failed; the old file then stays as it was. A file there
  // that cannot be read is moved aside first, and nothing is written when that fails.
  bool save(const ZEPAProfile& profile) const;
  // Removes the temporary files of saves that were killed before they finished.
  void removeAbandonedSaves() const;

 private:
  QString path_;
};

}  // namespace zepa
