#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "protocol/zepa_device.hpp"
#include "tests/support/sim_mount.hpp"

// The device through a mounted zepa-sim and the real hidraw backend: what the simulator's
// log and state file show is what reached the kernel interface.
namespace zepa {
namespace {

using namespace std::chrono_literals;

const LightingConfig rolling{LightingMode::rolling, {0, 210, 255}, 5, 3, 0, true};

struct Case {
  const char* name;
  std::function<void(ZEPADevice&)> run;
  std::string sets;     // SETs and GETs of the configuration node, in order: "S" or "G"
  std::size_t which;    // a report written, counted from 0,
  std::string data;     // and its bytes
  const char* pointer;  // where in the state file the result shows
  std::string state;
};

const Case cases[] = {
    {"setLighting", [](ZEPADevice& d) { d.setLighting(rolling); }, "SGSGSSGS", 2,
     "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55", "/lighting/report",
     R"("0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55")"},
    {"syncClock", [](ZEPADevice& d) { d.syncClock({}, 1); }, "SGSGSGSG", 2,
     "00 01 5a 19 03 09 0e 05 07 00 00 @62 aa 55", "/clock",
     R"({"profile":1,"year":2025,"month":3,"day":9,"hour":14,"minute":5,"second":7,"weekday":0})"},
    {"setPerKeyRGB",
     [](ZEPADevice& d) {
       d.setPerKeyRGB({{142, {1, 2, 3}}}, 3);
     },
     "SGSGSSGSSGSGSSSSSSSSSGSGSG", 2, "80 @9 03 @14 aa 55", "/perKeyColors",
     R"([{"index":142,"key":142,"red":1,"green":2,"blue":3}])"},
    {"setRemaps",
     [](ZEPADevice& d) {
       d.setRemaps({{55, RemapAction::key, 0, 0x29, 0}}, true);
     },
     "SGSGSSSSSSSSSSGSG", 5, "@28 02 00 29 00", "/fnRemaps",
     R"([{"index":55,"action":2,"param1":0,"param2":41,"param3":0}])"},
};

// Feature calls on the configuration node ("S" or "G") and the reports written to it.
struct Traffic {
  std::string kinds;
  std::vector<std::string> sets;
};
Traffic traffic(const test::SimMount& sim) {
  Traffic out;
  for (const sim::LogEntry& e : sim.readLog()) {
    if (e.node != "hidraw2") continue;  // keyboard and consumer interfaces come first
    if (e.op == "SET") out.sets.push_back(hexBytes(e.bytes));
    out.kinds += e.op == "SET" ? "S" : "G";
  }
  return out;
}

// "00 01 @62 aa 55": hex bytes, "@N" continues at offset N, zero-padded to a whole report.
std::string report(std::string_view text) {
  std::vector<std::uint8_t> out(64, 0);
  std::istringstream in{std::string(text)};
  std::size_t at = 0;
  for (std::string token; in >> token;) {
    if (token[0] == '@')
      at = std::stoul(token.substr(1));
    else
      out.at(at++) = static_cast<std::uint8_t>(std::stoul(token, nullptr, 16));
  }
  return hexBytes(out);
}

TEST(ZEPADeviceSim, CommandsReachTheFirmware) {
  for (const Case& c : cases) {
    test::SimMount sim({"--zepa"});
    ZEPA_REQUIRE_SIM(sim);
    std::vector<std::chrono::microseconds> pauses;
    ZEPADevice device(
        hid::makeHidrawBackend(sim.root()), [&](auto d) { pauses.push_back(d); },
        [](auto) { return DateParts{2025, 3, 9, 14, 5, 7, 1}; });
    c.run(device);

    const Traffic sent = traffic(sim);
    EXPECT_EQ(sent.kinds, c.sets) << c.name;
    EXPECT_EQ(pauses, std::vector(c.sets.size(), std::chrono::microseconds(35ms))) << c.name;
    ASSERT_GT(sent.sets.size(), c.which) << c.name;
    EXPECT_EQ(sent.sets[c.which], report(c.data)) << c.name;
    const nlohmann::json state = sim.stateJson("zepa");
    EXPECT_EQ(state.at(nlohmann::json::json_pointer(c.pointer)), nlohmann::json::parse(c.state))
        << c.name << "\n"
        << state.dump();
  }
}

// A keyboard pulled out mid-sequence: the write that finds it gone is the last call made.
TEST(ZEPADeviceSim, UnplugAndRefusedOpen) {
  const struct {
    std::string fault;
    ZEPAError::Kind kind;
    hid::IOReturn status;
    std::string kinds;  // calls that reached the log
  } faults[] = {
      {"unplug:5", ZEPAError::Kind::writeFailed, hid::kIOReturnNoDevice, "SGSG"},
      {"get:2:nak", ZEPAError::Kind::acknowledgement, 0, "SGSG"},
      {"open:EACCES", ZEPAError::Kind::openFailed, hid::kIOReturnNotPermitted, ""},
  };
  for (const auto& f : faults) {
    test::SimMount sim({"--zepa", "--fail", f.fault});
    ZEPA_REQUIRE_SIM(sim);
    ZEPADevice device(hid::makeHidrawBackend(sim.root()), [](auto) {});
    try {
      device.setLighting(rolling);
      ADD_FAILURE() << f.fault << ": no error";
    } catch (const ZEPAError& e) {
      EXPECT_EQ(e.kind(), f.kind) << f.fault << ": " << e.description();
      EXPECT_EQ(e.status(), f.status) << f.fault;
    }
    EXPECT_EQ(traffic(sim).kinds, f.kinds) << f.fault;
    EXPECT_EQ(sim.stateJson("zepa").at("applied"), 0) << f.fault;
  }
}

}  // namespace
}  // namespace zepa
