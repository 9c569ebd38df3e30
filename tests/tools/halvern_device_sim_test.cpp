// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/halvern_device.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"

// The device through a mounted zepa-sim and the hidraw backend: the simulator's log and state
// file show what reached the kernel interface. Pauses are skipped; the benchmark takes them.
namespace zepa {
namespace {

using test::PrintTo;

using test::hex;
using test::report;
using Operation = std::function<void(HalvernDevice&)>;

const Operation query = [](HalvernDevice& d) { d.queryModel(); };
const Operation verify = [](HalvernDevice& d) { d.verifyUnchangedConfigWrite(); };
const Operation aurora = [](HalvernDevice& d) {
  d.setLighting({HalvernEffect::aurora, {9, 8, 7}, 2, 1, true});
};

// The stored block's bytes that differ from `before`, by their position in the report.
std::map<std::size_t, std::string> changes(const std::string& before, const std::string& after) {
  const auto a = test::bytes(before), b = test::bytes(after);
  std::map<std::size_t, std::string> out;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i]) out[i + 8] = hex(std::span(b).subspan(i, 1));
  return out;
}

const auto modelQuery = report("06 82 01 00 01 00 06", 520);
const auto configRead = report("06 84 00 00 01 00 80 00", 520);
const auto colour = report("06 0a 00 00 00 00 00 02", 520, {{29, "09 08 07"}, {514, "5a a5"}});
const std::vector<std::uint8_t> block;  // the configuration write-back: what the keyboard holds

struct Row {
  const char* name;
  Operation run;
  std::vector<std::vector<std::uint8_t>> writes;
  std::map<std::size_t, std::string> changed;  // block bytes changed
};

class HalvernDeviceOnSim : public ::testing::TestWithParam<Row> {};

// Faults and an absent keyboard on this path are covered twice already: the hidraw backend
// test maps each fault to its status, the device and zepactl tests word them.
TEST_P(HalvernDeviceOnSim, OperationReachesTheKeyboard) {
  const Row& row = GetParam();
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const std::string before = sim.stateJson("halvern")["configBlock"];
  HalvernDevice device(hid::makeHidrawBackend(sim.root()), [](auto) {});
  row.run(device);
  const std::string after = sim.stateJson("halvern")["configBlock"];
  std::vector<std::string> written, expected;
  for (const auto& entry : sim.readLog())
    if (entry.op == "SET") written.push_back(hex(entry.bytes));
  for (const auto& write : row.writes)
    expected.push_back(write.empty() ? hex(report("06 04 00 00 01 00 80 00 " + after, 520))
                                     : hex(write));
  EXPECT_EQ(written, expected);
  EXPECT_EQ(changes(before, after), row.changed);
}

INSTANTIATE_TEST_SUITE_P(, HalvernDeviceOnSim,
                         ::testing::Values(Row{"queryModel", query, {modelQuery}, {}},
                                           Row{"verifyUnchangedConfigWrite",
                                               verify,
                                               {configRead, block, configRead},
                                               {}},
                                           Row{"setLighting_aurora",
                                               aurora,
                                               {configRead, block, colour},
                                               {{17, "00"}, {18, "0b"}, {86, "02"}, {87, "17"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zepa
