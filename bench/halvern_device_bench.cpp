// SPDX-License-Identifier: MIT
// The Halvern operations with real pauses through a mounted zepa-sim, each against the time
// its fixed pauses alone take. Every iteration builds a fresh device, as the application does.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "protocol/halvern_device.hpp"
#include "tests/support/sim_mount.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::unique_ptr<zepa::test::SimMount> sim;

void paced(benchmark::State& state, const char* name, std::chrono::milliseconds pauses,
           const std::function<void(zepa::HalvernDevice&)>& operation) {
  if (!sim || sim->problem()) {
    state.SkipWithError(sim ? sim->problem()->c_str() : "zepa-sim not mounted");
    return;
  }
  const auto backend = zepa::hid::makeHidrawBackend(sim->root());
  Clock::duration spent{};
  for (auto _ : state) {
    const auto start = Clock::now();
    zepa::HalvernDevice device(backend);
    operation(device);
    spent += Clock::now() - start;
  }
  const double ratio = std::chrono::duration<double>(spent).count() /
                       static_cast<double>(state.iterations()) /
                       std::chrono::duration<double>(pauses).count();
  state.counters["ratio"] = ratio;
  std::printf("%-28s ratio %.4f (target <= 1.02)\n", name, ratio);
}

void setLighting(benchmark::State& state) {
  // Read request and answer, configuration write, colour write.
  paced(state, "setLighting", 100ms, [](zepa::HalvernDevice& device) {
    device.setLighting({zepa::HalvernEffect::aurora, {0, 210, 255}, 4, 4, true});
  });
}

void verifyUnchangedConfigWrite(benchmark::State& state) {
  paced(state, "verifyUnchangedConfigWrite", 125ms, [](zepa::HalvernDevice& device) {
    benchmark::DoNotOptimize(device.verifyUnchangedConfigWrite());
  });
}

void queryModel(benchmark::State& state) {
  paced(state, "queryModel", 50ms,
        [](zepa::HalvernDevice& device) { benchmark::DoNotOptimize(device.queryModel()); });
}

BENCHMARK(setLighting)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(verifyUnchangedConfigWrite)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(queryModel)->Iterations(60)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  sim = std::make_unique<zepa::test::SimMount>(std::vector<std::string>{"--halvern"});
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  sim.reset();
  return 0;
}
