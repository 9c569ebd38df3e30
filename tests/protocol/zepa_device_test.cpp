#include "protocol/zepa_device.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <numeric>
#include <sstream>
#include <string>

#include "protocol/zepa_key_map.hpp"
#include "protocol/zepa_reports.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = ZEPAError::Kind;
using Action = std::function<void(ZEPADevice&)>;
using namespace std::chrono_literals;

// "04 18 @62 aa 55": hex bytes, "@N" continues at offset N; zero-padded to `length`.
Bytes bytes(std::string_view text, std::size_t length = 64) {
  Bytes out(length, 0);
  std::istringstream in{std::string(text)};
  std::size_t at = 0;
  for (std::string token; in >> token;) {
    if (token[0] == '@') {
      at = std::stoul(token.substr(1));
    } else {
      out.at(at++) = static_cast<std::uint8_t>(std::stoul(token, nullptr, 16));
    }
  }
  return out;
}

// "SET 04 18; GET; SET*7; GET unchecked" to one entry per feature call: "SET <64 bytes>",
// "GET" or "GET unchecked" (a read whose answer is not examined). SET*N is N zero reports.
std::vector<std::string> steps(const std::string& script) {
  std::vector<std::string> out;
  std::istringstream in(script);
  for (std::string step; std::getline(in >> std::ws, step, ';');) {
    if (step.starts_with("GET")) {
      out.push_back(step);
    } else if (step.starts_with("SET*")) {
      out.insert(out.end(), std::stoul(step.substr(4)), "SET " + hexBytes(Bytes(64, 0)));
    } else {
      out.push_back("SET " + hexBytes(bytes(step.substr(3))));
    }
  }
  return out;
}
std::vector<std::string> withoutNotes(std::vector<std::string> calls) {
  for (std::string& c : calls) c = c.substr(0, 3) == "GET" ? "GET" : c;
  return calls;
}

const DateParts sunday{2025, 3, 9, 14, 5, 7, 1};
const LightingConfig rolling{LightingMode::rolling, {0, 210, 255}, 5, 3, 0, true};

struct Rig {
  std::shared_ptr<sim::InProcessBackend> backend = std::make_shared<sim::InProcessBackend>();
  std::vector<std::size_t> pauses;  // feature calls made before each pause
  DateParts date = sunday;

  std::unique_ptr<ZEPADevice> device() {
    return std::make_unique<ZEPADevice>(
        backend,
        [this](std::chrono::microseconds d) {
          EXPECT_EQ(d, 35ms);
          pauses.push_back(backend->log().size());
        },
        [this](auto) { return date; });
  }
  std::vector<std::string> log() const {
    std::vector<std::string> out;
    for (const sim::LogEntry& e : backend->log()) {
      out.push_back(e.op == "GET" ? "GET" : e.op + " " + hexBytes(e.bytes));
    }
    return out;
  }
};

const ZEPAKey& key(const char* name) {
  return *ZEPAKeyMap::key(std::string_view(name));
}

const struct Command {
  const char* name;
  Action run;
  std::string script;
} commands[] = {
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
};

TEST(ZEPADevice, SequencesPauseAfterEveryCall) {
  for (const Command& c : commands) {
    Rig rig;
    c.run(*rig.device());
    const std::vector<std::string> expected = withoutNotes(steps(c.script));
    EXPECT_EQ(rig.log(), expected) << c.name;
    std::vector<std::size_t> afterEveryCall(expected.size());
    std::iota(afterEveryCall.begin(), afterEveryCall.end(), 1);
    EXPECT_EQ(rig.pauses, afterEveryCall) << c.name;
    EXPECT_EQ(rig.backend->zepa().rejectedCount(), 0) << c.name;
  }
}

