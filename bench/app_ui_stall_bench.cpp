// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/launch/zepa_control_app.hpp"
#include "app/views/content_view.hpp"
#include "app/views/settings_view.hpp"
#include "tests/support/sim_mount.hpp"

// How long the UI thread is blocked while each keyboard operation runs: the real window, the
// hidraw backend and zepa-keymap against zepa-sim, the operation started by its button. A 1 ms
// timer ticks on the UI thread throughout; the longest gap between two ticks, less the
// interval, is the longest stall the user could feel (target: at most 16 ms, one frame).
//
// With --screenshots DIR it instead saves a PNG of every tab (both keyboards) and dialog.
namespace {

namespace fs = std::filesystem;
using zepa::AppModel;

// The running program, built once: simulator, application, window.
struct Program {
  Program() : simulator({"--zepa", "--halvern"}) {
    const fs::path home = simulator.root() / "home";
    fs::create_directories(home);
    qputenv("XDG_CONFIG_HOME", (home / "config").c_str());
    qputenv("XDG_DATA_HOME", (home / "data").c_str());
    zepa::LaunchOptions options;
    options.deviceRoot = QString::fromStdString(simulator.root().string());
    app = std::make_unique<zepa::ZEPAControlApp>(zepa::systemEnvironment(*options.deviceRoot),
                                                 options);
    app->mainWindow().resize(900, 680);
    app->show();
    if (!QTest::qWaitForWindowExposed(&app->mainWindow()))
      std::fputs("window not exposed\n", stderr);
    waitUntilIdle();  // the start-up clock sync
  }
  AppModel& model() { return app->model(); }
  QWidget& window() { return app->mainWindow(); }
  // A plain event loop, not QTest's waits: those sleep 10 ms between rounds of events, which
  // the probe would count as stalls.
  void waitUntilIdle() {
    if (!model().busy()) return;
    QEventLoop loop;
    QObject::connect(&model(), &AppModel::busyChanged, &loop, [&] {
      if (!model().busy()) loop.quit();
    });
    QTimer::singleShot(20000, &loop, [&] {
      std::fputs("operation never finished\n", stderr);
      loop.quit();
    });
    loop.exec();
  }
  template <typename T = QWidget>
  T* find(const QObject& root, const char* name) {
    return root.findChild<T*>(QLatin1String(name));
  }
  void showTab(int index) {
    find<QTabWidget>(window(), "tabs")->setCurrentIndex(index);
    QCoreApplication::processEvents();
  }
  void useKeyboard(zepa::SupportedKeyboard keyboard) {
    model().setSelectedKeyboard(keyboard);
    QCoreApplication::processEvents();
  }

  zepa::test::SimMount simulator;
  std::unique_ptr<zepa::ZEPAControlApp> app;
};

// Made on first use and destroyed before the application object.
std::unique_ptr<Program> running;

Program& program() {
  if (!running) running = std::make_unique<Program>();
  return *running;
}

// Times every event the UI thread dispatches from its loop (nested dispatches count in their
// outer one): the longest is a stall the program itself caused, whatever the scheduler did.
class TimedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    if (depth_ > 0) return QApplication::notify(receiver, event);
    ++depth_;
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = threadCpuNanoseconds();
    const bool handled = QApplication::notify(receiver, event);
    longestDispatch = std::max(longestDispatch, clock.nsecsElapsed());
    longestDispatchCpu = std::max(longestDispatchCpu, threadCpuNanoseconds() - cpuBefore);
    --depth_;
    return handled;
  }
  qint64 longestDispatch = 0;
  // The same on the thread's CPU clock: the part that is the program's own work, not waiting
  // for the disk or for a core the scheduler gave to someone else.
  qint64 longestDispatchCpu = 0;

 private:
  static qint64 threadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
  }
  int depth_ = 0;
};

TimedApplication* timedApp() {
  return static_cast<TimedApplication*>(QCoreApplication::instance());
}

