// SPDX-License-Identifier: MIT
#include "app/model/unreadable_file.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zepa {

namespace {

// "profile" and ".json" of "…/profile.json"; a name without a dot has no suffix.
QString stem(const QFileInfo& info) {
  return info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
}
QString dottedSuffix(const QFileInfo& info) {
  return info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
}

}  // namespace

QString UnreadableFile::asideName(const QString& path, const QDateTime& when) {
  const QFileInfo info(path);
  return info.dir().filePath(stem(info) + QStringLiteral(".unreadable-") +
                             when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + dottedSuffix(info));
}

QString UnreadableFile::freeAsideName(const QString& path) {
  const QString first = asideName(path, QDateTime::currentDateTime());
  // More damaged files within the same second get counters that sort after the first, each
  // after the newest one there, so sorting by name is sorting by age.
  const QFileInfo info(first);
  const auto numbered = [&](int counter) {
    if (counter == 1) return first;
    return info.dir().filePath(stem(info) +
                               QStringLiteral("_%1").arg(counter, 2, 10, QLatin1Char('0')) +
                               dottedSuffix(info));
  };
  int newest = 0;
  for (int counter = 1; counter < 100; ++counter) {
    if (QFileInfo::exists(numbered(counter))) newest = counter;
  }
  return newest + 1 < 100 ? numbered(newest + 1) : QString();
}

void UnreadableFile::removeOldest(const QString& path) {
  const QFileInfo info(path);
  QDir dir = info.dir();
  const QStringList aside =
      dir.entryList({stem(info) + QStringLiteral(".unreadable-*") + dottedSuffix(info)},
                    QDir::Files | QDir::Hidden, QDir::Name);
  for (qsizetype i = 0; i + kept < aside.size(); ++i) dir.remove(aside[i]);
}

QString UnreadableFile::moveAside(const QString& path) {
  const QString target = freeAsideName(path);
  if (target.isEmpty() || !QFile::rename(path, target)) return {};
  removeOldest(path);
  return target;
}

QString UnreadableFile::copyAside(const QString& path) {
  const QString target = freeAsideName(path);
  if (target.isEmpty() || !QFile::copy(path, target)) return {};
  removeOldest(path);
  return target;
}

}  // namespace zepa
