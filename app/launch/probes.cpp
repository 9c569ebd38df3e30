// SPDX-License-Identifier: MIT
#include "app/launch/probes.hpp"

#include <QSaveFile>
#include <exception>

#include "protocol/halvern_device.hpp"
#include "protocol/zepa_error.hpp"

namespace zepa {

namespace {

QByteArray errorLine(const std::string& description) {
  return QByteArrayLiteral("ERROR: ") + QByteArray::fromStdString(description) + '\n';
}

// Runs one probe; every failure, also one that is not a device error, ends in an error line
// instead of leaving the file unwritten.
template <typename Probe>
QByteArray guarded(Probe probe) {
  try {
    return probe();
  } catch (const ZEPAError& error) {
    return errorLine(error.description());
  } catch (const std::exception& error) {
    return errorLine(error.what());
  }
}

}  // namespace

QByteArray halvernModelProbe(std::shared_ptr<hid::Backend> backend, Sleeper sleeper) {
  return guarded([&] {
    HalvernDeviceInfo model;
    HalvernConfigSnapshot config;
    {
      HalvernDevice device(std::move(backend), std::move(sleeper));
      model = device.queryModel();
      config = device.readConfig();
    }
    return QByteArrayLiteral("MODEL ") + QByteArray::fromStdString(hexBytes(model.response)) +
           QByteArrayLiteral("\nCONFIG ") + QByteArray::fromStdString(hexBytes(config.response)) +
           '\n';
  });
}

QByteArray halvernWriteTestProbe(std::shared_ptr<hid::Backend> backend, Sleeper sleeper) {
  return guarded([&] {
    bool same = false;
    {
      HalvernDevice device(std::move(backend), std::move(sleeper));
      same = device.verifyUnchangedConfigWrite();
    }
    return same ? QByteArrayLiteral("OK\n") : QByteArrayLiteral("MISMATCH\n");
  });
}

bool writeProbeFile(const QString& path, const QByteArray& text) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(text) != text.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace zepa
