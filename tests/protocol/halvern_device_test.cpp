#include "protocol/halvern_device.hpp"

#include <gtest/gtest.h>

#include "hid_traffic.hpp"

namespace zepa {
namespace {

using namespace zepa::testing;
using Operation = std::function<void(HalvernDevice&)>;

// The in-process keyboards, the Halvern's configuration block set to byteAt(position in the
// read answer); by default marked at its first and last byte, so a shifted copy shows.
struct Rig : Trace {
  explicit Rig(const std::function<std::uint8_t(std::size_t)>& byteAt = [](std::size_t at) {
    return std::uint8_t(at == 8 ? 0xAB : at == 135 ? 0xCD : 0);
  }) {
    std::array<std::uint8_t, 128> block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = byteAt(i + 8);
    backend->halvern().setBlock(block);
  }
  // Runs on a fresh connection, closed at the end; the error text or "".
  std::string run(const Operation& operation) {
    const std::string failure = failureOf([&] {
      HalvernDevice device(backend, sleeper());
      operation(device);
    });
    get();
    return failure;
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

// "SET 06 84; pause; GET" to the trace Rig writes: 520-byte reports, 25 ms pauses.
std::vector<std::string> trace(const std::string& script) {
  std::vector<std::string> out;
  std::istringstream in(script);
  for (std::string step; std::getline(in >> std::ws, step, ';');)
    out.push_back(step == "pause" ? "pause 25000"
                  : step == "GET" ? "GET 520"
                                  : "SET " + sparse(bytes(step.substr(4), 520)));
  return out;
}

Operation lighting(const HalvernLightingConfig& config) {
  return [=](auto& d) { d.setLighting(config); };
}
const std::string badRange = "Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen.";
const std::string configRead = "SET 06 84 00 00 01 00 80 00; pause; pause; GET;";

// The four reports and their pacing (an answer is read 50 ms after its request), and requests
// refused before any report: the trace and the error each gives.
const std::tuple<const char*, std::string, std::string, Operation> sequences[] = {
    {"model query", "SET 06 82 01 00 01 00 06; pause; pause; GET", "",
     [](auto& d) { d.queryModel(); }},
    {"configuration read", configRead, "", [](auto& d) { d.readConfig(); }},
    {"write-back", configRead + "SET 06 04 00 00 01 00 80 00 ab @135 cd; pause;" + configRead, "",
     [](auto& d) { d.verifyUnchangedConfigWrite(); }},
    {"static colour",
     configRead + "SET 06 04 00 00 01 00 80 00 ab @18 01 @135 cd; pause;"
                  "SET 06 0a 00 00 00 00 00 02 @29 11 22 33 @514 5a a5; pause",
     "", lighting({HalvernEffect::staticColor, {0x11, 0x22, 0x33}, 0, 0, 0})},
    {"brightness 5", "", badRange, lighting({HalvernEffect::aurora, {}, 5, 0, 0})},
    {"speed 5", "", badRange, lighting({HalvernEffect::aurora, {}, 0, 5, 0})},
    {"off, brightness 255", "", badRange, lighting({HalvernEffect::off, {}, 255, 0, 0})},
    {"effect 19", "", "Unbekannter Halvern-Effekt (19).",
     lighting({HalvernEffect(19), {}, 4, 4, 0})},
    {"effect -1", "", "Unbekannter Halvern-Effekt (-1).",
     lighting({HalvernEffect(-1), {}, 4, 4, 0})},
    {"per-key colours", "",
     "Einzeltastenfarben werden von der Corvane Pro unter Linux derzeit nicht unterstützt.",
     [](auto& d) {
       d.setPerKeyRGB({{1, {255, 0, 0}}});
     }},
};

TEST(HalvernDevice, ReportLayoutsPausesAndAFaultAtEveryStep) {
  for (const auto& [name, script, error, operation] : sequences) {
    SCOPED_TRACE(name);
    expectTraceAndEachFaultStops<Rig>(
        trace(script), [&](Rig& rig) { return rig.run(operation); }, error);
  }
  Rig rig;
  rig.backend->addFault("open:EACCES");
  EXPECT_TRUE(rig.run(std::get<3>(sequences[3])).starts_with("Linux verweigert den HID-Zugriff."));
  EXPECT_TRUE(rig.lines.empty());
}

// Every byte of the read block goes back unchanged except those the lighting owns; the colour
// report follows for effects with a colour.
TEST(HalvernDevice, LightingChangesOnlyTheEffectsBytes) {
  // Changes beyond byte 17 (custom mode, cleared) as "position:value", and the colour report.
  const std::tuple<HalvernLightingConfig, std::string, bool> rows[] = {
      {{HalvernEffect::off, {1, 2, 3}, 4, 4, true}, "18:00", false},
      {{HalvernEffect::staticColor, {1, 2, 3}, 3, 4, false}, "18:01 66:03 67:00", true},
      {{HalvernEffect::staticColor, {0, 0, 0}, 0, 0, true}, "18:01 66:00 67:07", true},
      {{HalvernEffect::wave, {1, 2, 3}, 4, 3, true}, "18:03 70:04 71:37", false},
      {{HalvernEffect::aurora, {0xff, 0, 0x80}, 2, 1, true}, "18:0b 86:02 87:17", true},
      {{HalvernEffect::prism, {1, 2, 3}, 1, 2, false}, "18:10 96:01 97:20", false},
  };
  for (const auto& [config, changes, colorReport] : rows) {
    SCOPED_TRACE(name(config.effect));
    // Custom mode on, and no block byte equal to anything the lighting writes.
    Rig rig([](std::size_t at) -> std::uint8_t { return at == 17 ? 1 : 0x80 | (at & 0x7F); });
    EXPECT_EQ(rig.run([&](auto& d) { d.setLighting(config); }), "");
    const auto log = rig.backend->log();
    ASSERT_GE(log.size(), 3u);
    const Bytes &read = log[1].bytes, &written = log[2].bytes;
    std::string changed = hexBytes(written, 8);
    for (std::size_t i = 8; i < 136; ++i)
      if (read[i] != written[i]) changed += " " + std::to_string(i) + ":" + hexBytes({written[i]});
    EXPECT_EQ(changed, "06 04 00 00 01 00 80 00 17:00 " + changes);
    EXPECT_EQ(sparse(Bytes(written.begin() + 136, written.end())), "/384");
    const std::string rgb = hexBytes({config.color.red, config.color.green, config.color.blue});
    EXPECT_EQ(log.size() == 4 ? sparse(log[3].bytes) : "",
              colorReport ? sparse(bytes("06 0a 00 00 00 00 00 02 @29 " + rgb + " @514 5a a5", 520))
                          : "");
  }
}

// Answers the firmware model does not give: their length, ID and command echo decide.
TEST(HalvernDevice, AnswersAreCheckedAndCut) {
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  // model query or configuration read, answer, the length it admits to (0: its size), outcome
  const std::tuple<bool, Bytes, std::size_t, std::string> rows[] = {
      {false, answer("06 84", 136), 0, "ok 136"},
      {false, answer("06 84", 135), 0, refused + "06 84 02 03 04 05 06 07"},
      {false, answer("06 84", 200), 0, "ok 136"},
      {false, answer("06 84", 520), 4096, "ok 136"},  // longer than the buffer
      {false, answer("06 83", 136), 0, refused + "06 83 02 03 04 05 06 07"},
      {false, answer("05 84", 136), 0, refused + "05 84 02 03 04 05 06 07"},
      {false, {}, 0, refused},
      {true, answer("06 82", 14), 0, "ok 14"},
      {true, answer("06 82", 13), 0, refused + "06 82 02 03 04 05 06 07"},
      {true, answer("06 84", 14), 0, refused + "06 84 02 03 04 05 06 07"},
  };
  for (const auto& [model, reply, claimed, outcome] : rows) {
    SCOPED_TRACE(hexBytes(reply, 2) + " / " + std::to_string(reply.size()));
    HalvernDevice device(canned({{{}, 520, {reply}, claimed}}), [](auto) {});
    Bytes response;
    const std::string failure = failureOf(
        [&] { response = model ? device.queryModel().response : device.readConfig().response; });
    EXPECT_EQ(failure.empty() ? "ok " + std::to_string(response.size()) : failure, outcome);
    EXPECT_EQ(hexBytes(response), hexBytes(reply, response.size()));
  }
}

// Only the 128-byte block counts, from its first to its last byte; the answer's header may
// differ between reads.
TEST(HalvernDevice, WriteBackComparesTheBlock) {
  const Bytes first = answer("06 84", 136);
  for (const auto& [changed, unchanged] :
       {std::pair{-1, true}, {2, true}, {7, true}, {8, false}, {135, false}}) {
    Bytes second = first;
    if (changed >= 0) second[changed] ^= 0xFF;
    HalvernDevice device(canned({{{}, 520, {first, second}}}), [](auto) {});
    EXPECT_EQ(device.verifyUnchangedConfigWrite(), unchanged) << "byte " << changed;
  }
}

// The first interface with 520-byte reports; detection opens nothing, a connection opens once
// and closes at the end, an unused one never.
TEST(HalvernDevice, DiscoveryAndConnection) {
  const std::pair<std::vector<std::optional<std::int64_t>>, std::string> rows[] = {
      {{}, "Halvern Corvane Pro wurde nicht per USB gefunden."},
      {{0, 64, std::nullopt}, "Konfigurationsschnittstelle des Keyboards nicht gefunden."},
      {{520, 520}, "0 open, 0 SET 06 82, 0 GET, 0 SET 06 82, 0 GET, 0 close"},
      {{std::nullopt, 521, 520}, "2 open, 2 SET 06 82, 2 GET, 2 SET 06 82, 2 GET, 2 close"}};
  for (const auto& [sizes, outcome] : rows) {
    std::vector<CannedBackend::Interface> interfaces;
    for (auto size : sizes) interfaces.push_back({{}, size, {answer("06 82", 14)}});
    auto backend = canned(interfaces);
    EXPECT_EQ(HalvernDevice::isConnected(backend), outcome.ends_with("close")) << outcome;
    const std::string failure = failureOf([&] {
      HalvernDevice device(backend, [](auto) {});
      device.queryModel(), device.queryModel();
    });
    EXPECT_EQ(failure.empty() ? backend->events : failure, outcome);
  }
  auto unused = canned({{{}, 520}});
  HalvernDevice(unused, [](auto) {});
  EXPECT_EQ(unused->events, "") << "closed an interface it never opened";
}

TEST(HalvernDevice, WithoutABackendThereIsNoKeyboard) {
  EXPECT_FALSE(HalvernDevice::isConnected(nullptr));
  EXPECT_EQ(failureOf([] { HalvernDevice device(nullptr, [](auto) {}); }),
            "Halvern Corvane Pro wurde nicht per USB gefunden.");
}

}  // namespace
}  // namespace zepa
