// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "protocol/zepa_device.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"

// The device through a mounted zepa-sim and the real hidraw backend: what the simulator's
// log and state file show is what reached the kernel interface.
namespace zepa {
namespace {

using test::PrintTo;

const LightingConfig rolling{LightingMode::rolling, {0, 210, 255}, 5, 3, 0, true};
const auto lighting = [](ZEPADevice& d) { d.setLighting(rolling); };
const auto clock = [](ZEPADevice& d) { d.syncClock({}, 1); };
const auto keys = [](ZEPADevice& d) { d.setPerKeyRGB({{142, {1, 2, 3}}}, 3); };
const auto fnRemap = [](ZEPADevice& d) { d.setRemaps({{55, RemapAction::key, 0, 0x29, 0}}, true); };

// Feature calls on the configuration node: the first two bytes of each write, GET per read.
std::string traffic(const test::SimMount& sim) {
  std::string out;
  for (const sim::LogEntry& e : sim.readLog())
    if (e.node == "hidraw2")  // keyboard and consumer interfaces come first
      out += (out.empty() ? "" : ", ") + (e.op == "GET" ? "GET" : hexBytes(e.bytes, 2));
  return out;
}

struct Command {
  const char* name;
  std::function<void(ZEPADevice&)> run;
  std::string calls;
  const char* pointer;  // where in the state file the result shows
  std::string state;
};

class ZEPADeviceSim : public ::testing::TestWithParam<Command> {};

// Faults and pauses on this path are the device test's and the hidraw backend test's; here
// only what reaches the firmware.
TEST_P(ZEPADeviceSim, CommandReachesTheFirmware) {
  const Command& c = GetParam();
  test::SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ZEPADevice device(
      hid::makeHidrawBackend(sim.root()), [](auto) {},
      [](auto) { return DateParts{2025, 3, 9, 14, 5, 7, 1}; });
  c.run(device);
  EXPECT_EQ(traffic(sim), c.calls);
  const nlohmann::json state = sim.stateJson("zepa");
  EXPECT_EQ(state.at(nlohmann::json::json_pointer(c.pointer)), nlohmann::json::parse(c.state))
      << state.dump();
}

INSTANTIATE_TEST_SUITE_P(
    , ZEPADeviceSim,
    ::testing::Values(
        Command{"setLighting", lighting, "04 18, GET, 04 13, GET, 0b 00, 04 02, GET, 04 f0",
                "/lighting/report", R"("0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55")"},
        Command{
            "syncClock", clock, "04 18, GET, 04 28, GET, 00 01, GET, 04 02, GET", "/clock",
            R"({"profile":1,"year":2025,"month":3,"day":9,"hour":14,"minute":5,"second":7,"weekday":0})"},
        Command{"setPerKeyRGB", keys,
                "04 18, GET, 04 13, GET, 80 00, 04 02, GET, 04 f0, 04 18, GET, 04 23, GET, "
                "00 00, 00 00, 00 00, 00 00, 00 00, 00 00, 00 00, 00 00, 00 00, GET, 04 02, GET, "
                "04 f0, GET",
                "/perKeyColors", R"([{"index":142,"key":142,"red":1,"green":2,"blue":3}])"},
        Command{"setRemaps_Fn", fnRemap,
                "04 18, GET, 04 27, GET, 00 00, 00 00, 00 00, 00 00, 00 00, 00 00, 00 00, "
                "00 00, 00 00, 04 02, GET, 04 f0, GET",
                "/fnRemaps", R"([{"index":55,"action":2,"param1":0,"param2":41,"param3":0}])"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zepa
