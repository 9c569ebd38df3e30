#pragma once

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QWidget>
#include <chrono>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "app/model/app_model.hpp"
#include "tools/sim/in_process_backend.hpp"

// What the view tests share: private stores per test, the in-process keyboards, pauses that are
// recorded instead of slept, and finding widgets by object name.
// Failing comparisons print texts, not bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace zepa::uitest {

class RecordingSleeper {
 public:
  Sleeper sleeper() {
    return [this](std::chrono::microseconds pause) {
      std::lock_guard lock(mutex_);
      pauses_.push_back(pause);
    };
  }

 private:
  std::mutex mutex_;
  std::vector<std::chrono::microseconds> pauses_;
};

enum class Attached { none, zepa, halvern, both };

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    qputenv("XDG_CONFIG_HOME", home_.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home_.filePath("data").toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home_.filePath("config"));
  }

  void TearDown() override {
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
  }

  // A model over the in-process keyboards; built after any stored setting the test wants.
  AppModel& makeModel(Attached attached) {
    sim::SimulatorOptions options;
    options.zepa = attached == Attached::zepa || attached == Attached::both;
    options.halvern = attached == Attached::halvern || attached == Attached::both;
    keyboards_ = std::make_shared<sim::InProcessBackend>(options);
    ModelEnvironment env;
    env.backend = keyboards_;
    env.sleeper = sleeper_.sleeper();
    env.calendar = [](std::chrono::system_clock::time_point) {
      return DateParts{2025, 3, 9, 14, 5, 7, 1};
    };
    env.keymapProgram = home_.filePath("no-keymap-tool");
    model_ = std::make_unique<AppModel>(env);
    return *model_;
  }

  static void store(const char* key, const QVariant& value) {
    QSettings("ZEPA Control", "ZEPA Control").setValue(QLatin1String(key), value);
  }

  // Lets a started operation finish and its result arrive.
  static void waitUntilIdle(AppModel& model) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.busy(); }, 20000)) << "operation never ended";
  }

  template <typename T>
  static T* find(const QObject& root, const char* name) {
    T* child = root.findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << "no widget named " << name;
    return child;
  }

  QTemporaryDir home_;
  RecordingSleeper sleeper_;
  std::shared_ptr<sim::InProcessBackend> keyboards_;
  std::unique_ptr<AppModel> model_;
};

// Whether a widget would be shown were its window open (isVisible needs a shown window).
inline bool shown(const QWidget* widget, const QWidget* window) {
  return widget && widget->isVisibleTo(window);
}

}  // namespace zepa::uitest
