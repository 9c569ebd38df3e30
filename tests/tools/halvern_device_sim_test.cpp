#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/halvern_device.hpp"
#include "tests/sim/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/sim/hex.hpp"

// The device through a mounted zepa-sim and the hidraw backend: the simulator's log and state
// file show what reached the kernel interface. Pauses are skipped; the benchmark takes them.
namespace zepa {
namespace {

using test::report;

using Operation = std::function<std::string(HalvernDevice&)>;
const Operation query = [](HalvernDevice& d) {
  return std::to_string(d.queryModel().response.size());
};
const Operation read = [](HalvernDevice& d) {
  return std::to_string(d.readConfig().response.size());
};
const Operation verify = [](HalvernDevice& d) {
  return d.verifyUnchangedConfigWrite() ? "same" : "changed";
};
Operation lighting(HalvernLightingConfig config) {
  return [config](HalvernDevice& d) { return d.setLighting(config), std::string("done"); };
}

// Runs `run` on a fresh device over the mounted simulator: its result or the error text.
std::string outcomeOf(const test::SimMount& sim, const Operation& run) {
  try {
    HalvernDevice device(hid::makeHidrawBackend(sim.root()), [](std::chrono::microseconds) {});
    return run(device);
  } catch (const ZEPAError& error) {
    return error.description();
  }
}

// "SGSS": the feature writes and reads the keyboard answered, in order.
std::string kinds(const std::vector<sim::LogEntry>& log) {
  std::string out;
  for (const auto& entry : log) out += entry.op.substr(0, 1);
  return out;
}

std::vector<std::vector<std::uint8_t>> writes(const std::vector<sim::LogEntry>& log) {
  std::vector<std::vector<std::uint8_t>> out;
  for (const auto& entry : log)
    if (entry.op == "SET") out.push_back(entry.bytes);
  return out;
}

TEST(HalvernDeviceOnSim, ReportLayouts) {
  const auto modelQuery = report("06 82 01 00 01 00 06", 520);
  const auto configRead = report("06 84 00 00 01 00 80 00", 520);
  const auto colour = report("06 0a 00 00 00 00 00 02", 520, {{29, "11 22 33"}, {514, "5a a5"}});
  struct Row {
    const char* name;
    Operation run;
    std::string kinds;
    std::vector<std::vector<std::uint8_t>> writes;  // empty: the configuration write, checked below
  };
  const std::vector<Row> rows = {
      {"model query", query, "SG", {modelQuery}},
      {"configuration read", read, "SG", {configRead}},
      {"write-back", verify, "SGSSG", {configRead, {}, configRead}},
      {"static colour",
       lighting({HalvernEffect::staticColor, {0x11, 0x22, 0x33}, 4, 0, false}),
       "SGSS",
       {configRead, {}, colour}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::SimMount sim({"--halvern"});
    ZEPA_REQUIRE_SIM(sim);
    const std::string factoryBlock = sim.stateJson("halvern")["configBlock"];
    outcomeOf(sim, row.run);

    const auto log = sim.readLog();
    EXPECT_EQ(kinds(log), row.kinds);
    const auto written = writes(log);
    ASSERT_EQ(written.size(), row.writes.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
      auto expected = row.writes[i];
      if (expected.empty()) {
        // The block as read, behind its header; static colour sets effect and custom flag.
        expected = report("06 04 00 00 01 00 80 00 " + factoryBlock, 520);
        if (row.name == std::string("static colour")) expected[17] = 0, expected[18] = 1;
      }
      EXPECT_EQ(test::hex(written[i]), test::hex(expected)) << "write " << i;
    }
  }
}

// The block bytes a lighting change leaves different in the keyboard, and its colour.
TEST(HalvernDeviceOnSim, LightingReachesTheKeyboard) {
  struct Row {
    HalvernLightingConfig config;
    std::string changed;  // "position:value" the stored block holds where it changed or must
    std::string colour;
  };
  const std::vector<Row> rows = {
      {{HalvernEffect::off, {1, 2, 3}, 2, 2, false}, "17:00 18:00", "null"},
      {{HalvernEffect::staticColor, {1, 2, 3}, 3, 4, true},
       "17:00 18:01 66:03 67:07",
       R"({"blue":3,"green":2,"red":1})"},
      {{HalvernEffect::aurora, {9, 8, 7}, 2, 1, true},
       "17:00 18:0b 86:02 87:17",
       R"({"blue":7,"green":8,"red":9})"},
      {{HalvernEffect::wave, {1, 2, 3}, 1, 3, true}, "17:00 18:03 70:01 71:37", "null"},
      {{HalvernEffect::prism, {1, 2, 3}, 0, 0, false}, "17:00 18:10 96:00 97:00", "null"},
      {{HalvernEffect::tidal, {1, 2, 3}, 5, 0, false}, "", "null"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(name(row.config.effect));
    test::SimMount sim({"--halvern"});
    ZEPA_REQUIRE_SIM(sim);
    const auto before =
        sim::parseHexBytes(sim.stateJson("halvern")["configBlock"].get<std::string>());
    outcomeOf(sim, lighting(row.config));
    const auto state = sim.stateJson("halvern");
    const auto after = sim::parseHexBytes(state["configBlock"].get<std::string>());
    ASSERT_TRUE(before && after);
    std::string changed;
    for (std::size_t i = 0; i < after->size(); ++i)
      if ((*before)[i] != (*after)[i] ||
          (" " + row.changed).find(" " + std::to_string(i + 8) + ":") != std::string::npos)
        changed += (changed.empty() ? "" : " ") + std::to_string(i + 8) + ":" +
                   test::hex(std::vector<std::uint8_t>{(*after)[i]});
    EXPECT_EQ(changed, row.changed);
    EXPECT_EQ(state["color"].dump(), row.colour);
  }
}

// Short and zeroed answers, and a fault at each step: the right error, nothing sent after it.
TEST(HalvernDeviceOnSim, AnswersAndFaults) {
  const auto aurora = lighting({HalvernEffect::aurora, {1, 2, 3}, 2, 1, true});
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  struct Row {
    const char* fault;
    Operation run;
    std::string outcome;
    std::string kinds;
  };
  const std::vector<Row> rows = {
      {"get:1:short:136", read, "136", "SG"},
      {"get:1:short:200", read, "136", "SG"},
      {"get:1:short:135", read, refused + "06 84 00 00 01 00 80 00", "SG"},
      {"get:1:nak", read, refused + "00 00 00 00 00 00 00 00", "SG"},
      {"get:1:short:14", query, "14", "SG"},
      {"get:1:short:13", query, refused + "06 82 01 00 01 00 06 00", "SG"},
      {"open:EACCES", aurora,
       "Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control installieren "
       "(zepa-control --print-udev-rules) und die Tastatur neu verbinden.",
       ""},
      {"set:1:EPIPE", aurora, "Senden fehlgeschlagen (0xe000404f).", ""},
      {"get:1:EIO", aurora, "Bestätigung fehlgeschlagen (0xe00002ca).", "S"},
      {"set:2:EPIPE", aurora, "Senden fehlgeschlagen (0xe000404f).", "SG"},
      {"set:3:EPIPE", aurora, "Senden fehlgeschlagen (0xe000404f).", "SGS"},
      {"unplug:3", aurora, "Senden fehlgeschlagen (0xe00002c0).", "SG"},
      {"set:2:EPIPE", verify, "Senden fehlgeschlagen (0xe000404f).", "SG"},
      {"get:2:EIO", verify, "Bestätigung fehlgeschlagen (0xe00002ca).", "SGSS"},
      {"get:9:EIO", verify, "same", "SGSSG"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    test::SimMount sim({"--halvern", "--fail", row.fault});
    ZEPA_REQUIRE_SIM(sim);
    EXPECT_EQ(outcomeOf(sim, row.run), row.outcome);
    EXPECT_EQ(kinds(sim.readLog()), row.kinds);
  }
}

TEST(HalvernDeviceOnSim, Discovery) {
  test::SimMount both({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(both);
  EXPECT_TRUE(HalvernDevice::isConnected(hid::makeHidrawBackend(both.root())));
  EXPECT_EQ(outcomeOf(both, query), "14");

  test::SimMount zepaOnly({"--zepa"});
  ZEPA_REQUIRE_SIM(zepaOnly);
  EXPECT_FALSE(HalvernDevice::isConnected(hid::makeHidrawBackend(zepaOnly.root())));
  EXPECT_EQ(outcomeOf(zepaOnly, query), "Halvern Corvane Pro wurde nicht per USB gefunden.");
}

}  // namespace
}  // namespace zepa
