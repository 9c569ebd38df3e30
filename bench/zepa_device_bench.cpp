// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "protocol/zepa_device.hpp"
#include "tests/support/sim_mount.hpp"

// Each ZEPA VX10 command through a mounted zepa-sim with real pauses. The keyboard's 35 ms
// pauses set a floor no command can beat; "ratio" is wall time over that floor, so anything
// the transport or the sleeping adds shows above 1 (target: at most 1.02).
namespace {

using namespace zepa;
using Clock = std::chrono::steady_clock;

struct Command {
  const char* name;
  int pauses;  // one per write and per read-back
  std::function<void(ZEPADevice&)> run;
};

test::SimMount& simulator() {
  static test::SimMount mount({"--zepa"});
  return mount;
}

void measure(benchmark::State& state, const Command& command) {
  const auto backend = hid::makeHidrawBackend(simulator().root());
  Clock::duration total{};
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    ZEPADevice device(backend);  // fresh per operation, as the application does
    command.run(device);
    const Clock::duration elapsed = Clock::now() - start;
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    total += elapsed;
  }
  const auto floor = state.iterations() * command.pauses * std::chrono::milliseconds(35);
  const double ratio = std::chrono::duration<double>(total) / floor;
  state.counters["ratio"] = ratio;
  std::printf("%-14s ratio %.4f (%s)\n", command.name, ratio, ratio <= 1.02 ? "ok" : "above 1.02");
}

const LightingConfig rolling{LightingMode::rolling, {0, 210, 255}, 5, 3, 0, true};

void setLighting(benchmark::State& state) {
  measure(state, {"setLighting", 8, [](ZEPADevice& d) { d.setLighting(rolling); }});
}
void syncClock(benchmark::State& state) {
  measure(state, {"syncClock", 8,
                  [](ZEPADevice& d) { d.syncClock(std::chrono::system_clock::now(), 1); }});
}
void setPerKeyRGB(benchmark::State& state) {
  std::vector<KeyColor> colors;
  for (std::uint8_t index = 1; index <= 123; ++index) colors.push_back({index, {index, 0, 255}});
  measure(state, {"setPerKeyRGB", 26, [&](ZEPADevice& d) { d.setPerKeyRGB(colors, 5); }});
}
void setRemaps(benchmark::State& state) {
  measure(state, {"setRemaps", 17, [](ZEPADevice& d) {
                    d.setRemaps({{55, RemapAction::key, 0, 0x29, 0}}, false);
                  }});
}

BENCHMARK(setLighting)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(syncClock)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(setPerKeyRGB)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(setRemaps)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
