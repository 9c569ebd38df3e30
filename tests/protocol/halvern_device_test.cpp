#include "protocol/halvern_device.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/sim/in_process_backend.hpp"

namespace zepa {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::InProcessBackend;

// "[0] 06 82 [29] 11 22 33 /520": bytes at positions, zeros elsewhere, total length.
Bytes parseReport(const std::string& text) {
  std::istringstream in(text);
  Bytes bytes;
  std::size_t at = 0;
  for (std::string word; in >> word;) {
    if (word[0] == '[') {
      at = std::stoul(word.substr(1));
    } else if (word[0] == '/') {
      bytes.resize(std::stoul(word.substr(1)));
    } else {
      if (bytes.size() <= at) bytes.resize(at + 1);
      bytes[at++] = static_cast<std::uint8_t>(std::stoul(word, nullptr, 16));
    }
  }
  return bytes;
}

// The inverse: runs of bytes, cut where eight or more zeros lie between them.
std::string sparse(const Bytes& bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size();) {
    if (bytes[i] == 0) {
      ++i;
      continue;
    }
    std::size_t end = i;
    for (std::size_t zeros = 0, j = i; j < bytes.size() && zeros < 8; ++j) {
      zeros = bytes[j] ? 0 : zeros + 1;
      if (bytes[j]) end = j + 1;
    }
    out += "[" + std::to_string(i) + "] " +
           hexBytes(Bytes(bytes.begin() + i, bytes.begin() + end)) + " ";
    i = end;
  }
  return out + "/" + std::to_string(bytes.size());
}

// A device whose feature reads return canned answers in turn (the last one repeats), for
// answers the firmware model never gives.
struct CannedInterface {
  std::optional<std::int64_t> maxFeatureReportSize = 520;
  std::vector<Bytes> answers;
  std::size_t claimedLength = 0;  // reported read length, if not the answer's size
};

struct CannedBackend : hid::Backend {
  std::vector<CannedInterface> interfaces;
  std::vector<std::string> trace;

  struct Device : hid::Device {
    CannedBackend* owner;
    std::size_t index;
    std::size_t reads = 0;
    Device(CannedBackend* o, std::size_t i) : owner(o), index(i) {}
    const CannedInterface& spec() const { return owner->interfaces[index]; }
    std::optional<std::int64_t> property(std::string_view key) const override {
      return key == "MaxFeatureReportSize" ? spec().maxFeatureReportSize : std::nullopt;
    }
    hid::IOReturn open() override { return note("open"), hid::kIOReturnSuccess; }
    void close() override { note("close"); }
    hid::IOReturn setReport(hid::ReportType, std::uint8_t,
                            std::span<const std::uint8_t> r) override {
      return note("SET " + hexBytes(Bytes(r.begin(), r.begin() + 2))), hid::kIOReturnSuccess;
    }
    hid::IOReturn getReport(hid::ReportType, std::uint8_t, std::span<std::uint8_t> buffer,
                            std::size_t& length) override {
      const Bytes& answer = spec().answers.at(std::min(reads++, spec().answers.size() - 1));
      std::copy_n(answer.begin(), std::min(answer.size(), buffer.size()), buffer.begin());
      length = spec().claimedLength ? spec().claimedLength : answer.size();
      return note("GET"), hid::kIOReturnSuccess;
    }
    void note(const std::string& what) {
      owner->trace.push_back(std::to_string(index) + " " + what);
    }
  };

  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t, std::uint16_t) override {
    std::vector<std::unique_ptr<hid::Device>> devices;
    for (std::size_t i = 0; i < interfaces.size(); ++i)
      devices.push_back(std::make_unique<Device>(this, i));
    return devices;
  }
};

// `length` bytes: the given head, then each byte its own position.
Bytes answer(const std::string& head, std::size_t length) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  const Bytes start = parseReport(head);
  std::copy_n(start.begin(), std::min(start.size(), length), bytes.begin());
  return bytes;
}

// Runs an operation and gives the error text, or "" when it completed.
std::string failureOf(const std::function<void()>& operation) {
  try {
    operation();
    return "";
  } catch (const ZEPAError& error) {
    return error.description();
  }
}

