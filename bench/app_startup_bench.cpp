// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/sim_mount.hpp"

// Start-up of zepa-control with both simulated keyboards attached, from process start to the
// main window's first paint, against a minimal Qt Widgets window started the same way. Both
// print "first-paint" when they have painted and quit; the time until that line and each
// process's peak memory are compared (targets: first paint at most 1.25 times, memory 1.5).
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* minimalWindowOption = "--minimal-window";

// The yardstick: the least a Qt Widgets program does to show a window with a line of text
// (text is what makes a window load its fonts, which dominates a cold start).
class MinimalWindow : public QWidget {
 public:
  MinimalWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ZEPA Control"), this));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (painted_) return;
    painted_ = true;
    QTimer::singleShot(0, qApp, [] {
      std::fputs("first-paint\n", stdout);
      std::fflush(stdout);
      QCoreApplication::quit();
    });
  }

 private:
  bool painted_ = false;
};

int runMinimalWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  MinimalWindow window;
  window.resize(760, 560);
  window.show();
  return app.exec();
}

struct Run {
  double seconds = 0;
  long peakKiB = 0;
  bool ok = false;
};

// Starts the program, waits for its first-paint line, then for its exit.
Run launch(const std::vector<std::string>& arguments, const fs::path& home) {
  int out[2];
  if (pipe(out) != 0) return {};
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, STDERR_FILENO);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  Run run;
  std::string seen;
  char buffer[256];
  ssize_t n;
  while (seen.find("first-paint\n") == std::string::npos &&
         (n = read(out[0], buffer, sizeof buffer)) > 0) {
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.ok = seen.find("first-paint\n") != std::string::npos;
  close(out[0]);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) == child) run.peakKiB = usage.ru_maxrss;
  run.ok = run.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

std::string selfPath;

struct Totals {
  std::vector<double> seconds;
  std::vector<long> peakKiB;
};
Totals appTotals, minimalTotals;

void measure(benchmark::State& state, const std::vector<std::string>& arguments, Totals& totals) {
  const fs::path home = fs::temp_directory_path() / ("zepa-startup-" + std::to_string(getpid()));
  for (auto _ : state) {
    const Run run = launch(arguments, home);
    if (!run.ok) {
      state.SkipWithError("the program did not paint its window and exit cleanly");
      break;
    }
    state.SetIterationTime(run.seconds);
    totals.seconds.push_back(run.seconds);
    totals.peakKiB.push_back(run.peakKiB);
  }
  fs::remove_all(home);
  if (!totals.peakKiB.empty()) {
    state.counters["peak_KiB"] =
        static_cast<double>(*std::max_element(totals.peakKiB.begin(), totals.peakKiB.end()));
  }
}

void zepaControlFirstPaint(benchmark::State& state) {
  static zepa::test::SimMount simulator({"--zepa", "--halvern"});
  measure(state,
          {std::string(ZEPA_BIN_DIR) + "/zepa-control", "--device-root",
           fs::path(simulator.root()).string(), "--quit-after-first-paint"},
          appTotals);
}

void minimalWindowFirstPaint(benchmark::State& state) {
  measure(state, {selfPath, minimalWindowOption}, minimalTotals);
}

// Both programs in turn, iteration by iteration: on a shared machine the load drifts between
// two separate series, so the ratio of each pair is the steadier figure.
std::vector<double> pairedRatios;

void pairedFirstPaint(benchmark::State& state) {
  static zepa::test::SimMount simulator({"--zepa", "--halvern"});
  const fs::path home = fs::temp_directory_path() / ("zepa-startup-" + std::to_string(getpid()));
  for (auto _ : state) {
    const Run minimal = launch({selfPath, minimalWindowOption}, home);
    const Run app = launch({std::string(ZEPA_BIN_DIR) + "/zepa-control", "--device-root",
                            fs::path(simulator.root()).string(), "--quit-after-first-paint"},
                           home);
    if (!minimal.ok || !app.ok) {
      state.SkipWithError("a program did not paint its window and exit cleanly");
      break;
    }
    state.SetIterationTime(app.seconds);
    pairedRatios.push_back(app.seconds / minimal.seconds);
  }
  fs::remove_all(home);
}

BENCHMARK(zepaControlFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(minimalWindowFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(pairedFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

template <typename T>
T median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void report() {
  if (appTotals.seconds.empty() || minimalTotals.seconds.empty()) return;
  const double app = median(appTotals.seconds);
  const double minimal = median(minimalTotals.seconds);
  const long appPeak = *std::max_element(appTotals.peakKiB.begin(), appTotals.peakKiB.end());
  const long minimalPeak =
      *std::max_element(minimalTotals.peakKiB.begin(), minimalTotals.peakKiB.end());
  const double timeRatio = app / minimal;
  const double memoryRatio = static_cast<double>(appPeak) / static_cast<double>(minimalPeak);
  // Only for the times themselves: the ratio of two separate series follows the machine's load
  // between them, so the goal is judged by the paired runs below.
  std::printf(
      "first paint, separate series: zepa-control %.1f ms, minimal window %.1f ms, "
      "ratio %.2f\n",
      app * 1e3, minimal * 1e3, timeRatio);
  if (!pairedRatios.empty()) {
    const double paired = median(pairedRatios);
    std::printf("first paint, paired runs: median ratio %.2f (%s)\n", paired,
                paired <= 1.25 ? "ok" : "above 1.25");
  }
  std::printf("peak memory: zepa-control %ld KiB, minimal window %ld KiB, ratio %.2f (%s)\n",
              appPeak, minimalPeak, memoryRatio, memoryRatio <= 1.5 ? "ok" : "above 1.5");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], minimalWindowOption) == 0) {
    return runMinimalWindow(argc, argv);
  }
  selfPath = fs::canonical("/proc/self/exe").string();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  report();
  return 0;
}