TEST(ZEPADevice, FirmwareHoldsWhatWasAsked) {
  Rig rig;
  auto device = rig.device();
  const sim::ZepaFirmware& firmware = rig.backend->zepa();
  auto hex = [](const auto& array) { return hexBytes({array.begin(), array.end()}); };

  device->setLighting(rolling);
  EXPECT_EQ(hex(*firmware.lighting()), hexBytes(bytes("0b 00 d2 ff @8 01 05 03 @14 aa 55")));
  device->syncClock({}, 1);
  const auto clock = *firmware.clock();
  EXPECT_EQ(std::vector({clock.profile, clock.year, clock.month, clock.day, clock.hour,
                         clock.minute, clock.second, clock.weekday}),
            std::vector({1, 2025, 3, 9, 14, 5, 7, 0}));
  device->setPerKeyRGB({{1, {255, 0, 0}}, {94, {0, 0, 9}}}, 4);
  EXPECT_EQ(hex(firmware.perKeyBlock()),
            hexBytes(bytes("@4 01 ff 00 00 @376 5e 00 00 09 @574 aa 55", 576)));
  EXPECT_EQ(hex(*firmware.lighting()), hexBytes(bytes("80 @9 04 @14 aa 55")));
  device->setRemaps({{55, RemapAction::key, 0, 0x29, 0}}, true);
  EXPECT_EQ(hex(firmware.remapBlock(true)), hexBytes(bytes("@220 02 00 29 00 @574 aa 55", 576)));
  EXPECT_EQ(hex(firmware.remapBlock(false)), hexBytes(Bytes(576, 0)));
}

// Every fault that can hit feature call `call` (the `n`-th of its kind), and the error it
// must end in; nothing when the sequence completes.
std::map<std::string, std::optional<std::pair<Kind, hid::IOReturn>>> faultsAt(
    const std::string& step, std::size_t call, int n) {
  const std::string unplug = "unplug:" + std::to_string(call), at = std::to_string(n);
  if (!step.starts_with("GET")) {
    return {{"set:" + at + ":EPIPE", {{Kind::writeFailed, hid::kIOUSBPipeStalled}}},
            {unplug, {{Kind::writeFailed, hid::kIOReturnNoDevice}}}};
  }
  // The answer to a key block is not examined, so only a failed read stops it there.
  const auto unanswered =
      step == "GET unchecked" ? std::nullopt : std::optional{std::pair{Kind::acknowledgement, 0}};
  return {{"get:" + at + ":EIO", {{Kind::readFailed, hid::kIOReturnIOError}}},
          {"get:" + at + ":nak", unanswered},
          {"get:" + at + ":short:3", unanswered},
          {unplug, {{Kind::readFailed, hid::kIOReturnNoDevice}}}};
}

// A fault at call N ends the sequence there: no pause after it and nothing sent later.
TEST(ZEPADevice, FaultAtEveryStepEndsTheSequence) {
  for (const Command& c : commands) {
    const std::vector<std::string> script = steps(c.script), all = withoutNotes(script);
    int sets = 0, gets = 0;
    for (std::size_t call = 1; call <= all.size(); ++call) {
      const std::string& step = script[call - 1];
      const int n = step.starts_with("GET") ? ++gets : ++sets;
      for (const auto& [fault, error] : faultsAt(step, call, n)) {
        const std::string where = std::string(c.name) + ", " + fault;
        Rig rig;
        rig.backend->addFault(fault);
        try {
          c.run(*rig.device());
          EXPECT_FALSE(error) << where << ": no error";
          continue;
        } catch (const ZEPAError& e) {
          ASSERT_TRUE(error) << where << ": " << e.description();
          EXPECT_EQ(std::pair(e.kind(), e.status()), *error) << where << ": " << e.description();
        }
        EXPECT_EQ(rig.pauses.size(), call - 1) << where;
        // The failed call itself may or may not reach the log; nothing after it may.
        const std::vector<std::string> log = rig.log();
        EXPECT_TRUE(log.size() == call || log.size() == call - 1) << where;
        EXPECT_EQ(log, std::vector(all.begin(), all.begin() + log.size())) << where;
      }
    }
  }
}