// Feature calls and pauses of the in-process keyboard, in order.
struct Rig {
  std::shared_ptr<InProcessBackend> backend = std::make_shared<InProcessBackend>();
  std::vector<std::pair<std::size_t, long>> pauses;  // (calls before it, microseconds)

  HalvernDevice device() {
    return HalvernDevice(backend, [this](std::chrono::microseconds pause) {
      pauses.emplace_back(backend->log().size(), pause.count());
    });
  }
  // One line per call: "SET <sparse report>", "GET <answer length>", "pause <µs>".
  std::vector<std::string> trace() const {
    std::vector<std::string> lines;
    const auto log = backend->log();
    auto pause = pauses.begin();
    for (std::size_t i = 0; i <= log.size(); ++i) {
      for (; pause != pauses.end() && pause->first == i; ++pause)
        lines.push_back("pause " + std::to_string(pause->second));
      if (i == log.size()) break;
      lines.push_back(log[i].op == "SET" ? "SET " + sparse(log[i].bytes)
                                         : "GET " + std::to_string(log[i].bytes.size()));
    }
    return lines;
  }
  // "SET 06 84 | GET | SET 06 04": the calls only.
  std::string calls() const {
    std::string out;
    for (const auto& entry : backend->log())
      out +=
          (out.empty() ? "" : " | ") + entry.op +
          (entry.op == "SET" ? " " + hexBytes(Bytes(entry.bytes.begin(), entry.bytes.begin() + 2))
                             : "");
    return out;
  }
};

std::array<std::uint8_t, 128> blockOf(const std::function<std::uint8_t(std::size_t)>& byteAt) {
  std::array<std::uint8_t, 128> block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = byteAt(i + 8);
  return block;
}

const std::string modelRequest = "SET [0] 06 82 01 00 01 00 06 /520";
const std::string readRequest = "SET [0] 06 84 00 00 01 00 80 00 /520";

// Expected lines as written by hand, in the form sparse() prints.
std::vector<std::string> canonical(std::vector<std::string> lines) {
  for (auto& line : lines)
    if (line.starts_with("SET ")) line = "SET " + sparse(parseReport(line.substr(4)));
  return lines;
}

