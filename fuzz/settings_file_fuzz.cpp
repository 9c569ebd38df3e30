// SPDX-License-Identifier: MIT
// Any bytes as the settings file, read through the real store: no crash, no Qt warning on
// the terminal, and a file the store calls readable gives back every value it holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include "app/model/settings_store.hpp"

namespace {

// Whatever Qt says while the store reads would reach the user's terminal.
void messageReachedTerminal(QtMsgType, const QMessageLogContext&, const QString& text) {
  std::fprintf(stderr, "Qt printed: %s\n", text.toLocal8Bit().constData());
  std::abort();
}

struct Home {
  // Memory-backed when possible: the file is rewritten on every run.
  QTemporaryDir dir{QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/settings-fuzz-XXXXXX")
                                              : QDir::tempPath() + "/settings-fuzz-XXXXXX"};
  QString file;
  Home() {
    static int argc = 1;
    static char name[] = "settings_file_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    file = zepa::SettingsStore::filePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    qInstallMessageHandler(messageReachedTerminal);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Home home;
  {
    QFile file(home.file);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  zepa::SettingsStore store;
  (void)store.autoClock();
  (void)store.autoApply();
  (void)store.halvernLighting();
  (void)store.halvernRemaps();
  const auto names = store.customEffectNames();
  const auto semantic = store.effectSemanticMap();
  if (!store.damaged()) {
    using S = zepa::SettingsStore;
    if (store.contains(S::customEffectNamesKey) && !names) std::abort();
    if (store.contains(S::effectSemanticMapKey) && !semantic) std::abort();
  }
  return 0;
}
