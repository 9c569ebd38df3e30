#include "protocol/zepa_device.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "hid_traffic.hpp"

namespace zepa {
namespace {

using namespace zepa::testing;
using Action = std::function<void(ZEPADevice&)>;

// "SET 04 18; GET; SET*7; GET unchecked" to the trace it must give: one line per call, each
// followed by its pause. SET*N: N zero reports.
std::vector<std::string> steps(const std::string& script) {
  std::vector<std::string> out;
  std::istringstream in(script);
  for (std::string step; std::getline(in >> std::ws, step, ';');) {
    const std::size_t count = step.starts_with("SET*") ? std::stoul(step.substr(4)) : 1;
    const std::string report = step.starts_with("SET*") ? "" : step.substr(3);
    for (std::size_t i = 0; i < count; ++i) {
      out.push_back(step.starts_with("GET") ? "GET 64" + report
                                            : "SET " + sparse(bytes(report, 64)));
      out.push_back("pause 35000");
    }
  }
  return out;
}

const DateParts sunday{2025, 3, 9, 14, 5, 7, 1};
const LightingConfig rolling{LightingMode::rolling, {0, 210, 255}, 5, 3, 0, true};
const LightingConfig offWithSettings{LightingMode::off, {1, 2, 3}, 4, 5, 1, true};
// Caps (55) to Esc's usage 29, Esc (1) to Ctrl L's modifier bit.
const std::vector<KeyRemap> capsAndEsc = {{55, RemapAction::key, 0, 0x29, 0},
                                          {1, RemapAction::key, 1, 0, 0}};
// Esc red, 142 the last slot, 143 and 0 dropped, the later 55 wins.
const std::vector<KeyColor> perKey = {{1, {255, 0, 0}}, {142, {1, 2, 3}}, {143, {9, 9, 9}},
                                      {0, {7, 7, 7}},   {55, {1, 1, 1}},  {55, {2, 3, 4}}};

struct Rig : Trace {
  DateParts date = sunday;
  ZEPADevice device{backend, sleeper(), [this](auto) { return date; }};
};

// A call, the trace it must give and the error it ends in ("" none).
struct Case {
  const char* name;
  std::string script, error;
  Action run;
  DateParts date = sunday;
};

const std::string badLighting = "Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.";
const std::string badDate = "Datum wird nicht unterstützt.";
Action light(LightingMode mode, std::uint8_t brightness, std::uint8_t speed, std::uint8_t dir) {
  return [=](auto& d) { d.setLighting({mode, {}, brightness, speed, dir, 0}); };
}
const Action syncClock = [](auto& d) { d.syncClock({}, 1); };
const std::string clockHeader = "SET 04 18; GET; SET 04 28 00 00 00 00 00 00 01; GET;";
const std::string lastClock =
    clockHeader + "SET 00 01 5a ff 03 09 0e 05 3c 00 06 @62 aa 55; GET; SET 04 02; GET";

const Case cases[] = {
    {"setLighting rolling",
     "SET 04 18; GET; SET 04 13 00 00 00 00 00 00 01; GET;"
     "SET 0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55; SET 04 02; GET; SET 04 f0",
     "", [](auto& d) { d.setLighting(rolling); }},
    {"setLighting off drops the settings",
     "SET 04 18; GET; SET 04 13 @8 01; GET; SET 00 @14 aa 55; SET 04 02; GET; SET 04 f0", "",
     [](auto& d) { d.setLighting(offWithSettings); }},
    {"syncClock Sunday 9 March 2025 14:05:07",
     clockHeader + "SET 00 01 5a 19 03 09 0e 05 07 00 00 @62 aa 55; GET; SET 04 02; GET", "",
     syncClock},
    {"setPerKeyRGB",
     "SET 04 18; GET; SET 04 13 @8 01; GET; SET 80 @9 03 @14 aa 55; SET 04 02; GET; SET 04 f0;"
     "SET 04 18; GET; SET 04 23 00 00 00 00 00 00 09; GET;"
     "SET @4 01 ff 00 00; SET*2; SET @28 37 02 03 04; SET*4; SET @56 8e 01 02 03 @62 aa 55;"
     "GET unchecked; SET 04 02; GET; SET 04 f0; GET",
     "", [](auto& d) { d.setPerKeyRGB(perKey, 3); }},
    {"setRemaps base",
     "SET 04 18; GET; SET 04 11 00 00 00 00 00 00 09; GET;"
     "SET @4 02 01 00 00; SET*2; SET @28 02 00 29 00; SET*4; SET @62 aa 55;"
     "SET 04 02; GET; SET 04 f0; GET",
     "", [](auto& d) { d.setRemaps(capsAndEsc, false); }},
    {"setRemaps Fn, empty list resets",
     "SET 04 18; GET; SET 04 27 00 00 00 00 00 00 09; GET; SET*8; SET @62 aa 55;"
     "SET 04 02; GET; SET 04 f0; GET",
     "", [](auto& d) { d.setRemaps({}, true); }},
    // The transport alone, which leaves opening to the commands.
    {"70 bytes cut to 64", "SET @63 11", "",
     [](auto& d) { d.open(), d.send(bytes("@63 11 22", 70), false); }},
    {"130 bytes", "SET 01; SET*1; SET 00 02", "",
     [](auto& d) { d.open(), d.sendPackets(bytes("01 @129 02", 130), false); }},
    {"no data, still one read", "GET unchecked", "",
     [](auto& d) { d.open(), d.sendPackets({}, true); }},
    // Settings are checked before anything is opened or sent.
    {"brightness 6", "", badLighting, light(LightingMode::rolling, 6, 0, 0)},
    {"speed 6", "", badLighting, light(LightingMode::rolling, 5, 6, 0)},
    {"direction 2", "", badLighting, light(LightingMode::rolling, 5, 5, 2)},
    {"off, brightness 9", "", badLighting, light(LightingMode::off, 9, 0, 0)},
    {"per-key brightness 6", "", "Helligkeit muss 0–5 sein.",
     [](auto& d) { d.setPerKeyRGB({}, 6); }},
    {"year 1999", "", badDate, syncClock, {1999, 3, 9, 14, 5, 7, 1}},
    {"year 2256", "", badDate, syncClock, {2256, 3, 9, 14, 5, 7, 1}},
    {"calendar gives nothing", "", badDate, syncClock, DateParts{}},
    // An out-of-range part from the calendar must not wrap into a plausible byte.
    {"month 13", "", badDate, syncClock, {2025, 13, 9, 14, 5, 7, 1}},
    {"weekday 0", "", badDate, syncClock, {2025, 3, 9, 14, 5, 7, 0}},
    {"minute -1", "", badDate, syncClock, {2025, 3, 9, 14, -1, 7, 1}},
    {"year 2255, leap second, Saturday", lastClock, "", syncClock, {2255, 3, 9, 14, 5, 60, 7}},
};

TEST(ZEPADevice, EveryCallPausesAndAnyFaultStopsTheSequence) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectTraceAndEachFaultStops<Rig>(
        steps(c.script),
        [&](Rig& rig) {
          rig.date = c.date;
          return failureOf([&] { c.run(rig.device); });
        },
        c.error);
  }
}