TEST(ZEPADevice, TransportPadsCutsAndChunks) {
  const struct {
    const char* name;
    Action run;
    std::string script;
  } cases[] = {
      {"70 bytes cut to 64", [](ZEPADevice& d) { d.send(bytes("@63 11 22", 70), false); },
       "SET @63 11"},
      {"130 bytes in three reports",
       [](ZEPADevice& d) { d.sendPackets(bytes("01 @129 02", 130), false); },
       "SET 01; SET*1; SET 00 02"},
      {"no data, still one read", [](ZEPADevice& d) { d.sendPackets({}, true); }, "GET"},
  };
  for (const auto& c : cases) {
    Rig rig;
    auto device = rig.device();
    device->open();  // the transport leaves opening to the commands
    c.run(*device);
    EXPECT_EQ(rig.log(), steps(c.script)) << c.name;
    EXPECT_EQ(rig.pauses.size(), steps(c.script).size()) << c.name;
  }
}

TEST(ZEPADevice, RejectsBadSettingsBeforeOpening) {
  const std::string lighting = "Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.";
  const std::string date = "Datum wird nicht unterstützt.";
  auto light = [](LightingMode mode, std::uint8_t brightness, std::uint8_t speed,
                  std::uint8_t direction) {
    return [=](ZEPADevice& d) { d.setLighting({mode, {}, brightness, speed, direction, 0}); };
  };
  const Action clock = [](ZEPADevice& d) { d.syncClock({}, 1); };
  auto on = [](std::optional<int> DateParts::*part, std::optional<int> value) {
    DateParts parts = sunday;
    parts.*part = value;
    return parts;
  };
  const struct {
    const char* name;
    Action run;
    std::string message;  // empty: accepted
    DateParts date = sunday;
  } cases[] = {
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
      {"no weekday", clock, date, on(&DateParts::weekday, {})},
      // An out-of-range part from the calendar must not wrap into a plausible byte.
      {"month 13", clock, date, on(&DateParts::month, 13)},
      {"weekday 0", clock, date, on(&DateParts::weekday, 0)},
      {"minute -1", clock, date, on(&DateParts::minute, -1)},
      {"leap second", clock, "", on(&DateParts::second, 60)},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.date = c.date;
    auto device = rig.device();
    try {
      c.run(*device);
      EXPECT_EQ(c.message, "") << c.name << ": accepted";
      continue;
    } catch (const ZEPAError& e) {
      EXPECT_EQ(std::pair(e.kind(), e.description()), std::pair(Kind::invalid, c.message))
          << c.name;
    }
    EXPECT_FALSE(device->isOpen()) << c.name;
    EXPECT_TRUE(rig.backend->log().empty()) << c.name;
  }
}

// Interfaces the simulator cannot vary: "name:page:size" each, "-" leaves a property out.
// Every read fills the whole buffer but admits to `answerLength` bytes only.
struct FakeBackend : hid::Backend {
  struct Interface : hid::Device {
    std::map<std::string, std::int64_t, std::less<>> properties;
    std::string name;
    FakeBackend* owner = nullptr;
    std::optional<std::int64_t> property(std::string_view key) const override {
      auto it = properties.find(key);
      return it == properties.end() ? std::nullopt : std::optional{it->second};
    }
    hid::IOReturn open() override {
      owner->events.push_back("open " + name);
      return owner->openStatus;
    }
    void close() override { owner->events.push_back("close " + name); }
    hid::IOReturn setReport(hid::ReportType, std::uint8_t, std::span<const std::uint8_t>) override {
      return hid::kIOReturnSuccess;
    }
    hid::IOReturn getReport(hid::ReportType, std::uint8_t, std::span<std::uint8_t> buffer,
                            std::size_t& length) override {
      std::copy(owner->answer.begin(), owner->answer.end(), buffer.begin());
      length = owner->answerLength;
      return hid::kIOReturnSuccess;
    }
  };
  std::vector<std::string> interfaces{"keys:1:0", "cfg:ff13:64"};
  hid::IOReturn openStatus = hid::kIOReturnSuccess;
  std::vector<std::string> events;
  Bytes answer = Bytes(64, 0);
  std::size_t answerLength = 64;

  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t vendor,
                                                        std::uint16_t product) override {
    std::vector<std::unique_ptr<hid::Device>> out;
    for (const std::string& spec : interfaces) {
      if (vendor != 0x0C45 || product != 0x800A) break;
      auto device = std::make_unique<Interface>();
      std::istringstream in(spec);
      std::string page, size;
      std::getline(std::getline(std::getline(in, device->name, ':'), page, ':'), size);
      if (page != "-") device->properties["PrimaryUsagePage"] = std::stoll(page, nullptr, 16);
      if (size != "-") device->properties["MaxFeatureReportSize"] = std::stoll(size);
      device->owner = this;
      out.push_back(std::move(device));
    }
    return out;
  }
};

