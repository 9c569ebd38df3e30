// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <initializer_list>
#include <map>
#include <ostream>

#include <gtest/gtest.h>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "app/model/app_model.hpp"
#include "app/model/unreadable_file.hpp"
#include "protocol/zepa_device.hpp"
#include "tests/support/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"

// Failing comparisons show the text, not UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace zepa {
inline void PrintTo(SupportedKeyboard keyboard, std::ostream* out) {
  *out << rawValue(keyboard);
}
}  // namespace zepa

namespace zepa::test {

// Hides either keyboard from discovery, as pulling its cable would.
struct PluggableBackend : hid::Backend {
  explicit PluggableBackend(std::shared_ptr<hid::Backend> inner) : inner(std::move(inner)) {}
  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t vendor,
                                                        std::uint16_t product) override {
    if (!(vendor == ZEPADevice::vendorID ? zepa : halvern)) return {};
    return inner->copyDevices(vendor, product);
  }
  std::shared_ptr<hid::Backend> inner;
  std::atomic<bool> zepa = true, halvern = true;
};

inline std::string readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

inline void writeFile(const QString& path, const std::string& bytes) {
  ProfileStore(path).createFolder();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// Private settings and data folders per test, the in-process simulator as the keyboards and
// Sunday 9 March 2025, 14:05:07 as the date.
class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XDG_CONFIG_HOME", home_.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home_.filePath("data").toUtf8());
    // QSettings resolves its folder once per process; point it at this test's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home_.filePath("config"));
  }
  void TearDown() override {
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
  }

  void useKeyboards(bool zepa, bool halvern) {
    simulator_ =
        std::make_shared<sim::InProcessBackend>(sim::SimulatorOptions{zepa, halvern, 0, {}});
    backend_ = std::make_shared<PluggableBackend>(simulator_);
  }
  // Pauses are skipped, not slept.
  ModelEnvironment environment() {
    if (!backend_) useKeyboards(true, true);
    return {backend_,
            [](auto) {},
            [](auto) { return DateParts{2025, 3, 9, 14, 5, 7, 1}; },
            home_.filePath("no-keymap-tool"),
            {}};
  }
  std::unique_ptr<AppModel> makeModel() { return std::make_unique<AppModel>(environment()); }

  // Lets the work item finish and its result arrive on this thread.
  static void waitUntilIdle(AppModel& model) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.busy(); }, 20000)) << "never finished";
  }
  // The file as written: the model's writes go to a writer thread first.
  static QSettings settings() {
    SettingsStore::waitForWrites();
    return QSettings("ZEPA Control", "ZEPA Control");
  }
  static std::string stored(const char* key) {
    return settings().value(key, "<absent>").toByteArray().toStdString();
  }
  // The error line, "" when there is none.
  static QString error(const AppModel& model) { return model.errorMessage().value_or(""); }
  // The slots in the `list` of the ZEPA keyboard's state, by index: the `fields` in hex.
  std::map<int, std::string> zepaSlots(const char* list,
                                       std::initializer_list<const char*> fields) const {
    std::map<int, std::string> found;
    const nlohmann::json state = simulator_->zepaState();
    for (const auto& slot : state[list]) {
      Bytes values;
      for (const char* field : fields) values.push_back(slot[field].get<std::uint8_t>());
      found[slot["index"].get<int>()] = hex(values);
    }
    return found;
  }
  QString profilePath() const { return home_.filePath("data/ZEPA Control/profile.json"); }
  QString settingsPath() const { return home_.filePath("config/ZEPA Control/ZEPA Control.conf"); }

  QTemporaryDir home_;
  std::shared_ptr<sim::InProcessBackend> simulator_;
  std::shared_ptr<PluggableBackend> backend_;
};

}  // namespace zepa::test
