// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

namespace zepa {

// A stored file that exists but cannot be read is put aside under a name that sorts beside it
// and says what it is and when: "profile.json" becomes
// "profile.unreadable-20261206-153012.json". Only the newest few are kept.
class UnreadableFile {
 public:
  static constexpr int kept = 3;

  static QString asideName(const QString& path, const QDateTime& when);
  // Renames (or copies) the file aside; the new path, or empty when that failed.
  static QString moveAside(const QString& path);
  static QString copyAside(const QString& path);

 private:
  static QString freeAsideName(const QString& path);
  static void removeOldest(const QString& path);
};

}  // namespace zepa
