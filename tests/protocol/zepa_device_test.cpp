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
// "SET <spec>" becomes "SET <64 bytes>"; "GET…" becomes "GET".
std::vector<std::string> calls(const std::vector<std::string>& specs) {
  std::vector<std::string> out;
  for (const std::string& s : specs) {
    out.push_back(s.starts_with("GET") ? "GET" : "SET " + hexBytes(bytes(s.substr(3))));
  }
  return out;
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
  // Every feature call, as "SET <64 bytes>" or "GET".
  std::vector<std::string> log() const {
    std::vector<std::string> out;
    for (const sim::LogEntry& e : backend->log()) {
      out.push_back(e.op == "GET" ? "GET" : e.op + " " + hexBytes(e.bytes));
    }
    return out;
  }
};

struct Command {
  const char* name;
  Action run;
  std::vector<std::string> expected;  // "SET <bytes>", "GET", or "GET unchecked"
};

const ZEPAKey& key(const char* name) {
  return *ZEPAKeyMap::key(std::string_view(name));
}

const std::vector<Command>& commands() {
  static const std::vector<Command> table{
      {"setLighting rolling",
       [](ZEPADevice& d) { d.setLighting(rolling); },
       {"SET 04 18", "GET", "SET 04 13 00 00 00 00 00 00 01", "GET",
        "SET 0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55", "SET 04 02", "GET", "SET 04 f0"}},
      {"setLighting off drops the settings",
       [](ZEPADevice& d) {
         d.setLighting({LightingMode::off, {1, 2, 3}, 4, 5, 1, true});
       },
       {"SET 04 18", "GET", "SET 04 13 @8 01", "GET", "SET 00 @14 aa 55", "SET 04 02", "GET",
        "SET 04 f0"}},
      {"syncClock Sunday 9 March 2025 14:05:07",
       [](ZEPADevice& d) { d.syncClock({}, 1); },
       {"SET 04 18", "GET", "SET 04 28 00 00 00 00 00 00 01", "GET",
        "SET 00 01 5a 19 03 09 0e 05 07 00 00 @62 aa 55", "GET", "SET 04 02", "GET"}},
      {"setPerKeyRGB Esc red, 142 last, 143 and 0 dropped",
       [](ZEPADevice& d) {
         d.setPerKeyRGB({{1, {255, 0, 0}}, {142, {1, 2, 3}}, {143, {9, 9, 9}}, {0, {7, 7, 7}}}, 3);
       },
       {"SET 04 18",
        "GET",
        "SET 04 13 @8 01",
        "GET",
        "SET 80 @9 03 @14 aa 55",
        "SET 04 02",
        "GET",
        "SET 04 f0",
        "SET 04 18",
        "GET",
        "SET 04 23 00 00 00 00 00 00 09",
        "GET",
        "SET @4 01 ff 00 00",
        "SET",
        "SET",
        "SET",
        "SET",
        "SET",
        "SET",
        "SET",
        "SET @56 8e 01 02 03 @62 aa 55",
        "GET unchecked",
        "SET 04 02",
        "GET",
        "SET 04 f0",
        "GET"}},
      {"setPerKeyRGB later duplicate wins",
       [](ZEPADevice& d) {
         d.setPerKeyRGB({{55, {1, 1, 1}}, {55, {2, 3, 4}}}, 0);
       },
       {"SET 04 18",
        "GET",
        "SET 04 13 @8 01",
        "GET",
        "SET 80 @14 aa 55",
        "SET 04 02",
        "GET",
        "SET 04 f0",
        "SET 04 18",
        "GET",
        "SET 04 23 @8 09",
        "GET",
        "SET",
        "SET",
        "SET",
        "SET @28 37 02 03 04",
        "SET",
        "SET",
        "SET",
        "SET",
        "SET @62 aa 55",
        "GET unchecked",
        "SET 04 02",
        "GET",
        "SET 04 f0",
        "GET"}},
      {"setRemaps base: Caps to Esc usage, Esc to Ctrl L",
       [](ZEPADevice& d) {
         const std::uint8_t ctrl = *ZEPAKeyMap::modifierBit(key("Ctrl L").hid);
         d.setRemaps({{key("Caps").index, RemapAction::key, 0, key("Esc").hid, 0},
                      {key("Esc").index, RemapAction::key, ctrl, 0, 0}},
                     false);
       },
       {"SET 04 18", "GET", "SET 04 11 00 00 00 00 00 00 09", "GET", "SET @4 02 01 00 00", "SET",
        "SET", "SET @28 02 00 29 00", "SET", "SET", "SET", "SET", "SET @62 aa 55", "SET 04 02",
        "GET", "SET 04 f0", "GET"}},
      {"setRemaps Fn, empty list resets",
       [](ZEPADevice& d) { d.setRemaps({}, true); },
       {"SET 04 18", "GET", "SET 04 27 00 00 00 00 00 00 09", "GET", "SET", "SET", "SET", "SET",
        "SET", "SET", "SET", "SET", "SET @62 aa 55", "SET 04 02", "GET", "SET 04 f0", "GET"}},
  };
  return table;
}