TEST(ZEPADevice, Acknowledgement) {
  const struct {
    const char* answer;
    std::size_t length;
    const char* error;  // the whole payload, zeros beyond what came back; empty: accepted
  } cases[] = {
      {"99 99 99 01", 64, ""},  // byte 3 alone acknowledges
      {"04 13 00 7f", 64, ""},  // so does the echo of 04 13 00 alone
      {"04 13 00 00", 4, ""},
      {"04 13 00 01 ee ee", 3, "04 13 00"},  // three bytes are too few, echo or not
      {"04 19 00 00 ee", 64, "04 19 00 00 ee"},
  };
  for (const auto& c : cases) {
    auto backend = std::make_shared<FakeBackend>();
    backend->answer = bytes(c.answer);
    backend->answerLength = c.length;
    std::string error;
    try {
      ZEPADevice(backend, [](auto) {}).lightingInit();
    } catch (const ZEPAError& e) {
      error = e.kind() == Kind::acknowledgement ? hexBytes(e.response()) : e.description();
    }
    EXPECT_EQ(error, *c.error ? hexBytes(bytes(c.error)) : "") << c.answer << " / " << c.length;
  }
}

TEST(ZEPADevice, DiscoveryTakesTheFirstConfigurationInterface) {
  const struct {
    std::vector<std::string> interfaces;
    std::string outcome;  // the interface opened, or the error
  } cases[] = {
      {{}, "notFound"},
      {{"keys:1:0", "consumer:c:0"}, "interfaceNotFound"},
      {{"a:ff13:65", "b:ff12:64", "c:-:64", "d:ff13:-"}, "interfaceNotFound"},
      {{"keys:1:0", "first:ff13:64", "second:ff13:64"}, "first"},
  };
  for (const auto& c : cases) {
    auto backend = std::make_shared<FakeBackend>();
    backend->interfaces = c.interfaces;
    std::string outcome;
    try {
      ZEPADevice(backend, [](auto) {}).open();
      outcome = backend->events.at(0).substr(5);
    } catch (const ZEPAError& e) {
      outcome = e.kind() == Kind::notFound ? "notFound" : "interfaceNotFound";
    }
    EXPECT_EQ(outcome, c.outcome) << testing::PrintToString(c.interfaces);
    EXPECT_EQ(ZEPADevice::isConnected(backend), !outcome.ends_with("otFound")) << outcome;
  }
  EXPECT_FALSE(ZEPADevice::isConnected(nullptr));
}

TEST(ZEPADevice, OpensOnceAndClosesOnDestruction) {
  auto backend = std::make_shared<FakeBackend>();
  backend->openStatus = hid::kIOReturnNotPermitted;
  {
    ZEPADevice device(backend, [](auto) {});
    try {
      device.setRemaps({}, false);
      ADD_FAILURE() << "sent without an open interface";
    } catch (const ZEPAError& e) {
      EXPECT_EQ(std::pair(e.kind(), e.status()), std::pair(Kind::openFailed, backend->openStatus));
    }
    EXPECT_FALSE(device.isOpen());
    backend->openStatus = hid::kIOReturnSuccess;
    device.close();
    device.open();
    device.open();
    device.close();
    device.open();
  }
  EXPECT_EQ(backend->events, std::vector<std::string>(
                                 {"open cfg", "open cfg", "close cfg", "open cfg", "close cfg"}));
}

}  // namespace
}  // namespace zepa
