#include "protocol/halvern_device.hpp"

#include <gtest/gtest.h>

#include "canned_backend.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa {
namespace {

using namespace zepa::testing;
using Operation = std::function<void(HalvernDevice&)>;

// The in-process keyboard, its feature calls and the pauses between them.
struct Rig {
  std::shared_ptr<sim::InProcessBackend> backend = std::make_shared<sim::InProcessBackend>();
  std::vector<std::string> trace;  // "SET <report>", "GET <answer length>", "pause <µs>"
  std::size_t logged = 0;

  // A block marked at its first and last byte, so a shifted copy shows.
  Rig() {
    setBlock([](std::size_t at) -> std::uint8_t { return at == 8 ? 0xAB : at == 135 ? 0xCD : 0; });
  }
  // The block a configuration read answers, by position in that answer (8 to 135).
  void setBlock(const std::function<std::uint8_t(std::size_t)>& byteAt) {
    std::array<std::uint8_t, 128> block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = byteAt(i + 8);
    backend->halvern().setBlock(block);
  }
  void catchUp() {
    for (const auto log = backend->log(); logged < log.size(); ++logged) {
      const sim::LogEntry& e = log[logged];
      trace.push_back(e.op == "SET" ? "SET " + sparse(e.bytes)
                                    : "GET " + std::to_string(e.bytes.size()));
    }
  }
  // Runs on a fresh connection, closed at the end; the error text or "".
  std::string run(const Operation& operation) {
    const std::string failure = failureOf([&] {
      HalvernDevice device(backend, [this](std::chrono::microseconds pause) {
        catchUp();
        trace.push_back("pause " + std::to_string(pause.count()));
      });
      operation(device);
    });
    catchUp();
    return failure;
  }
  // A trace without its pauses.
  static std::vector<std::string> calls(std::vector<std::string> trace) {
    std::erase_if(trace, [](const std::string& line) { return line.starts_with("pause"); });
    return trace;
  }
};

// `length` bytes: the given head, then each byte its own position, so a wrong offset shows.
Bytes answer(const char* head, std::size_t length) {
  Bytes out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::uint8_t>(i);
  const Bytes start = bytes(head);
  std::copy_n(start.begin(), std::min(start.size(), length), out.begin());
  return out;
}

const std::vector<std::string> readTrace = {"SET 06 84 00 00 01 00 80 00", "pause 25000",
                                            "pause 25000", "GET 520"};
std::vector<std::string> afterRead(std::vector<std::string> rest) {
  rest.insert(rest.begin(), readTrace.begin(), readTrace.end());
  return rest;
}

// The four reports and their pacing.
const struct Sequence {
  const char* name;
  Operation operation;
  std::vector<std::string> trace;
} sequences[] = {
    {"model query",
     [](HalvernDevice& d) { d.queryModel(); },
     {"SET 06 82 01 00 01 00 06", "pause 25000", "pause 25000", "GET 520"}},
    {"configuration read", [](HalvernDevice& d) { d.readConfig(); }, readTrace},
    {"write-back", [](HalvernDevice& d) { d.verifyUnchangedConfigWrite(); },
     afterRead({"SET 06 04 00 00 01 00 80 00 ab @135 cd", "pause 25000", readTrace[0], readTrace[1],
                readTrace[2], readTrace[3]})},
    {"static colour",
     [](HalvernDevice& d) {
       d.setLighting({HalvernEffect::staticColor, {0x11, 0x22, 0x33}, 0, 0, false});
     },
     afterRead({"SET 06 04 00 00 01 00 80 00 ab @18 01 @135 cd", "pause 25000",
                "SET 06 0a 00 00 00 00 00 02 @29 11 22 33 @514 5a a5", "pause 25000"})},
};

// The trace as Rig writes it: whole reports of 520 bytes.
std::vector<std::string> expectedTrace(const Sequence& row) {
  std::vector<std::string> lines = row.trace;
  for (auto& line : lines)
    if (line.starts_with("SET ")) line = "SET " + sparse(bytes(line.substr(4), 520));
  return lines;
}

TEST(HalvernDevice, ReportLayoutsAndPauses) {
  for (const Sequence& row : sequences) {
    SCOPED_TRACE(row.name);
    Rig rig;
    EXPECT_EQ(rig.run(row.operation), "");
    EXPECT_EQ(rig.trace, expectedTrace(row));
  }
}

// A fault at any call ends the operation with its error; nothing is sent after it.
TEST(HalvernDevice, FaultAtEveryStepEndsTheOperation) {
  for (const Sequence& row : sequences) {
    const std::vector<std::string> all = Rig::calls(expectedTrace(row));
    for (const Fault& f : faultsAlong(all)) {
      SCOPED_TRACE(std::string(row.name) + ", " + f.fault);
      Rig rig;
      rig.backend->addFault(f.fault);
      const std::string failure = rig.run(row.operation);
      EXPECT_TRUE(endsIn(failure, f.error)) << failure;
      const std::vector<std::string> log = Rig::calls(rig.trace);
      ASSERT_TRUE(log.size() == f.call || log.size() == f.call - 1) << log.size();
      EXPECT_EQ(std::vector(log.begin(), log.begin() + f.call - 1),
                std::vector(all.begin(), all.begin() + f.call - 1));
    }
  }
  Rig rig;
  rig.backend->addFault("open:EACCES");
  EXPECT_TRUE(rig.run(sequences[3].operation).starts_with("Linux verweigert den HID-Zugriff."));
  EXPECT_TRUE(rig.backend->log().empty());
}

// Every byte of the read block goes back unchanged except those the lighting owns; the colour
// report follows for effects with a colour.
TEST(HalvernDevice, LightingChangesOnlyTheEffectsBytes) {
  const struct {
    HalvernLightingConfig config;
    std::string changed;  // "position:value" beyond 17 (custom mode, cleared) that differ
    bool colorReport;
  } rows[] = {
      {{HalvernEffect::off, {1, 2, 3}, 4, 4, true}, "18:00", false},
      {{HalvernEffect::staticColor, {1, 2, 3}, 3, 4, false}, "18:01 66:03 67:00", true},
      {{HalvernEffect::staticColor, {0, 0, 0}, 0, 0, true}, "18:01 66:00 67:07", true},
      {{HalvernEffect::wave, {1, 2, 3}, 4, 3, true}, "18:03 70:04 71:37", false},
      {{HalvernEffect::aurora, {0xff, 0, 0x80}, 2, 1, true}, "18:0b 86:02 87:17", true},
      {{HalvernEffect::prism, {1, 2, 3}, 1, 2, false}, "18:10 96:01 97:20", false},
      {{HalvernEffect::tidal, {4, 5, 6}, 4, 4, true}, "18:12 100:04 101:47", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(name(row.config.effect));
    Rig rig;
    // Custom mode on, and no block byte equal to anything the lighting writes.
    rig.setBlock([](std::size_t at) -> std::uint8_t { return at == 17 ? 1 : 0x80 | (at & 0x7F); });
    EXPECT_EQ(rig.run([&](HalvernDevice& d) { d.setLighting(row.config); }), "");
    const auto log = rig.backend->log();
    ASSERT_GE(log.size(), 3u);
    const Bytes &read = log[1].bytes, &written = log[2].bytes;
    EXPECT_EQ(hexBytes(written, 8), "06 04 00 00 01 00 80 00");
    std::string changed;
    for (std::size_t i = 8; i < 136; ++i)
      if (read[i] != written[i])
        changed += (changed.empty() ? "" : " ") + std::to_string(i) + ":" + hexBytes({written[i]});
    EXPECT_EQ(changed, "17:00 " + row.changed);
    EXPECT_EQ(sparse(Bytes(written.begin() + 136, written.end())), "/384");
    const RGBColor& c = row.config.color;
    const std::string color = "06 0a 00 00 00 00 00 02 @29 " + hexBytes({c.red, c.green, c.blue});
    EXPECT_EQ(log.size() == 4 ? sparse(log[3].bytes) : "",
              row.colorReport ? sparse(bytes(color + " @514 5a a5", 520)) : "");
  }
}

TEST(HalvernDevice, RefusesBadRequestsBeforeAnyReport) {
  const std::string range = "Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen.";
  auto lighting = [](int effect, std::uint8_t brightness, std::uint8_t speed) -> Operation {
    return [=](HalvernDevice& d) {
      d.setLighting({static_cast<HalvernEffect>(effect), {}, brightness, speed, false});
    };
  };
  const std::pair<Operation, std::string> rows[] = {
      {lighting(11, 5, 0), range},
      {lighting(11, 0, 5), range},
      {lighting(0, 255, 0), range},
      {lighting(19, 4, 4), "Unbekannter Halvern-Effekt (19)."},
      {lighting(-1, 4, 4), "Unbekannter Halvern-Effekt (-1)."},
      {[](HalvernDevice& d) {
         d.setPerKeyRGB({{1, {255, 0, 0}}});
       },
       "Einzeltastenfarben werden von der Corvane Pro unter Linux derzeit nicht unterstützt."},
  };
  for (const auto& [operation, message] : rows) {
    Rig rig;
    EXPECT_EQ(rig.run(operation), message);
    EXPECT_TRUE(rig.trace.empty()) << message;
  }
}

// Answers the firmware model does not give: their length, ID and command echo decide.
TEST(HalvernDevice, AnswersAreCheckedAndCut) {
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  const struct {
    const char* name;
    bool model;
    Bytes answer;
    std::size_t claimed;
    std::string outcome;  // "ok <response length>" or the error text
  } rows[] = {
      {"136 bytes", false, answer("06 84", 136), 0, "ok 136"},
      {"135 bytes", false, answer("06 84", 135), 0, refused + "06 84 02 03 04 05 06 07"},
      {"200 bytes", false, answer("06 84", 200), 0, "ok 136"},
      {"longer than the buffer", false, answer("06 84", 520), 4096, "ok 136"},
      {"wrong command", false, answer("06 83", 136), 0, refused + "06 83 02 03 04 05 06 07"},
      {"wrong report ID", false, answer("05 84", 136), 0, refused + "05 84 02 03 04 05 06 07"},
      {"nothing", false, {}, 0, refused},
      {"model, 14 bytes", true, answer("06 82", 14), 0, "ok 14"},
      {"model, 40 bytes", true, answer("06 82", 40), 0, "ok 14"},
      {"model, 13 bytes", true, answer("06 82", 13), 0, refused + "06 82 02 03 04 05 06 07"},
      {"model, read echo", true, answer("06 84", 14), 0, refused + "06 84 02 03 04 05 06 07"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto backend = std::make_shared<CannedBackend>();
    backend->interfaces = {{{}, 520, {row.answer}, row.claimed}};
    HalvernDevice device(backend, [](auto) {});
    Bytes response;
    std::string outcome = failureOf([&] {
      response = row.model ? device.queryModel().response : device.readConfig().response;
    });
    if (outcome.empty()) {
      outcome = "ok " + std::to_string(response.size());
      EXPECT_EQ(hexBytes(response), hexBytes(row.answer, response.size()));
    }
    EXPECT_EQ(outcome, row.outcome);
  }
}

// Only the 128-byte block counts; the answer's header may differ between reads.
TEST(HalvernDevice, WriteBackComparesTheBlock) {
  Bytes later = answer("06 84 ff ff ff ff ff ff", 136), flipped = answer("06 84", 136);
  flipped[120] ^= 1;
  for (const auto& [second, unchanged] :
       {std::pair{answer("06 84", 136), true}, {later, true}, {flipped, false}}) {
    auto backend = std::make_shared<CannedBackend>();
    backend->interfaces = {{{}, 520, {answer("06 84", 136), second}}};
    EXPECT_EQ(HalvernDevice(backend, [](auto) {}).verifyUnchangedConfigWrite(), unchanged)
        << hexBytes(second);
  }
  // The keyboard storing its first or last byte wrongly.
  for (const auto& [corrupt, unchanged] :
       {std::pair{std::optional<std::size_t>{}, true}, {8, false}, {135, false}}) {
    Rig rig;
    if (corrupt) rig.backend->halvern().corruptOnWrite(*corrupt);
    bool same = !unchanged;
    EXPECT_EQ(rig.run([&](HalvernDevice& d) { same = d.verifyUnchangedConfigWrite(); }), "");
    EXPECT_EQ(same, unchanged) << corrupt.value_or(0);
  }
}

TEST(HalvernDevice, DiscoveryPicksTheFirst520ByteInterfaceAndOpensOnce) {
  const std::pair<std::vector<std::optional<std::int64_t>>, std::string> rows[] = {
      {{}, "Halvern Corvane Pro wurde nicht per USB gefunden."},
      {{0, 64, std::nullopt}, "Konfigurationsschnittstelle des Keyboards nicht gefunden."},
      {{0, 520}, "1 open"},
      {{520, 520}, "0 open"},
      {{std::nullopt, 521, 520}, "2 open"},
  };
  for (const auto& [sizes, outcome] : rows) {
    auto backend = std::make_shared<CannedBackend>();
    for (auto size : sizes) backend->interfaces.push_back({{}, size, {answer("06 82", 14)}});
    EXPECT_EQ(HalvernDevice::isConnected(backend), outcome.ends_with("open")) << outcome;
    EXPECT_TRUE(backend->events.empty()) << "detection opened an interface";
    const std::string failure = failureOf([&] {
      HalvernDevice device(backend, [](auto) {});
      device.queryModel();
      device.queryModel();
    });
    EXPECT_EQ(failure.empty() ? backend->events.front() : failure, outcome);
    if (failure.empty()) {
      const std::string i = outcome.substr(0, 2);
      EXPECT_EQ(backend->events,
                std::vector<std::string>({i + "open", i + "SET 06 82", i + "GET", i + "SET 06 82",
                                          i + "GET", i + "close"}));
    }
  }
  auto unused = std::make_shared<CannedBackend>();
  unused->interfaces = {{{}, 520}};
  {
    HalvernDevice device(unused, [](auto) {});
  }
  EXPECT_TRUE(unused->events.empty()) << "closed an interface it never opened";
  sim::SimulatorOptions noHalvern;
  noHalvern.halvern = false;
  EXPECT_TRUE(HalvernDevice::isConnected(std::make_shared<sim::InProcessBackend>()));
  EXPECT_FALSE(HalvernDevice::isConnected(std::make_shared<sim::InProcessBackend>(noHalvern)));
}

}  // namespace
}  // namespace zepa
