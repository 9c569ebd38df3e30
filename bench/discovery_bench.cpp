// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "protocol/hid/hid.hpp"
#include "tests/support/sim_mount.hpp"

// One discovery step as device construction performs it: enumerate the ZEPA VX10 and read
// the two properties that pick its configuration interface. It runs on every detection and
// every CLI call, so it has to stay in the low milliseconds with many unrelated devices.
namespace {

// One simulator per device count for the whole run: mounting costs far more than what is
// measured.
const zepa::test::SimMount& mountWithExtraDevices(int extraDevices) {
  static std::map<int, std::unique_ptr<zepa::test::SimMount>> mounts;
  auto& mount = mounts[extraDevices];
  if (!mount) {
    mount = std::make_unique<zepa::test::SimMount>(
        std::vector<std::string>{"--extra-devices", std::to_string(extraDevices)});
  }
  return *mount;
}

void BM_Discovery(benchmark::State& state) {
  const auto& sim = mountWithExtraDevices(static_cast<int>(state.range(0)));
  if (sim.problem()) {
    state.SkipWithError(sim.problem()->c_str());
    return;
  }
  std::size_t found = 0;
  for (auto _ : state) {
    auto devices = zepa::hid::makeHidrawBackend(sim.root())->copyDevices(0x0C45, 0x800A);
    for (const auto& device : devices) {
      benchmark::DoNotOptimize(device->property("PrimaryUsagePage"));
      benchmark::DoNotOptimize(device->property("MaxFeatureReportSize"));
    }
    found = devices.size();
  }
  state.counters["interfaces"] = static_cast<double>(found);
  state.SetLabel("target < 5 ms");
}

BENCHMARK(BM_Discovery)
    ->ArgName("extra_devices")
    ->Arg(0)
    ->Arg(200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
