#include "protocol/zepa_device.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "canned_backend.hpp"
#include "protocol/zepa_key_map.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa {
namespace {

using namespace zepa::testing;
using namespace std::chrono_literals;
using Action = std::function<void(ZEPADevice&)>;

// "SET 04 18; GET; SET*7; GET unchecked" to one line per feature call: "SET <report>", "GET"
// and, with notes, "GET unchecked" for a read whose answer is not examined. SET*N: N zero
// reports.
std::vector<std::string> steps(const std::string& script, bool notes = true) {
  std::vector<std::string> out;
  std::istringstream in(script);
  for (std::string step; std::getline(in >> std::ws, step, ';');) {
    if (step.starts_with("GET")) {
      out.push_back(notes ? step : "GET");
    } else if (step.starts_with("SET*")) {
      out.insert(out.end(), std::stoul(step.substr(4)), "SET " + sparse(Bytes(64)));
    } else {
      out.push_back("SET " + sparse(bytes(step.substr(3), 64)));
    }
  }
  return out;
}

const DateParts sunday{2025, 3, 9, 14, 5, 7, 1};
const LightingConfig rolling{LightingMode::rolling, {0, 210, 255}, 5, 3, 0, true};

struct Rig {
  std::shared_ptr<sim::InProcessBackend> backend = std::make_shared<sim::InProcessBackend>();
  std::vector<std::size_t> pauses;  // feature calls made before each pause
  DateParts date = sunday;
  ZEPADevice device{backend,
                    [this](std::chrono::microseconds d) {
                      EXPECT_EQ(d, 35ms);
                      pauses.push_back(backend->log().size());
                    },
                    [this](auto) { return date; }};
  std::vector<std::string> log() const {
    std::vector<std::string> out;
    for (const sim::LogEntry& e : backend->log())
      out.push_back(e.op == "GET" ? "GET" : e.op + " " + sparse(e.bytes));
    return out;
  }
};

const ZEPAKey& key(const char* name) {
  return *ZEPAKeyMap::key(std::string_view(name));
}

// A call and what it must give: the feature calls it makes, or the error it ends in.
struct Case {
  const char* name;
  Action run;
  std::string text;
  DateParts date = sunday;
};

const Case commands[] = {
    {"setLighting rolling", [](ZEPADevice& d) { d.setLighting(rolling); },
     "SET 04 18; GET; SET 04 13 00 00 00 00 00 00 01; GET;"
     "SET 0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55; SET 04 02; GET; SET 04 f0"},
    {"setLighting off drops the settings",
     [](ZEPADevice& d) {
       d.setLighting({LightingMode::off, {1, 2, 3}, 4, 5, 1, true});
     },
     "SET 04 18; GET; SET 04 13 @8 01; GET; SET 00 @14 aa 55; SET 04 02; GET; SET 04 f0"},
    {"syncClock Sunday 9 March 2025 14:05:07", [](ZEPADevice& d) { d.syncClock({}, 1); },
     "SET 04 18; GET; SET 04 28 00 00 00 00 00 00 01; GET;"
     "SET 00 01 5a 19 03 09 0e 05 07 00 00 @62 aa 55; GET; SET 04 02; GET"},
    {"setPerKeyRGB: Esc red, 142 last, 143 and 0 dropped, later 55 wins",
     [](ZEPADevice& d) {
       d.setPerKeyRGB({{1, {255, 0, 0}},
                       {142, {1, 2, 3}},
                       {143, {9, 9, 9}},
                       {0, {7, 7, 7}},
                       {55, {1, 1, 1}},
                       {55, {2, 3, 4}}},
                      3);
     },
     "SET 04 18; GET; SET 04 13 @8 01; GET; SET 80 @9 03 @14 aa 55; SET 04 02; GET; SET 04 f0;"
     "SET 04 18; GET; SET 04 23 00 00 00 00 00 00 09; GET;"
     "SET @4 01 ff 00 00; SET*2; SET @28 37 02 03 04; SET*4; SET @56 8e 01 02 03 @62 aa 55;"
     "GET unchecked; SET 04 02; GET; SET 04 f0; GET"},
    {"setRemaps base: Caps to Esc's usage, Esc to Ctrl L",
     [](ZEPADevice& d) {
       const std::uint8_t ctrl = *ZEPAKeyMap::modifierBit(key("Ctrl L").hid);
       d.setRemaps({{key("Caps").index, RemapAction::key, 0, key("Esc").hid, 0},
                    {key("Esc").index, RemapAction::key, ctrl, 0, 0}},
                   false);
     },
     "SET 04 18; GET; SET 04 11 00 00 00 00 00 00 09; GET;"
     "SET @4 02 01 00 00; SET*2; SET @28 02 00 29 00; SET*4; SET @62 aa 55;"
     "SET 04 02; GET; SET 04 f0; GET"},
    {"setRemaps Fn, empty list resets", [](ZEPADevice& d) { d.setRemaps({}, true); },
     "SET 04 18; GET; SET 04 27 00 00 00 00 00 00 09; GET; SET*8; SET @62 aa 55;"
     "SET 04 02; GET; SET 04 f0; GET"},
    // The transport alone, which leaves opening to the commands.
    {"70 bytes cut to 64", [](ZEPADevice& d) { d.open(), d.send(bytes("@63 11 22", 70), false); },
     "SET @63 11"},
    {"130 bytes in three reports",
     [](ZEPADevice& d) { d.open(), d.sendPackets(bytes("01 @129 02", 130), false); },
     "SET 01; SET*1; SET 00 02"},
    {"no data, still one read", [](ZEPADevice& d) { d.open(), d.sendPackets({}, true); },
     "GET unchecked"},
};

TEST(ZEPADevice, SequencesPauseAfterEveryCall) {
  for (const Case& c : commands) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.run(rig.device);
    const std::vector<std::string> expected = steps(c.text, false);
    EXPECT_EQ(rig.log(), expected);
    std::vector<std::size_t> afterEveryCall(expected.size());
    std::iota(afterEveryCall.begin(), afterEveryCall.end(), 1);
    EXPECT_EQ(rig.pauses, afterEveryCall);
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

// A fault at any call ends the sequence with its error: no pause after the failed call and
// nothing sent later.
TEST(ZEPADevice, FaultAtEveryStepEndsTheSequence) {
  for (const Case& c : commands) {
    const std::vector<std::string> all = steps(c.text, false);
    for (const Fault& f : faultsAlong(steps(c.text))) {
      SCOPED_TRACE(std::string(c.name) + ", " + f.fault);
      Rig rig;
      rig.backend->addFault(f.fault);
      const std::string failure = failureOf([&] { c.run(rig.device); });
      EXPECT_TRUE(endsIn(failure, f.error)) << failure;
      if (f.error.empty()) continue;
      EXPECT_EQ(rig.pauses.size(), f.call - 1);
      // The failed call itself may or may not reach the log; nothing after it may.
      const std::vector<std::string> log = rig.log();
      ASSERT_TRUE(log.size() == f.call || log.size() == f.call - 1) << log.size();
      EXPECT_EQ(log, std::vector(all.begin(), all.begin() + log.size()));
    }
  }
}

TEST(ZEPADevice, RejectsBadSettingsBeforeOpening) {
  const std::string lighting = "Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.";
  const std::string date = "Datum wird nicht unterstützt.";
  auto light = [](LightingMode mode, std::uint8_t brightness, std::uint8_t speed,
                  std::uint8_t direction) -> Action {
    return [=](ZEPADevice& d) { d.setLighting({mode, {}, brightness, speed, direction, 0}); };
  };
  const Action clock = [](ZEPADevice& d) { d.syncClock({}, 1); };
  auto on = [](std::optional<int> DateParts::*part, std::optional<int> value) {
    DateParts parts = sunday;
    parts.*part = value;
    return parts;
  };
  const Case cases[] = {
      // text: the error, "" when accepted
      {"brightness 6", light(LightingMode::rolling, 6, 0, 0), lighting},
      {"speed 6", light(LightingMode::rolling, 5, 6, 0), lighting},
      {"direction 2", light(LightingMode::rolling, 5, 5, 2), lighting},
      {"off, brightness 9", light(LightingMode::off, 9, 0, 0), lighting},
      {"per-key brightness 6", [](ZEPADevice& d) { d.setPerKeyRGB({}, 6); },
       "Helligkeit muss 0–5 sein."},
      {"year 1999", clock, date, on(&DateParts::year, 1999)},
      {"year 2256", clock, date, on(&DateParts::year, 2256)},
      {"year 2255", clock, "", on(&DateParts::year, 2255)},
      {"calendar gives nothing", clock, date, DateParts{}},
      // An out-of-range part from the calendar must not wrap into a plausible byte.
      {"month 13", clock, date, on(&DateParts::month, 13)},
      {"weekday 0", clock, date, on(&DateParts::weekday, 0)},
      {"minute -1", clock, date, on(&DateParts::minute, -1)},
      {"leap second", clock, "", on(&DateParts::second, 60)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.date = c.date;
    EXPECT_EQ(failureOf([&] { c.run(rig.device); }), c.text);
    if (c.text.empty()) continue;
    EXPECT_FALSE(rig.device.isOpen());
    EXPECT_TRUE(rig.backend->log().empty());
  }
}

TEST(ZEPADevice, Acknowledgement) {
  const struct {
    const char* answer;
    std::size_t length;
    const char* payload;  // the whole answer, zeros beyond what came back; empty: accepted
  } cases[] = {
      {"99 99 99 01", 64, ""},  // byte 3 alone acknowledges
      {"04 13 00 7f", 64, ""},  // so does the echo of 04 13 00 alone
      {"04 13 00 00", 4, ""},
      {"04 13 00 01 ee ee", 3, "04 13 00"},  // three bytes are too few, echo or not
      {"04 19 00 00 ee", 64, "04 19 00 00 ee"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.answer) + " / " + std::to_string(c.length));
    auto backend = std::make_shared<CannedBackend>();
    backend->interfaces = {{0xFF13, 64, {bytes(c.answer, 64)}, c.length}};
    std::string payload;
    try {
      ZEPADevice(backend, [](auto) {}).lightingInit();
    } catch (const ZEPAError& e) {
      payload = e.kind() == ZEPAError::Kind::acknowledgement ? hexBytes(e.response()) : e.what();
    }
    EXPECT_EQ(payload, *c.payload ? hexBytes(bytes(c.payload, 64)) : "");
  }
}

TEST(ZEPADevice, DiscoveryTakesTheFirstConfigurationInterface) {
  const std::string none = "Konfigurationsschnittstelle des Keyboards nicht gefunden.";
  const struct {
    std::vector<CannedBackend::Interface> interfaces;
    std::string outcome;  // the first event, or the error
  } cases[] = {
      {{}, "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden."},
      {{{1, 0}, {0x0C, 0}}, none},
      {{{0xFF13, 65}, {0xFF12, 64}, {{}, 64}, {0xFF13, {}}}, none},
      {{{1, 0}, {0xFF13, 64}, {0xFF13, 64}}, "1 open"},
  };
  for (const auto& c : cases) {
    auto backend = std::make_shared<CannedBackend>();
    backend->interfaces = c.interfaces;
    const std::string failure = failureOf([&] { ZEPADevice(backend, [](auto) {}).open(); });
    EXPECT_EQ(failure.empty() ? backend->events.at(0) : failure, c.outcome);
    EXPECT_EQ(ZEPADevice::isConnected(backend), failure.empty()) << c.outcome;
  }
  EXPECT_FALSE(ZEPADevice::isConnected(nullptr));
}

TEST(ZEPADevice, OpensOnceAndClosesOnDestruction) {
  auto backend = std::make_shared<CannedBackend>();
  backend->interfaces = {{0xFF13, 64}};
  backend->openStatus = hid::kIOReturnNotPermitted;
  {
    ZEPADevice device(backend, [](auto) {});
    EXPECT_TRUE(failureOf([&] { device.setRemaps({}, false); }).starts_with("Linux verweigert"));
    EXPECT_FALSE(device.isOpen());
    backend->openStatus = hid::kIOReturnSuccess;
    device.close();
    device.open();
    device.open();
    device.close();
    device.open();
  }
  EXPECT_EQ(backend->events,
            std::vector<std::string>({"0 open", "0 open", "0 close", "0 open", "0 close"}));
}

}  // namespace
}  // namespace zepa