TEST(ZEPADevice, FirmwareHoldsWhatWasAsked) {
  Rig rig;
  const sim::ZepaFirmware& firmware = rig.backend->zepa();
  auto held = [](const auto& array) { return sparse({array.begin(), array.end()}); };
  rig.device.setLighting(rolling);
  EXPECT_EQ(held(*firmware.lighting()), sparse(bytes("0b 00 d2 ff @8 01 05 03 @14 aa 55", 64)));
  rig.device.syncClock({}, 1);
  const auto c = *firmware.clock();
  EXPECT_EQ(std::vector({c.profile, c.year, c.month, c.day, c.hour, c.minute, c.second, c.weekday}),
            std::vector({1, 2025, 3, 9, 14, 5, 7, 0}));
  rig.device.setPerKeyRGB({{1, {255, 0, 0}}, {94, {0, 0, 9}}}, 4);
  EXPECT_EQ(held(firmware.perKeyBlock()),
            sparse(bytes("@4 01 ff 00 00 @376 5e 00 00 09 @574 aa 55", 576)));
  EXPECT_EQ(held(*firmware.lighting()), sparse(bytes("80 @9 04 @14 aa 55", 64)));
  rig.device.setRemaps({{55, RemapAction::key, 0, 0x29, 0}}, true);
  EXPECT_EQ(held(firmware.remapBlock(true)), sparse(bytes("@220 02 00 29 00 @574 aa 55", 576)));
  EXPECT_EQ(held(firmware.remapBlock(false)), sparse(Bytes(576)));
  EXPECT_EQ(firmware.rejectedCount(), 0);
}

// A read-back acknowledges with byte 3 = 01 or an echo of the request's first three bytes, and
// needs four bytes; the error keeps the whole answer, zeros beyond what came back. Rows: the
// answer, the length it admits to, the error's payload.
TEST(ZEPADevice, Acknowledgement) {
  const std::tuple<const char*, std::size_t, const char*> rows[] = {
      {"99 99 99 01", 64, ""},
      {"04 13 00 7f", 64, ""},
      {"04 13 00 00", 4, ""},
      {"04 13 00 01 ee ee", 3, "04 13 00"},
      {"04 19 00 00 ee", 64, "04 19 00 00 ee"}};
  for (const auto& [answer, length, payload] : rows) {
    auto backend = canned({{0xFF13, 64, {bytes(answer, 64)}, length}});
    std::string error;
    try {
      ZEPADevice(backend, [](auto) {}).lightingInit();
    } catch (const ZEPAError& e) {
      error = e.kind() == ZEPAError::Kind::acknowledgement ? hexBytes(e.response()) : e.what();
    }
    EXPECT_EQ(error, *payload ? hexBytes(bytes(payload, 64)) : "") << answer << " / " << length;
  }
}

// The first vendor-page interface with 64-byte reports; opened once, closed at the end.
TEST(ZEPADevice, DiscoveryAndConnection) {
  const std::string none = "Konfigurationsschnittstelle des Keyboards nicht gefunden.";
  const std::pair<std::vector<CannedBackend::Interface>, std::string> rows[] = {
      {{}, "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden."},
      {{{1, 0}, {0x0C, 0}}, none},
      {{{0xFF13, 65}, {0xFF12, 64}, {{}, 64}, {0xFF13, {}}}, none},
      {{{1, 0}, {0xFF13, 64}, {0xFF13, 64}}, "1 open, 1 close, 1 open, 1 close"}};
  for (const auto& [interfaces, outcome] : rows) {
    auto backend = canned(interfaces);
    EXPECT_EQ(ZEPADevice::isConnected(backend), outcome.ends_with("close")) << outcome;
    const std::string failure = failureOf([&] {
      ZEPADevice device(backend, [](auto) {});
      device.open(), device.open(), device.close(), device.open();
    });
    EXPECT_EQ(failure.empty() ? backend->events : failure, outcome);
  }
  EXPECT_FALSE(ZEPADevice::isConnected(nullptr));
  Rig rig;
  rig.backend->addFault("open:EACCES");
  EXPECT_TRUE(failureOf([&] { rig.device.setRemaps({}, false); }).starts_with("Linux verweigert"));
  EXPECT_FALSE(rig.device.isOpen());
}

}  // namespace
}  // namespace zepa
