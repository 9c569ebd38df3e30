// SPDX-License-Identifier: MIT
#include "protocol/zepa_device.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "tests/support/hid_traffic.hpp"

namespace zepa {
namespace {

using test::PrintTo;

using namespace zepa::test;
using Action = std::function<void(ZEPADevice&)>;

// The ZEPA's traffic: 64-byte reports, each write and each read followed by a pause (always
// 35 ms, pinned once below).
Traffic set(const std::string& head, const std::map<std::size_t, std::string>& at = {}) {
  return {{"SET " + shown(report(head, 64, at))}, {"pause"}};
}
Traffic zeroReports(int count) {
  Traffic out;
  for (int i = 0; i < count; ++i) out = out + set("");
  return out;
}
Traffic get() {
  return {{"GET 64"}, {"pause"}};
}
Traffic getUnchecked() {
  return {{"GET 64", false}, {"pause"}};
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
  Rig() { pauseLengths = false; }
  DateParts date = sunday;
  ZEPADevice device{backend, sleeper(), [this](auto) { return date; }};
};

const Traffic begin = set("04 18") + get();
const Traffic applyAndEnd = set("04 02") + get() + set("04 f0");
const Traffic lightingHeader = set("04 13 00 00 00 00 00 00 01") + get();
const Traffic clockHeader = begin + set("04 28 00 00 00 00 00 00 01") + get();

// A command, the traffic it must give and the error it ends in ("" none).
struct Case {
  const char* name;
  Traffic traffic;
  std::string error;
  Action run;
  DateParts date = sunday;
};

const std::string badLighting = "Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.";
const std::string badDate = "Datum wird nicht unterstützt.";
Action light(LightingMode mode, std::uint8_t brightness, std::uint8_t speed, std::uint8_t dir) {
  return [=](auto& d) { d.setLighting({mode, {}, brightness, speed, dir, 0}); };
}
const Action syncClock = [](auto& d) { d.syncClock({}, 1); };
Action perKeyAt(std::uint8_t brightness) {
  return [=](auto& d) { d.setPerKeyRGB({}, brightness); };
}

const Case cases[] = {
    {"setLighting rolling",
     begin + lightingHeader + set("0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55") + applyAndEnd,
     "", [](auto& d) { d.setLighting(rolling); }},
    {"setLighting off drops the settings",
     begin + lightingHeader + set("00", {{14, "aa 55"}}) + applyAndEnd, "",
     [](auto& d) { d.setLighting(offWithSettings); }},
    {"syncClock Sunday 9 March 2025 14:05:07",
     clockHeader + set("00 01 5a 19 03 09 0e 05 07 00 00", {{62, "aa 55"}}) + get() + set("04 02") +
         get(),
     "", syncClock},
    {"syncClock year 2255, leap second, Saturday",
     clockHeader + set("00 01 5a ff 03 09 0e 05 3c 00 06", {{62, "aa 55"}}) + get() + set("04 02") +
         get(),
     "",
     syncClock,
     {2255, 3, 9, 14, 5, 60, 7}},
    {"setPerKeyRGB",
     begin + lightingHeader + set("80", {{9, "03"}, {14, "aa 55"}}) + applyAndEnd + begin +
         set("04 23 00 00 00 00 00 00 09") + get() + set("", {{4, "01 ff 00 00"}}) +
         zeroReports(2) + set("", {{28, "37 02 03 04"}}) + zeroReports(4) +
         set("", {{56, "8e 01 02 03"}, {62, "aa 55"}}) + getUnchecked() + set("04 02") + get() +
         set("04 f0") + get(),
     "", [](auto& d) { d.setPerKeyRGB(perKey, 3); }},
    {"setRemaps base",
     begin + set("04 11 00 00 00 00 00 00 09") + get() + set("", {{4, "02 01 00 00"}}) +
         zeroReports(2) + set("", {{28, "02 00 29 00"}}) + zeroReports(4) +
         set("", {{62, "aa 55"}}) + set("04 02") + get() + set("04 f0") + get(),
     "", [](auto& d) { d.setRemaps(capsAndEsc, false); }},
    // Settings are checked before anything is opened or sent.
    {"brightness 6", {}, badLighting, light(LightingMode::rolling, 6, 0, 0)},
    {"direction 2", {}, badLighting, light(LightingMode::rolling, 5, 5, 2)},
    {"per-key brightness 6", {}, "Helligkeit muss 0–5 sein.", perKeyAt(6)},
    // An out-of-range part from the calendar must not wrap into a plausible byte.
    {"year 2256", {}, badDate, syncClock, {2256, 3, 9, 14, 5, 7, 1}},
    {"calendar gives nothing", {}, badDate, syncClock, DateParts{}},
};

class ZEPACommand : public ::testing::TestWithParam<Case> {};

// The reports byte for byte with a pause after each, and a fault at any call ends the command
// there with its error.
TEST_P(ZEPACommand, SendsItsReportsAndStopsAtAnyFault) {
  const Case& c = GetParam();
  expectTraceAndEachFaultStops<Rig>(
      c.traffic,
      [&](Rig& rig) {
        rig.date = c.date;
        return errorOf([&] { c.run(rig.device); });
      },
      c.error);
}

INSTANTIATE_TEST_SUITE_P(, ZEPACommand, ::testing::ValuesIn(cases),
                         [](const auto& info) { return testName(info.param.name); });

TEST(ZEPADevice, EveryPauseIsThirtyFiveMilliseconds) {
  Rig rig;
  rig.device.setPerKeyRGB(perKey, 3);
  ASSERT_FALSE(rig.pauses.empty());
  EXPECT_EQ(std::ranges::count(rig.pauses, std::chrono::microseconds(35000)),
            std::ssize(rig.pauses));
}

// A read-back acknowledges with byte 3 = 01 or an echo of the request's first three bytes (the
// first request is 04 18 00), and needs four bytes; the error keeps the whole answer, zeros
// beyond what came back.
struct Acknowledgement {
  const char* name;
  std::string answer;
  std::size_t claimed;  // the length the backend admits to
  std::string refused;  // the refused answer's bytes, "" when it is taken
};

class ZEPAAcknowledgement : public ::testing::TestWithParam<Acknowledgement> {};

TEST_P(ZEPAAcknowledgement, DecidesByByteThreeOrTheEcho) {
  const Acknowledgement& row = GetParam();
  // Later reads acknowledge, so only the first answer decides.
  auto backend =
      canned({{0xFF13, 64, {report(row.answer, 64), report("00 00 00 01", 64)}, row.claimed}});
  const auto error = errorOf([&] { ZEPADevice(backend, [](auto) {}).setLighting(rolling); });
  if (row.refused.empty()) {
    EXPECT_FALSE(error.has_value()) << error->description();
    return;
  }
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(shown(error->response()), shown(report(row.refused, 64)));
}

INSTANTIATE_TEST_SUITE_P(
    , ZEPAAcknowledgement,
    ::testing::Values(Acknowledgement{"byte three 01", "99 99 99 01", 64, ""},
                      Acknowledgement{"echo of exactly four bytes", "04 18 00 00", 4, ""},
                      Acknowledgement{"three bytes", "04 18 00 01 ee ee", 3, "04 18 00"}),
    [](const auto& info) { return testName(info.param.name); });

// The first vendor-page interface with 64-byte reports, closed at the end; the others are never
// touched.
struct Discovery {
  const char* name;
  std::vector<CannedBackend::Interface> interfaces;
  std::string error;  // "" when interface 1 is taken
};

class ZEPADiscovery : public ::testing::TestWithParam<Discovery> {};

TEST_P(ZEPADiscovery, TakesTheConfigurationInterface) {
  const Discovery& row = GetParam();
  auto backend = canned(row.interfaces);
  EXPECT_EQ(ZEPADevice::isConnected(backend), row.error.empty());
  const std::string failure = failureOf([&] {
    ZEPADevice device(backend, [](auto) {});
    device.setLighting(rolling);
    device.setLighting(rolling);
  });
  ASSERT_EQ(failure, row.error);
  if (!row.error.empty()) return;
  std::vector<std::string> events;
  std::istringstream in(backend->events);
  for (std::string event; std::getline(in >> std::ws, event, ',');) events.push_back(event);
  EXPECT_EQ(events.back(), "1 close");
  EXPECT_TRUE(std::ranges::all_of(events, [](const auto& e) { return e.starts_with("1 "); }))
      << backend->events;
}

const std::string noInterface = "Konfigurationsschnittstelle des Keyboards nicht gefunden.";
const Bytes acknowledged = report("00 00 00 01", 64);

INSTANTIATE_TEST_SUITE_P(
    , ZEPADiscovery,
    ::testing::Values(
        Discovery{"no keyboard", {}, "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden."},
        Discovery{"wrong size or page",
                  {{0xFF13, 65}, {0xFF12, 64}, {{}, 64}, {0xFF13, {}}},
                  noInterface},
        Discovery{"first of two",
                  {{1, 0}, {0xFF13, 64, {acknowledged}}, {0xFF13, 64, {acknowledged}}},
                  ""}),
    [](const auto& info) { return testName(info.param.name); });

TEST(ZEPADevice, WithoutABackendThereIsNoKeyboard) {
  EXPECT_FALSE(ZEPADevice::isConnected(nullptr));
}

}  // namespace
}  // namespace zepa
