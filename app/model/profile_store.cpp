#include "app/model/profile_store.hpp"

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

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

std::optional<ZEPAProfile> ProfileStore::load() const {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray text = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return decodeProfile(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

bool ProfileStore::save(const ZEPAProfile& profile) const {
  std::string text;
  try {
    text = encodeProfile(profile);
  } catch (const std::exception&) {
    return false;
  }
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
