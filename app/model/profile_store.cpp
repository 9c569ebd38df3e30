// SPDX-License-Identifier: MIT
#include "app/model/profile_store.hpp"

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/model/unreadable_file.hpp"
#include "protocol/json_fields.hpp"

namespace zepa {

ProfileStore::ProfileStore() : ProfileStore(defaultPath()) {}

ProfileStore::ProfileStore(QString path) : path_(std::move(path)) {}

QString ProfileStore::defaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/ZEPA Control/profile.json");
}

bool ProfileStore::createFolder() const {
  return QDir().mkpath(QFileInfo(path_).absolutePath());
}

ProfileStore::Loaded ProfileStore::read() const {
  QFile file(path_);
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly)) return {std::nullopt, true};
  // A file larger than any profile is not read into memory just to be refused.
  const QByteArray text = file.read(static_cast<qint64>(json_fields::maxDocumentSize) + 1);
  if (file.error() != QFileDevice::NoError || !file.atEnd()) return {std::nullopt, true};
  auto profile =
      decodeProfile(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
  return {profile, !profile};
}

void ProfileStore::removeAbandonedSaves() const {
  const QFileInfo info(path_);
  QDir dir = info.dir();
  // QSaveFile names its temporary file after the target plus six random characters. One
  // younger than a minute may belong to a save running right now in another instance.
  const QDateTime settled = QDateTime::currentDateTime().addSecs(-60);
  const QString pattern = info.fileName() + QStringLiteral(".??????");
  for (const QFileInfo& candidate : dir.entryInfoList({pattern}, QDir::Files | QDir::Hidden)) {
    if (candidate.lastModified() < settled) dir.remove(candidate.fileName());
  }
}

bool ProfileStore::save(const ZEPAProfile& profile) const {
  std::string text;
  try {
    text = encodeProfile(profile);
  } catch (const std::exception&) {
    return false;
  }
  // Whatever cannot be read is kept, never overwritten.
  if (read().unreadable && UnreadableFile::moveAside(path_).isEmpty()) return false;
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const auto size = static_cast<qint64>(text.size());
  if (file.write(text.data(), size) != size) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace zepa