// Longest gap between ticks of a 1 ms timer on the UI thread, less the interval.
class StallProbe {
 public:
  StallProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
  }
  void start() {
    timedApp()->longestDispatch = 0;
    timedApp()->longestDispatchCpu = 0;
    longest_ = 0;
    clock_.start();
    last_ = 0;
    timer_.start();
  }
  // The longest single dispatch since start, in milliseconds.
  static double longestDispatch() { return static_cast<double>(timedApp()->longestDispatch) / 1e6; }
  static double longestDispatchCpu() {
    return static_cast<double>(timedApp()->longestDispatchCpu) / 1e6;
  }
  double stop() {
    timer_.stop();
    return std::max<double>(0.0, static_cast<double>(longest_) / 1e6 - 1.0);
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

struct Operation {
  const char* name;
  zepa::SupportedKeyboard keyboard;
  int tab;
  // Presses the operation's button; the window and dialogs are the program's own.
  std::function<void(Program&)> start;
};

void click(Program& p, const QObject& root, const char* name) {
  auto* button = p.find<QAbstractButton>(root, name);
  if (!button || !button->isEnabled()) return;
  QTest::mouseClick(button, Qt::LeftButton);
}

void measureStall(benchmark::State& state, const Operation& operation) {
  Program& p = program();
  if (p.simulator.problem()) {
    state.SkipWithError(p.simulator.problem()->c_str());
    return;
  }
  p.useKeyboard(operation.keyboard);
  p.showTab(operation.tab);
  StallProbe probe;
  double longest = 0;
  double total = 0;
  double dispatch = 0;
  double dispatchCpu = 0;
  int runs = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    probe.start();
    clock.start();
    operation.start(p);
    if (!p.model().busy()) {
      probe.stop();
      state.SkipWithError("the operation did not start");
      break;
    }
    p.waitUntilIdle();
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    const double stall = probe.stop();
    dispatch = std::max(dispatch, StallProbe::longestDispatch());
    dispatchCpu = std::max(dispatchCpu, StallProbe::longestDispatchCpu());
    longest = std::max(longest, stall);
    total += stall;
    ++runs;
    if (p.model().errorMessage()) {
      state.SkipWithError(p.model().errorMessage()->toStdString().c_str());
      break;
    }
  }
  if (runs > 0) {
    state.counters["longest_stall_ms"] = longest;
    state.counters["mean_stall_ms"] = total / runs;
    state.counters["longest_event_ms"] = dispatch;
    state.counters["longest_event_cpu_ms"] = dispatchCpu;
  }
}

const Operation operations[] = {
    {"lighting", zepa::SupportedKeyboard::zepa, 0,
     [](Program& p) { click(p, p.window(), "applyButton"); }},
    {"perKey", zepa::SupportedKeyboard::zepa, 1,
     [](Program& p) {
       p.model().setSelectedKeys({56, 57, 58});
       click(p, p.window(), "applySelectionButton");
     }},
    {"remaps", zepa::SupportedKeyboard::zepa, 2,
     [](Program& p) { click(p, p.window(), "addRemapButton"); }},
    {"clock", zepa::SupportedKeyboard::zepa, 3,
     [](Program& p) { click(p, p.window(), "syncClockButton"); }},
    {"halvernLighting", zepa::SupportedKeyboard::halvern, 0,
     [](Program& p) { click(p, p.window(), "halvernApplyButton"); }},
    {"halvernRemaps", zepa::SupportedKeyboard::halvern, 2,
     [](Program& p) { click(p, p.window(), "addHalvernRemapButton"); }},
    {"calibrationPreview", zepa::SupportedKeyboard::zepa, 0,
     [](Program& p) {
       auto* content = p.find<zepa::ContentView>(p.window(), "contentView");
       if (!content->calibrationDialog()) p.model().setShowCalibration(true);
       click(p, *content->calibrationDialog(), "testButton");
     }},
};

// The same probe with nothing to do for as long as an operation takes: what the machine's
// scheduler alone costs, the floor the figures above stand on.
void idleStall(benchmark::State& state) {
  Program& p = program();
  p.useKeyboard(zepa::SupportedKeyboard::zepa);
  p.showTab(0);
  StallProbe probe;
  double longest = 0;
  double dispatch = 0;
  for (auto _ : state) {
    probe.start();
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    longest = std::max(longest, probe.stop());
    dispatch = std::max(dispatch, StallProbe::longestDispatch());
    state.SetIterationTime(0.3);
  }
  state.counters["longest_stall_ms"] = longest;
  state.counters["longest_event_ms"] = dispatch;
}