// The four reports and their pacing, against a block with markers at its first and last byte.
TEST(HalvernDeviceReports, LayoutsAndPauses) {
  struct Row {
    const char* name;
    std::function<void(HalvernDevice&)> operation;
    std::vector<std::string> trace;
  };
  const HalvernLightingConfig staticRed{
      HalvernEffect::staticColor, {0x11, 0x22, 0x33}, 0, 0, false};
  const std::vector<Row> rows = {
      {"model query",
       [](HalvernDevice& d) { d.queryModel(); },
       {modelRequest, "pause 25000", "pause 25000", "GET 520"}},
      {"configuration read",
       [](HalvernDevice& d) { d.readConfig(); },
       {readRequest, "pause 25000", "pause 25000", "GET 520"}},
      {"write-back",
       [](HalvernDevice& d) { d.verifyUnchangedConfigWrite(); },
       {readRequest, "pause 25000", "pause 25000", "GET 520",
        "SET [0] 06 04 00 00 01 00 80 00 ab [135] cd /520", "pause 25000", readRequest,
        "pause 25000", "pause 25000", "GET 520"}},
      {"static colour",
       [&](HalvernDevice& d) { d.setLighting(staticRed); },
       {readRequest, "pause 25000", "pause 25000", "GET 520",
        "SET [0] 06 04 00 00 01 00 80 00 ab [18] 01 [135] cd /520", "pause 25000",
        "SET [0] 06 0a 00 00 00 00 00 02 [29] 11 22 33 [514] 5a a5 /520", "pause 25000"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig rig;
    rig.backend->halvern().setBlock(blockOf([](std::size_t at) -> std::uint8_t {
      return at == 8 ? 0xAB : at == 135 ? 0xCD : 0;
    }));
    {
      HalvernDevice device = rig.device();
      row.operation(device);
    }
    EXPECT_EQ(rig.trace(), canonical(row.trace));
  }
}

// Every byte of the read block goes back unchanged except those the lighting owns.
TEST(HalvernDeviceLighting, ChangesOnlyTheEffectsBytes) {
  struct Row {
    HalvernLightingConfig config;
    std::string changed;  // "position:value" of the written block that differ from the read one
    std::string colorReport;
  };
  const std::vector<Row> rows = {
      {{HalvernEffect::off, {1, 2, 3}, 4, 4, true}, "17:00 18:00", ""},
      {{HalvernEffect::staticColor, {1, 2, 3}, 3, 4, false},
       "17:00 18:01 66:03 67:00",
       "[0] 06 0a 00 00 00 00 00 02 [29] 01 02 03 [514] 5a a5 /520"},
      {{HalvernEffect::staticColor, {0, 0, 0}, 0, 0, true},
       "17:00 18:01 66:00 67:07",
       "[0] 06 0a 00 00 00 00 00 02 [514] 5a a5 /520"},
      {{HalvernEffect::breathing, {9, 8, 7}, 0, 0, false},
       "17:00 18:02 68:00 69:00",
       "[0] 06 0a 00 00 00 00 00 02 [29] 09 08 07 [514] 5a a5 /520"},
      {{HalvernEffect::wave, {1, 2, 3}, 4, 3, true}, "17:00 18:03 70:04 71:37", ""},
      {{HalvernEffect::aurora, {0xff, 0, 0x80}, 2, 1, true},
       "17:00 18:0b 86:02 87:17",
       "[0] 06 0a 00 00 00 00 00 02 [29] ff 00 80 [514] 5a a5 /520"},
      {{HalvernEffect::prism, {1, 2, 3}, 1, 2, false}, "17:00 18:10 96:01 97:20", ""},
      {{HalvernEffect::tidal, {4, 5, 6}, 4, 4, true},
       "17:00 18:12 100:04 101:47",
       "[0] 06 0a 00 00 00 00 00 02 [29] 04 05 06 [514] 5a a5 /520"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(name(row.config.effect));
    Rig rig;
    // Custom mode on, and no block byte equal to anything the lighting writes.
    rig.backend->halvern().setBlock(
        blockOf([](std::size_t at) -> std::uint8_t { return at == 17 ? 1 : 0x80 | (at & 0x7F); }));
    rig.device().setLighting(row.config);

    const auto log = rig.backend->log();
    ASSERT_GE(log.size(), 3u);
    const Bytes& read = log[1].bytes;
    const Bytes& written = log[2].bytes;
    EXPECT_EQ(hexBytes(Bytes(written.begin(), written.begin() + 8)), "06 04 00 00 01 00 80 00");
    std::string changed;
    for (std::size_t i = 8; i < 136; ++i)
      if (read[i] != written[i])
        changed += (changed.empty() ? "" : " ") + std::to_string(i) + ":" + hexBytes({written[i]});
    EXPECT_EQ(changed, row.changed);
    EXPECT_EQ(sparse(Bytes(written.begin() + 136, written.end())), "/384");
    EXPECT_EQ(log.size() == 4 ? sparse(log[3].bytes) : "",
              row.colorReport.empty() ? "" : sparse(parseReport(row.colorReport)));
  }
}

TEST(HalvernDeviceLighting, RefusesOutOfRangeSettingsBeforeAnyReport) {
  const std::string range = "Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen.";
  const std::vector<std::pair<HalvernLightingConfig, std::string>> rows = {
      {{HalvernEffect::aurora, {}, 5, 0, false}, range},
      {{HalvernEffect::aurora, {}, 0, 5, false}, range},
      {{HalvernEffect::off, {}, 255, 0, false}, range},
      {{static_cast<HalvernEffect>(19), {}, 4, 4, false}, "Unbekannter Halvern-Effekt (19)."},
      {{static_cast<HalvernEffect>(-1), {}, 4, 4, false}, "Unbekannter Halvern-Effekt (-1)."},
  };
  for (const auto& [config, message] : rows) {
    Rig rig;
    EXPECT_EQ(failureOf([&] { rig.device().setLighting(config); }), message);
    EXPECT_EQ(rig.calls(), "");
    EXPECT_TRUE(rig.pauses.empty());
  }
}

TEST(HalvernDeviceLighting, PerKeyColoursAreRefusedWithoutTraffic) {
  auto backend = std::make_shared<CannedBackend>();
  backend->interfaces = {{}};
  EXPECT_EQ(failureOf([&] {
              HalvernDevice(backend).setPerKeyRGB({{1, {255, 0, 0}}});
            }),
            "Einzeltastenfarben werden von der Corvane Pro unter Linux derzeit nicht unterstützt.");
  EXPECT_TRUE(backend->trace.empty());
}

// Answers the firmware model does not give: their length, ID and command echo decide.
TEST(HalvernDeviceAnswers, Validation) {
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  struct Row {
    const char* name;
    bool model;
    Bytes answer;
    std::size_t claimedLength;
    std::string outcome;  // "ok <response length>" or the error text
  };
  const std::vector<Row> rows = {
      {"136 bytes", false, answer("06 84", 136), 0, "ok 136"},
      {"135 bytes", false, answer("06 84", 135), 0, refused + "06 84 02 03 04 05 06 07"},
      {"200 bytes", false, answer("06 84", 200), 0, "ok 136"},
      {"longer than the buffer", false, answer("06 84", 520), 4096, "ok 136"},
      {"wrong command", false, answer("06 83", 136), 0, refused + "06 83 02 03 04 05 06 07"},
      {"wrong report ID", false, answer("05 84", 136), 0, refused + "05 84 02 03 04 05 06 07"},
      {"one byte", false, answer("06", 1), 0, refused + "06"},
      {"nothing", false, {}, 0, refused},
      {"model, 14 bytes", true, answer("06 82", 14), 0, "ok 14"},
      {"model, 40 bytes", true, answer("06 82", 40), 0, "ok 14"},
      {"model, 13 bytes", true, answer("06 82", 13), 0, refused + "06 82 02 03 04 05 06 07"},
      {"model, read echo", true, answer("06 84", 14), 0, refused + "06 84 02 03 04 05 06 07"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto backend = std::make_shared<CannedBackend>();
    backend->interfaces = {{520, {row.answer}, row.claimedLength}};
    HalvernDevice device(backend, [](std::chrono::microseconds) {});
    Bytes response;
    std::string outcome = failureOf([&] {
      response = row.model ? device.queryModel().response : device.readConfig().response;
    });
    if (outcome.empty()) {
      outcome = "ok " + std::to_string(response.size());
      EXPECT_EQ(hexBytes(response),
                hexBytes(Bytes(row.answer.begin(), row.answer.begin() + response.size())));
    }
    EXPECT_EQ(outcome, row.outcome);
  }
}

// Only the 128-byte block counts; the answer's header may differ between reads.
TEST(HalvernDeviceWriteBack, ComparesTheBlockOnly) {
  struct Row {
    const char* name;
    Bytes first, second;
    bool unchanged;
  };
  Bytes later = answer("06 84 ff ff ff ff ff ff", 136);
  Bytes byte120 = answer("06 84", 136);
  byte120[120] ^= 1;
  const std::vector<Row> rows = {
      {"same answer", answer("06 84", 136), answer("06 84", 136), true},
      {"header bytes 2 to 7 differ", answer("06 84", 136), later, true},
      {"byte 120 differs", answer("06 84", 136), byte120, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto backend = std::make_shared<CannedBackend>();
    backend->interfaces = {{520, {row.first, row.second}, 0}};
    EXPECT_EQ(HalvernDevice(backend, [](auto) {}).verifyUnchangedConfigWrite(), row.unchanged);
  }
}

TEST(HalvernDeviceWriteBack, NoticesAByteTheKeyboardStoredWrongly) {
  for (std::size_t position : {8u, 120u, 135u}) {
    SCOPED_TRACE(position);
    Rig rig;
    EXPECT_TRUE(rig.device().verifyUnchangedConfigWrite());
    rig.backend->halvern().corruptOnWrite(position);
    EXPECT_FALSE(rig.device().verifyUnchangedConfigWrite());
  }
}

// A failing step ends the operation: nothing is sent after it.
TEST(HalvernDeviceFaults, StopAtTheFailingStep) {
  const HalvernLightingConfig aurora{HalvernEffect::aurora, {1, 2, 3}, 2, 1, true};
  struct Row {
    const char* fault;
    std::function<void(HalvernDevice&)> operation;
    std::string error;
    std::string calls;  // the feature calls that completed
  };
  auto lighting = [&](HalvernDevice& d) { d.setLighting(aurora); };
  auto verify = [](HalvernDevice& d) { d.verifyUnchangedConfigWrite(); };
  const std::vector<Row> rows = {
      {"open:EACCES", lighting,
       "Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control installieren "
       "(zepa-control --print-udev-rules) und die Tastatur neu verbinden.",
       ""},
      {"set:1:EPIPE", lighting, "Senden fehlgeschlagen (0xe000404f).", ""},
      {"get:1:EIO", lighting, "Bestätigung fehlgeschlagen (0xe00002ca).", "SET 06 84"},
      {"get:1:nak", lighting, "Keyboard hat den Befehl nicht bestätigt: 00 00 00 00 00 00 00 00",
       "SET 06 84 | GET"},
      {"get:1:short:135", lighting,
       "Keyboard hat den Befehl nicht bestätigt: 06 84 00 00 01 00 80 00", "SET 06 84 | GET"},
      {"set:2:EPIPE", lighting, "Senden fehlgeschlagen (0xe000404f).", "SET 06 84 | GET"},
      {"set:3:EPIPE", lighting, "Senden fehlgeschlagen (0xe000404f).",
       "SET 06 84 | GET | SET 06 04"},
      {"unplug:2", lighting, "Bestätigung fehlgeschlagen (0xe00002c0).", "SET 06 84"},
      {"set:2:EPIPE", verify, "Senden fehlgeschlagen (0xe000404f).", "SET 06 84 | GET"},
      {"get:2:EIO", verify, "Bestätigung fehlgeschlagen (0xe00002ca).",
       "SET 06 84 | GET | SET 06 04 | SET 06 84"},
      {"get:1:short:136", lighting, "", "SET 06 84 | GET | SET 06 04 | SET 06 0a"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    Rig rig;
    rig.backend->addFault(row.fault);
    EXPECT_EQ(failureOf([&] {
                HalvernDevice device = rig.device();
                row.operation(device);
              }),
              row.error);
    EXPECT_EQ(rig.calls(), row.calls);
  }
}

TEST(HalvernDeviceDiscovery, PicksTheFirst520ByteInterface) {
  struct Row {
    std::vector<std::optional<std::int64_t>> sizes;
    std::string outcome;  // index of the interface used, or the error text
  };
  const std::vector<Row> rows = {
      {{}, "Halvern Corvane Pro wurde nicht per USB gefunden."},
      {{0, 64, std::nullopt}, "Konfigurationsschnittstelle des Keyboards nicht gefunden."},
      {{0, 520}, "1"},
      {{520, 520}, "0"},
      {{std::nullopt, 521, 520}, "2"},
  };
  for (const Row& row : rows) {
    auto backend = std::make_shared<CannedBackend>();
    for (auto size : row.sizes) backend->interfaces.push_back({size, {answer("06 82", 14)}, 0});
    EXPECT_EQ(HalvernDevice::isConnected(backend), row.outcome.size() == 1);
    EXPECT_TRUE(backend->trace.empty()) << "detection opened an interface";
    std::string outcome = failureOf([&] { HalvernDevice(backend, [](auto) {}).queryModel(); });
    if (outcome.empty()) outcome = backend->trace.front().substr(0, 1);
    EXPECT_EQ(outcome, row.outcome);
  }
  sim::SimulatorOptions noHalvern;
  noHalvern.halvern = false;
  EXPECT_TRUE(HalvernDevice::isConnected(std::make_shared<InProcessBackend>()));
  EXPECT_FALSE(HalvernDevice::isConnected(std::make_shared<InProcessBackend>(noHalvern)));
}

TEST(HalvernDeviceLifecycle, OpensOnceAndClosesAtTheEnd) {
  auto backend = std::make_shared<CannedBackend>();
  backend->interfaces = {{520, {answer("06 82", 14), answer("06 84", 136)}, 0}};
  {
    HalvernDevice device(backend, [](auto) {});
    EXPECT_TRUE(backend->trace.empty());
    device.queryModel();
    device.readConfig();
  }
  EXPECT_EQ(backend->trace, (std::vector<std::string>{"0 open", "0 SET 06 82", "0 GET",
                                                      "0 SET 06 84", "0 GET", "0 close"}));
  backend->trace.clear();
  {
    HalvernDevice unused(backend, [](auto) {});
  }
  EXPECT_TRUE(backend->trace.empty()) << "closed an interface it never opened";
}

}  // namespace
}  // namespace zepa
