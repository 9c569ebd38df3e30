// SPDX-License-Identifier: MIT
#include "protocol/halvern_device.hpp"

#include <gtest/gtest.h>

#include <map>

#include "tests/support/hid_traffic.hpp"

namespace zepa {
namespace {

using test::PrintTo;

using namespace zepa::test;
using namespace std::chrono_literals;
using Operation = std::function<void(HalvernDevice&)>;

// The in-process keyboards. The Halvern's configuration block is marked at its first and last
// byte, so a shifted copy shows, and holds aurora (11) in custom mode (byte 17), so both show
// when the lighting changes them.
struct Rig : Trace {
  Rig() {
    std::array<std::uint8_t, 128> block{};
    block.front() = 0xAB;
    block[17 - 8] = 1;
    block[18 - 8] = 0x0B;
    block.back() = 0xCD;
    backend->halvern().setBlock(block);
  }
  // Runs on a fresh connection, closed at the end.
  std::optional<ZEPAError> run(const Operation& operation) {
    const auto error = errorOf([&] {
      HalvernDevice device(backend, sleeper());
      operation(device);
    });
    get();
    return error;
  }
};

// The Halvern's traffic: 520-byte reports, 25 ms after each, and an answer read 50 ms after
// its request.
Traffic write(const std::string& head, const std::map<std::size_t, std::string>& at = {}) {
  return {{"SET " + shown(report(head, 520, at))}, {"pause 25000"}};
}
Traffic answer() {
  return {{"pause 25000"}, {"GET 520"}};
}

// `length` bytes: the given head, then each byte its own position, so a wrong offset shows.
Bytes numbered(const std::string& head, std::size_t length) {
  Bytes out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::uint8_t>(i);
  const Bytes start = bytes(head);
  std::copy_n(start.begin(), std::min(start.size(), length), out.begin());
  return out;
}

Operation lighting(const HalvernLightingConfig& config) {
  return [=](auto& d) { d.setLighting(config); };
}
const std::string badRange = "Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen.";
Operation effect(int raw) {
  return lighting({HalvernEffect(raw), {}, 4, 4, 0});
}
const Operation perKey = [](auto& d) { d.setPerKeyRGB({{1, {255, 0, 0}}}); };
const Traffic configRead = write("06 84 00 00 01 00 80 00") + answer();

// The reports and their pacing, and requests refused before any report. Every block byte goes
// back as read but custom mode, cleared; an effect with a colour changes more, which the test
// through hidraw pins byte for byte.
struct Sequence {
  const char* name;
  Traffic traffic;
  std::string error;
  Operation run;
};

const Sequence sequences[] = {
    {"off keeps the effects' settings",
     configRead + write("06 04 00 00 01 00 80 00 ab", {{135, "cd"}}), "",
     lighting({HalvernEffect::off, {1, 2, 3}, 4, 4, 1})},
    {"brightness 5", {}, badRange, lighting({HalvernEffect::aurora, {}, 5, 0, 0})},
    {"effect 19", {}, "Unbekannter Halvern-Effekt (19).", effect(19)},
    {"per-key colours",
     {},
     "Einzeltastenfarben werden von der Corvane Pro unter Linux derzeit nicht unterstützt.",
     perKey},
};

class HalvernSequence : public ::testing::TestWithParam<Sequence> {};

TEST_P(HalvernSequence, SendsItsReportsAndStopsAtAnyFault) {
  const Sequence& s = GetParam();
  expectTraceAndEachFaultStops<Rig>(
      s.traffic, [&](Rig& rig) { return rig.run(s.run); }, s.error);
}

INSTANTIATE_TEST_SUITE_P(, HalvernSequence, ::testing::ValuesIn(sequences),
                         [](const auto& info) { return testName(info.param.name); });

// A late wake-up after a request counts towards the 50 ms before its answer, so overshoots do
// not add up.
struct Oversleep {
  const char* name;
  std::chrono::microseconds late;
  std::string pauseBeforeAnswer;
};

class HalvernPacing : public ::testing::TestWithParam<Oversleep> {};

TEST_P(HalvernPacing, TheWaitForAnAnswerCountsTheLateWakeUp) {
  Rig rig;
  rig.overslept = GetParam().late;
  ASSERT_FALSE(rig.run([](auto& d) { d.queryModel(); }).has_value());
  EXPECT_EQ(rig.lines.at(2), GetParam().pauseBeforeAnswer);
}

INSTANTIATE_TEST_SUITE_P(, HalvernPacing,
                         ::testing::Values(Oversleep{"6 ms late", 6ms, "pause 19000"},
                                           Oversleep{"late past the answer", 30ms, "pause 0"}),
                         [](const auto& info) { return testName(info.param.name); });

// Answers the firmware model does not give: their length, ID and command echo decide.
struct Answer {
  const char* name;
  bool model;  // the model query, else the configuration read
  Bytes reply;
  std::size_t claimed;  // the length the backend admits to; 0: the reply's size
  bool refused;
  std::size_t kept;  // the bytes the answer keeps, or the error carries
};

class HalvernAnswer : public ::testing::TestWithParam<Answer> {};

TEST_P(HalvernAnswer, IsCheckedAndCut) {
  const Answer& row = GetParam();
  HalvernDevice device(canned({{{}, 520, {row.reply}, row.claimed}}), [](auto) {});
  Bytes response;
  const auto error = errorOf(
      [&] { response = row.model ? device.queryModel().response : device.readConfig().response; });
  EXPECT_EQ(error.has_value(), row.refused);
  if (error) response = error->response();
  EXPECT_EQ(hex(response), hex(std::span(row.reply).first(row.kept)));
}

INSTANTIATE_TEST_SUITE_P(
    , HalvernAnswer,
    ::testing::Values(Answer{"config 135", false, numbered("06 84", 135), 0, true, 135},
                      Answer{"claims past the buffer", false, numbered("06 84", 520), 4096, false,
                             136},
                      Answer{"wrong command", false, numbered("06 83", 136), 0, true, 136},
                      Answer{"wrong report ID", false, numbered("05 84", 136), 0, true, 136},
                      Answer{"model 13", true, numbered("06 82", 13), 0, true, 13}),
    [](const auto& info) { return testName(info.param.name); });

// Only the 128-byte block counts, from its first to its last byte; the answer's header may
// differ between reads.
struct WriteBack {
  const char* name;
  std::size_t changedByte;
  bool unchanged;
};

class HalvernWriteBack : public ::testing::TestWithParam<WriteBack> {};

TEST_P(HalvernWriteBack, ComparesTheBlock) {
  const Bytes first = numbered("06 84", 136);
  Bytes second = first;
  second[GetParam().changedByte] ^= 0xFF;
  HalvernDevice device(canned({{{}, 520, {first, second}}}), [](auto) {});
  EXPECT_EQ(device.verifyUnchangedConfigWrite(), GetParam().unchanged);
}

INSTANTIATE_TEST_SUITE_P(, HalvernWriteBack,
                         ::testing::Values(WriteBack{"header byte 7", 7, true},
                                           WriteBack{"first block byte", 8, false},
                                           WriteBack{"last block byte", 135, false}),
                         [](const auto& info) { return testName(info.param.name); });

// The first interface with 520-byte reports; detection, an unused connection, opens nothing; a
// connection opens once and closes at the end.
struct Discovery {
  const char* name;
  std::vector<std::optional<std::int64_t>> sizes;
  std::string outcome;  // the error, or the events on the interfaces
};

class HalvernDiscovery : public ::testing::TestWithParam<Discovery> {};

TEST_P(HalvernDiscovery, TakesTheConfigurationInterface) {
  const Discovery& row = GetParam();
  std::vector<CannedBackend::Interface> interfaces;
  for (auto size : row.sizes) interfaces.push_back({{}, size, {numbered("06 82", 14)}});
  auto backend = canned(interfaces);
  EXPECT_EQ(HalvernDevice::isConnected(backend), row.outcome.ends_with("close"));
  const std::string failure = failureOf([&] {
    HalvernDevice device(backend, [](auto) {});
    device.queryModel();
    device.queryModel();
  });
  EXPECT_EQ(failure.empty() ? backend->events : failure, row.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    , HalvernDiscovery,
    ::testing::Values(
        Discovery{"no keyboard", {}, "Halvern Corvane Pro wurde nicht per USB gefunden."},
        Discovery{"no 520-byte interface",
                  {0, 64, std::nullopt},
                  "Konfigurationsschnittstelle des Keyboards nicht gefunden."},
        Discovery{"first of two after others",
                  {std::nullopt, 521, 520, 520},
                  "2 open, 2 SET 06 82, 2 GET, 2 SET 06 82, 2 GET, 2 close"}),
    [](const auto& info) { return testName(info.param.name); });

TEST(HalvernDevice, WithoutABackendThereIsNoKeyboard) {
  EXPECT_FALSE(HalvernDevice::isConnected(nullptr));
}

}  // namespace
}  // namespace zepa