void registerBenchmarks() {
  benchmark::RegisterBenchmark("uiStall/idle", idleStall)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(10);
  for (const Operation& operation : operations) {
    benchmark::RegisterBenchmark(
        (std::string("uiStall/") + operation.name).c_str(),
        [&operation](benchmark::State& state) { measureStall(state, operation); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10);
  }
}

void save(QWidget* widget, const QString& folder, const char* name) {
  if (!widget) {
    std::fprintf(stderr, "screenshot %s: nothing to show\n", name);
    return;
  }
  QCoreApplication::processEvents();
  const QString path = QDir(folder).filePath(QString::fromLatin1(name) + ".png");
  if (!widget->grab().save(path)) std::fprintf(stderr, "screenshot %s: not saved\n", name);
}

int takeScreenshots(const QString& folder) {
  Program& p = program();
  if (p.simulator.problem()) {
    std::fprintf(stderr, "%s\n", p.simulator.problem()->c_str());
    return 1;
  }
  QDir().mkpath(folder);
  AppModel& model = p.model();
  model.editProfile([](zepa::ZEPAProfile& profile) {
    profile.lighting.mode = zepa::LightingMode::rolling;
    profile.remaps = {{55, zepa::RemapAction::key, 1, 0, 0}};
  });
  model.setHalvernRemaps({{0x39, zepa::RemapAction::key, 0, 0xE0, 0}});
  model.setSelectedKeys({56, 57, 58, 59});
  model.setCustomEffectName(QStringLiteral("Wellen"), 4);
  const char* tabs[] = {"lighting", "per-key", "remaps", "display"};
  for (auto [keyboard, prefix] : {std::pair{zepa::SupportedKeyboard::zepa, "zepa"},
                                  std::pair{zepa::SupportedKeyboard::halvern, "halvern"}}) {
    p.useKeyboard(keyboard);
    for (int tab = 0; tab < 4; ++tab) {
      p.showTab(tab);
      save(&p.window(), folder, (std::string(prefix) + "-" + tabs[tab]).c_str());
    }
  }
  p.useKeyboard(zepa::SupportedKeyboard::zepa);
  p.showTab(0);
  auto* content = p.find<zepa::ContentView>(p.window(), "contentView");
  model.setShowCalibration(true);
  QDialog* calibration = content->calibrationDialog();
  click(p, *calibration, "testButton");
  save(calibration, folder, "calibration-busy");
  p.waitUntilIdle();
  save(calibration, folder, "calibration");
  calibration->resize(calibration->minimumSize());
  save(calibration, folder, "calibration-minimum-size");
  model.setShowCalibration(false);
  p.waitUntilIdle();
  model.setShowAbout(true);
  save(content->aboutDialog(), folder, "about");
  model.setShowAbout(false);
  p.find<QAction>(p.window(), "settingsAction")->trigger();
  save(p.window().findChild<zepa::SettingsView*>(), folder, "settings");
  QColorDialog colours(Qt::cyan, &p.window());
  colours.setOption(QColorDialog::DontUseNativeDialog);
  colours.show();
  save(&colours, folder, "colour-dialog");
  colours.hide();
  model.setErrorMessage(
      QStringLiteral("Das Keyboard wird gerade von einem anderen Programm "
                     "verwendet. Bitte kurz warten und erneut versuchen."));
  save(content->alert(), folder, "error-alert");
  model.setErrorMessage(std::nullopt);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TimedApplication application(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("ZEPA Control"));
  QApplication::setApplicationName(QStringLiteral("ZEPA Control"));
  zepa::installGermanQtTranslations();
  if (argc == 3 && std::strcmp(argv[1], "--screenshots") == 0) {
    const int status = takeScreenshots(QString::fromLocal8Bit(argv[2]));
    running.reset();
    return status;
  }
  registerBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  running.reset();
  return 0;
}
