#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "protocol/hid/hid.hpp"
#include "tests/support/sim_mount.hpp"

// One discovery step as device construction performs it: enumerate the ZEPA VX10 and read
// the two properties that pick its configuration interface. It runs on every detection and
// every CLI call, so it has to stay in the low milliseconds with many unrelated devices.
namespace {

// zepa-sim serves at most this many unrelated devices; larger counts are made up by copying
// the link of one of its unrelated devices, which is all discovery reads of them.
constexpr int kSimulatorExtraDevices = 64;

void addUnrelatedNodes(const std::filesystem::path& root, int count) {
  const auto hidraw = root / "sys/class/hidraw";
  for (int i = 0; i < count; ++i) {
    std::filesystem::copy_symlink(hidraw / "hidraw0",
                                  hidraw / ("hidraw" + std::to_string(1000 + i)));
  }
}

// One simulator per device count for the whole run: mounting costs far more than what is
// measured.
const zepa::test::SimMount& mountWithExtraDevices(int extraDevices) {
  static std::map<int, std::unique_ptr<zepa::test::SimMount>> mounts;
  auto& mount = mounts[extraDevices];
  if (!mount) {
    const int simulated = std::min(extraDevices, kSimulatorExtraDevices);
    mount = std::make_unique<zepa::test::SimMount>(
        std::vector<std::string>{"--extra-devices", std::to_string(simulated)});
    if (!mount->problem()) addUnrelatedNodes(mount->root(), extraDevices - simulated);
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
