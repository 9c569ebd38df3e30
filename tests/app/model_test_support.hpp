#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "app/model/app_model.hpp"
#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"
#include "tools/sim/in_process_backend.hpp"

// Failing comparisons show the text, not UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace zepa::test {

// Hides either keyboard from discovery, as pulling its cable would.
class PluggableBackend : public hid::Backend {
 public:
  explicit PluggableBackend(std::shared_ptr<hid::Backend> inner) : inner_(std::move(inner)) {}
  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t vendor,
                                                        std::uint16_t product) override {
    const bool hidden = (vendor == ZEPADevice::vendorID && !zepa) ||
                        (vendor == HalvernDevice::vendorID && !halvern);
    return hidden ? std::vector<std::unique_ptr<hid::Device>>{}
                  : inner_->copyDevices(vendor, product);
  }
  std::atomic<bool> zepa = true, halvern = true;

 private:
  std::shared_ptr<hid::Backend> inner_;
};

// Sunday 9 March 2025, 14:05:07
inline DateParts fixedDate(std::chrono::system_clock::time_point) {
  return DateParts{2025, 3, 9, 14, 5, 7, 1};
}

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

// Private settings and data folders per test, and the in-process simulator as the keyboards.
class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
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
    sim::SimulatorOptions options;
    options.zepa = zepa;
    options.halvern = halvern;
    simulator_ = std::make_shared<sim::InProcessBackend>(options);
    backend_ = std::make_shared<PluggableBackend>(simulator_);
  }

  ModelEnvironment environment() {
    if (!backend_) useKeyboards(true, true);
    ModelEnvironment env;
    env.backend = backend_;
    // Records instead of sleeping; a model that dropped it would fall back to real pauses.
    env.sleeper = [pauses = pauses_](std::chrono::microseconds) { ++*pauses; };
    env.calendar = fixedDate;
    env.keymapProgram = home_.filePath("no-keymap-tool");
    return env;
  }
  std::unique_ptr<AppModel> makeModel() { return std::make_unique<AppModel>(environment()); }

  // Lets the work item finish and its result arrive on this thread.
  static void waitUntilIdle(AppModel& model) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.busy(); }, 20000)) << "never finished";
  }
  static QSettings settings() { return QSettings("ZEPA Control", "ZEPA Control"); }
  QString profilePath() const { return home_.filePath("data/ZEPA Control/profile.json"); }

  QTemporaryDir home_;
  std::shared_ptr<std::atomic<int>> pauses_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<sim::InProcessBackend> simulator_;
  std::shared_ptr<PluggableBackend> backend_;
};

}  // namespace zepa::test