TEST(ZEPADevice, SequencesPauseAfterEveryCallAndApply) {
  for (const Command& c : commands()) {
    Rig rig;
    c.run(*rig.device());
    EXPECT_EQ(rig.log(), calls(c.expected)) << c.name;
    std::vector<std::size_t> afterEveryCall(c.expected.size());
    std::iota(afterEveryCall.begin(), afterEveryCall.end(), 1);
    EXPECT_EQ(rig.pauses, afterEveryCall) << c.name;
    EXPECT_EQ(rig.backend->zepa().rejectedCount(), 0)
        << c.name << ": " << rig.backend->zepa().lastError();
    EXPECT_GE(rig.backend->zepa().appliedCount(), 1) << c.name;
  }
}

TEST(ZEPADevice, FirmwareHoldsWhatWasAsked) {
  Rig rig;
  auto device = rig.device();
  const sim::ZepaFirmware& firmware = rig.backend->zepa();
  auto hex = [](const auto& array) { return hexBytes({array.begin(), array.end()}); };

  device->setLighting(rolling);
  EXPECT_EQ(hex(*firmware.lighting()), hexBytes(ZEPAReports::lightingReport(rolling)));
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

struct Fault {
  std::string text;
  std::optional<Kind> kind;  // nothing: the sequence completes
  hid::IOReturn status = 0;
};

// The faults that can hit feature call `call`, the `n`-th of its kind.
std::vector<Fault> faultsAt(const std::string& step, std::size_t call, int n) {
  const std::string unplug = "unplug:" + std::to_string(call), at = std::to_string(n);
  if (!step.starts_with("GET")) {
    return {{"set:" + at + ":EPIPE", Kind::writeFailed, hid::kIOUSBPipeStalled},
            {unplug, Kind::writeFailed, hid::kIOReturnNoDevice}};
  }
  // The answer to a key block is not examined, so only a failed read stops it.
  const std::optional<Kind> unanswered =
      step == "GET unchecked" ? std::nullopt : std::optional{Kind::acknowledgement};
  return {{"get:" + at + ":EIO", Kind::readFailed, hid::kIOReturnIOError},
          {"get:" + at + ":nak", unanswered},
          {"get:" + at + ":short:3", unanswered},
          {unplug, Kind::readFailed, hid::kIOReturnNoDevice}};
}

// A fault at call N stops the sequence there: no pause after it and nothing sent later.
TEST(ZEPADevice, FaultAtEveryStepEndsTheSequence) {
  for (const Command& c : commands()) {
    const std::vector<std::string> all = calls(c.expected);
    int sets = 0, gets = 0;
    for (std::size_t call = 1; call <= all.size(); ++call) {
      const std::string& step = c.expected[call - 1];
      const int n = step.starts_with("GET") ? ++gets : ++sets;
      for (const Fault& fault : faultsAt(step, call, n)) {
        const std::string where = std::string(c.name) + ", " + fault.text;
        Rig rig;
        rig.backend->addFault(fault.text);
        try {
          c.run(*rig.device());
          EXPECT_FALSE(fault.kind) << where << ": no error";
          continue;
        } catch (const ZEPAError& e) {
          ASSERT_TRUE(fault.kind) << where << ": " << e.description();
          EXPECT_EQ(e.kind(), *fault.kind) << where << ": " << e.description();
          EXPECT_EQ(e.status(), fault.status) << where;
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

// Interfaces the firmware models cannot vary: "name:page:size", "-" leaves a property out.
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
    // Fills the whole buffer but admits to `answerLength` bytes only.
    hid::IOReturn getReport(hid::ReportType, std::uint8_t, std::span<std::uint8_t> buffer,
                            std::size_t& length) override {
      std::copy(owner->answer.begin(), owner->answer.end(), buffer.begin());
      length = owner->answerLength;
      return hid::kIOReturnSuccess;
    }
  };
  std::vector<std::string> interfaces;
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

TEST(ZEPADevice, UnacknowledgedReadBackCarriesTheAnswer) {
  const struct {
    const char* answer;
    std::size_t length;
    const char* payload;  // zeros beyond what came back
  } cases[] = {{"04 18 00 01 ee ee", 3, "04 18 00"}, {"00 00 00 00 ee", 64, "00 00 00 00 ee"}};
  for (const auto& c : cases) {
    auto backend = std::make_shared<FakeBackend>();
    backend->interfaces = {"cfg:ff13:64"};
    backend->answer = bytes(c.answer);
    backend->answerLength = c.length;
    try {
      ZEPADevice(backend, [](auto) {}).setLighting(rolling);
      ADD_FAILURE() << c.answer << ": no error";
    } catch (const ZEPAError& e) {
      EXPECT_EQ(hexBytes(e.response()), hexBytes(bytes(c.payload))) << c.answer;
    }
  }
  const Bytes sent = bytes("04 18");
  const struct {
    const char* response;
    std::size_t length;
    bool acknowledged;
  } answers[] = {
      {"04 18 00 01", 64, true},  {"99 99 99 01", 64, true}, {"04 18 00 7f", 64, true},
      {"04 18 00 01", 3, false},  {"04 18 00 00", 4, true},  {"04 19 00 00", 64, false},
      {"00 00 00 00", 64, false},
  };
  for (const auto& a : answers) {
    EXPECT_EQ(ZEPAReports::acknowledges(sent, bytes(a.response), a.length), a.acknowledged)
        << a.response << " length " << a.length;
  }
}

TEST(ZEPADevice, TransportPadsCutsAndChunks) {
  const struct {
    const char* name;
    Action run;
    std::vector<std::string> expected;
  } cases[] = {
      {"2 bytes padded",
       [](ZEPADevice& d) {
         d.send({0x04, 0x18}, false);
       },
       {"SET 04 18"}},
      {"70 bytes cut to 64",
       [](ZEPADevice& d) { d.send(bytes("@63 11 22", 70), false); },
       {"SET @63 11"}},
      {"130 bytes in three reports",
       [](ZEPADevice& d) { d.sendPackets(bytes("01 @129 02", 130), false); },
       {"SET 01", "SET", "SET 00 02"}},
      {"no data, still one read", [](ZEPADevice& d) { d.sendPackets({}, true); }, {"GET"}},
  };
  for (const auto& c : cases) {
    Rig rig;
    auto device = rig.device();
    device->open();  // the transport leaves opening to the commands
    c.run(*device);
    EXPECT_EQ(rig.log(), calls(c.expected)) << c.name;
    EXPECT_EQ(rig.pauses.size(), c.expected.size()) << c.name;
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
  auto at = [](std::optional<int> DateParts::*part, std::optional<int> value) {
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
      {"year 1999", clock, date, at(&DateParts::year, 1999)},
      {"year 2256", clock, date, at(&DateParts::year, 2256)},
      {"year 2255", clock, "", at(&DateParts::year, 2255)},
      {"calendar gives nothing", clock, date, DateParts{}},
      {"no weekday", clock, date, at(&DateParts::weekday, {})},
      // A calendar seam out of range must not wrap into a plausible byte.
      {"month 13", clock, date, at(&DateParts::month, 13)},
      {"weekday 0", clock, date, at(&DateParts::weekday, 0)},
      {"minute -1", clock, date, at(&DateParts::minute, -1)},
      {"leap second", clock, "", at(&DateParts::second, 60)},
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
      EXPECT_EQ(e.kind(), Kind::invalid) << c.name;
      EXPECT_EQ(e.description(), c.message) << c.name;
    }
    EXPECT_FALSE(device->isOpen()) << c.name;
    EXPECT_TRUE(rig.backend->log().empty()) << c.name;
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
  backend->interfaces = {"cfg:ff13:64"};
  {
    ZEPADevice device(backend, [](auto) {});
    device.close();
    device.open();
    device.open();
    device.close();
    device.open();
  }
  EXPECT_EQ(backend->events,
            std::vector<std::string>({"open cfg", "close cfg", "open cfg", "close cfg"}));

  backend->openStatus = hid::kIOReturnNotPermitted;
  ZEPADevice refused(backend, [](auto) {});
  try {
    refused.setRemaps({}, false);
    ADD_FAILURE() << "sent without an open interface";
  } catch (const ZEPAError& e) {
    EXPECT_EQ(e.kind(), Kind::openFailed);
    EXPECT_EQ(e.status(), hid::kIOReturnNotPermitted);
  }
  EXPECT_EQ(backend->events.back(), "open cfg");
  EXPECT_FALSE(refused.isOpen());
  backend->openStatus = hid::kIOReturnSuccess;
  refused.open();
  EXPECT_TRUE(refused.isOpen());
}

}  // namespace
}  // namespace zepa
