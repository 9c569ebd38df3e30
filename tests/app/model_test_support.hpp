#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "app/model/app_model.hpp"
#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"
#include "protocol/zepa_error.hpp"
#include "tools/sim/in_process_backend.hpp"

// Failing comparisons show the text, not UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// Shared pieces of the model tests: private stores per test, a backend whose keyboards can be
// unplugged, and waiting for a runner's result without sleeping in the devices.
namespace zepa::test {

// Pauses are recorded from the work item's thread and read on the main thread afterwards.
class RecordingSleeper {
 public:
  Sleeper sleeper() {
    return [this](std::chrono::microseconds pause) {
      std::lock_guard lock(mutex_);
      pauses_.push_back(pause);
    };
  }
  std::size_t count() const {
    std::lock_guard lock(mutex_);
    return pauses_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::chrono::microseconds> pauses_;
};

// Hides either keyboard from discovery, as pulling its cable would.
class PluggableBackend : public hid::Backend {
 public:
  explicit PluggableBackend(std::shared_ptr<sim::InProcessBackend> inner)
      : inner_(std::move(inner)) {}

  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t vendor,
                                                        std::uint16_t product) override {
    if (vendor == ZEPADevice::vendorID && product == ZEPADevice::productID && !zepa) return {};
    if (vendor == HalvernDevice::vendorID && product == HalvernDevice::productID && !halvern) {
      return {};
    }
    return inner_->copyDevices(vendor, product);
  }

  std::atomic<bool> zepa = true;
  std::atomic<bool> halvern = true;

 private:
  std::shared_ptr<sim::InProcessBackend> inner_;
};

inline DateParts fixedDate(std::chrono::system_clock::time_point) {
  // Sunday 9 March 2025, 14:05:07
  return DateParts{2025, 3, 9, 14, 5, 7, 1};
}

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    qputenv("XDG_CONFIG_HOME", home_.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home_.filePath("data").toUtf8());
    // QSettings reads the configuration folder once per process; point it at this test's.
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
    env.sleeper = sleeper_.sleeper();
    env.calendar = fixedDate;
    env.keymapProgram = home_.filePath("no-keymap-tool");
    return env;
  }

  std::unique_ptr<AppModel> makeModel() { return std::make_unique<AppModel>(environment()); }

  // Lets the work item finish and its result arrive on this thread.
  static void waitUntilIdle(AppModel& model) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.busy(); }, 20000)) << "operation never ended";
  }

  static QSettings settings() { return QSettings("ZEPA Control", "ZEPA Control"); }

  QString profilePath() const { return home_.filePath("data/ZEPA Control/profile.json"); }

  QTemporaryDir home_;
  RecordingSleeper sleeper_;
  std::shared_ptr<sim::InProcessBackend> simulator_;
  std::shared_ptr<PluggableBackend> backend_;
};

inline std::string hex(const std::vector<std::uint8_t>& bytes) {
  return hexBytes(bytes);
}

}  // namespace zepa::test
