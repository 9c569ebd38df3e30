// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/support/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa::test {
namespace {

using test::PrintTo;

using Bytes = std::vector<std::uint8_t>;
using Reports = std::vector<Bytes>;
using Slots = std::map<std::size_t, std::string>;
using nlohmann::json;
constexpr auto ok = hid::kIOReturnSuccess;

// One keyboard alone, its configuration interface open: the ZEPA's unnumbered 64-byte report
// or the Halvern's 520-byte report 6.
struct Rig {
  sim::InProcessBackend backend;
  std::uint8_t id;
  std::size_t size;
  std::unique_ptr<hid::Device> device;

  explicit Rig(bool halvern)
      : backend(sim::SimulatorOptions{!halvern, halvern, 0, {}}),
        id(halvern ? 6 : 0),
        size(halvern ? 520 : 64) {
    for (auto& d : backend.copyDevices(halvern ? 0x258A : 0x0C45, halvern ? 0x010C : 0x800A))
      if (d->property("MaxFeatureReportSize") == static_cast<std::int64_t>(size))
        device = std::move(d);
    EXPECT_EQ(device->open(), ok);
  }
  hid::IOReturn send(const Bytes& data) {
    return device->setReport(hid::ReportType::feature, id, data);
  }
  Bytes read() {
    Bytes answer(size, 0);
    answer[0] = id;
    std::size_t length = size;
    EXPECT_EQ(device->getReport(hid::ReportType::feature, id, answer, length), ok);
    answer.resize(length);
    return answer;
  }
};

Bytes z(const std::string& head, const Slots& at = {}) {
  return report(head, 64, at);
}

const Bytes beginCommand = z("04 18"), applyCommand = z("04 02"), endCommand = z("04 f0");
const Bytes lightingHeader = z("04 13 00 00 00 00 00 00 01");
const Bytes clockHeader = z("04 28 00 00 00 00 00 00 01");
const Bytes rollingReport = z("0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55");

// Reports one after the other: single reports and lists of them.
template <typename... Parts>
Reports seq(const Parts&... parts) {
  Reports all;
  auto add = [&](const auto& part) {
    if constexpr (std::is_same_v<std::decay_t<decltype(part)>, Bytes>)
      all.push_back(part);
    else
      all.insert(all.end(), part.begin(), part.end());
  };
  (add(parts), ...);
  return all;
}

// A data header ("04 <kind> … <count>"), then the first `sent` reports of a 576-byte block
// with the given slots and, unless left out, its trailer.
Reports block(const std::string& header, const Slots& slots, std::size_t sent = 9,
              bool trailer = true) {
  Reports reports{z("04 " + header)};
  auto whole = report("", 576, slots);
  if (trailer) {
    whole[574] = 0xAA;
    whole[575] = 0x55;
  }
  for (std::size_t i = 0; i < sent; ++i)
    reports.emplace_back(whole.begin() + static_cast<std::ptrdiff_t>(i * 64),
                         whole.begin() + static_cast<std::ptrdiff_t>(i * 64 + 64));
  return reports;
}

// `checks` is JSON: each key a pointer into the state, with the value expected there.
void expectState(const json& state, const char* error, const char* checks) {
  const std::string last = state["lastError"];
  EXPECT_TRUE(*error ? last.find(error) != std::string::npos : last.empty()) << last;
  const json expected = json::parse(checks);
  for (const auto& [pointer, value] : expected.items())
    EXPECT_EQ(state.at(json::json_pointer(pointer)), value) << pointer << " in " << state.dump(1);
}

const std::string colours = "23 00 00 00 00 00 00 09";

struct Sequence {
  const char* name;
  Reports reports;
  const char* error;   // part of the last error; "" for none
  const char* checks;  // JSON: pointers into the state, with the value expected there
};

const Sequence zepaSequences[] = {
    {"lighting", seq(beginCommand, lightingHeader, rollingReport, applyCommand, endCommand), "",
     R"({"/applied":1,"/rejected":0,
         "/lighting/report":"0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55"})"},
    {"perKeyMode",
     seq(beginCommand, lightingHeader, z("80 00 00 00 00 00 00 00 00 03", {{14, "aa 55"}}),
         applyCommand, endCommand),
     "", R"({"/applied":1,"/rejected":0,"/lighting/perKeyMode":true})"},
    {"clock",
     seq(beginCommand, clockHeader, z("00 01 5a 19 03 09 0e 05 07", {{62, "aa 55"}}), applyCommand),
     "",
     R"({"/applied":1,"/rejected":0,"/clock":{"profile":1,"year":2025,"month":3,"day":9,
         "hour":14,"minute":5,"second":7,"weekday":0}})"},
    {"baseRemap",
     seq(beginCommand, block("11 00 00 00 00 00 00 09", {{8, "01 00 04 00"}}), applyCommand), "",
     R"({"/applied":1,"/baseRemaps":[{"index":2,"action":1,"param1":0,"param2":4,"param3":0}],
         "/fnRemaps":[]})"},
    {"fnRemap",
     seq(beginCommand, block("27 00 00 00 00 00 00 09", {{220, "02 00 29 00"}}), applyCommand,
         endCommand),
     "",
     R"({"/applied":1,"/fnRemaps":[{"index":55,"action":2,"param1":0,"param2":41,"param3":0}],
         "/baseRemaps":[]})"},
    {"perKeyColour",
     seq(beginCommand, block(colours, {{4, "01 ff 00 00"}, {568, "8e 01 02 03"}}), applyCommand,
         endCommand),
     "",
     R"({"/applied":1,"/perKeyColors":[{"index":1,"key":1,"red":255,"green":0,"blue":0},
         {"index":142,"key":142,"red":1,"green":2,"blue":3}]})"},
    {"dataWithoutHeader", seq(beginCommand, rollingReport, applyCommand, endCommand),
     "data without header", R"({"/applied":0,"/rejected":1,"/lighting":null})"},
    {"headerWithoutBegin", seq(lightingHeader, rollingReport, applyCommand, endCommand),
     "without begin", R"({"/applied":0,"/rejected":1,"/lighting":null})"},
    {"headerAnnouncesWrongCount",
     seq(beginCommand, block("23 00 00 00 00 00 00 08", {{4, "01 ff 00 00"}}), applyCommand),
     "wrong count", R"({"/applied":0,"/rejected":1,"/perKeyColors":[]})"},
    {"applyBeforeAllData",
     seq(beginCommand, block("11 00 00 00 00 00 00 09", {{220, "02 00 29 00"}}, 8), applyCommand),
     "wrong count: 8 of 9", R"({"/applied":0,"/rejected":1,"/baseRemaps":[]})"},
    {"applyWithoutData", seq(beginCommand, applyCommand, endCommand), "apply without data",
     R"({"/applied":0,"/rejected":1,"/lighting":null})"},
    {"endWithoutApply", seq(beginCommand, lightingHeader, rollingReport, endCommand),
     "end without apply", R"({"/applied":0,"/rejected":1,"/lighting":null})"},
    {"lightingWithoutTrailer",
     seq(beginCommand, lightingHeader, z("0b 00 d2 ff 00 00 00 00 01 05 03"), applyCommand),
     "trailer", R"({"/applied":0,"/rejected":1,"/lighting":null})"},
    {"unknownEffect", seq(beginCommand, lightingHeader, z("14", {{14, "aa 55"}}), applyCommand),
     "unknown effect 20", R"({"/applied":0,"/rejected":1,"/lighting":null})"},
    {"clockWithMonth13",
     seq(beginCommand, clockHeader, z("00 01 5a 19 0d 09 0e 05 07", {{62, "aa 55"}}), applyCommand),
     "impossible date", R"({"/applied":0,"/rejected":1,"/clock":null})"},
    {"blockWithoutTrailer",
     seq(beginCommand, block(colours, {{4, "01 ff 00 00"}}, 9, false), applyCommand), "trailer",
     R"({"/applied":0,"/rejected":1,"/perKeyColors":[]})"},
    // A write that failed half-way through a block: the host starts over with a begin.
    {"interruptedBlockThenLighting",
     seq(beginCommand, block(colours, {{4, "01 ff 00 00"}}, 3), beginCommand, lightingHeader,
         rollingReport, applyCommand),
     "wrong count: 3 of 9", R"({"/applied":1,"/rejected":1,"/perKeyColors":[]})"},
};

class ZEPAFirmware : public ::testing::TestWithParam<Sequence> {};

TEST_P(ZEPAFirmware, AppliesCompleteSequencesAndRejectsMalformedOnes) {
  Rig rig(false);
  for (const auto& r : GetParam().reports) ASSERT_EQ(rig.send(r), ok);
  expectState(rig.backend.zepaState(), GetParam().error, GetParam().checks);
}

INSTANTIATE_TEST_SUITE_P(, ZEPAFirmware, ::testing::ValuesIn(zepaSequences),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ZEPAFirmwareReadBack, EchoesTheFirstThreeBytesOfTheLastReportWithByte3Set) {
  Rig rig(false);
  ASSERT_EQ(rig.send(z("aa bb cc dd ee")), ok);
  EXPECT_BYTES(rig.read(), hex(z("aa bb cc 01")));
}

Bytes h(const std::string& head, const Slots& at = {}) {
  return report(head, 520, at);
}

const std::string colour = "06 0a 00 00 00 00 00 02", configRead = "06 84 00 00 01 00 80 00";
// Effect 11 (aurora) at brightness 2, speed 1, multicolour; custom mode off.
const Slots aurora = {{17, "00 0b"}, {86, "02 17"}, {135, "99"}};

struct Exchange {
  const char* name;
  Reports requests;
  Bytes answer;  // to a read after them
  const char* error;
  const char* checks;
};

const Exchange halvernExchanges[] = {
    {"modelQuery", seq(h("06 82 01 00 01 00 06")), h("06 82 01 00 01 00 06 00 8a 25 0c 01 6c 02"),
     "", R"({"/rejected":0})"},
    // The configuration read gives back the whole block written, to its last byte.
    {"config", seq(h("06 04 00 00 01 00 80 00", aurora), h(configRead)), h(configRead, aurora), "",
     R"({"/configWrites":1,"/rejected":0,"/effect":11,"/customMode":false,
         "/effects/10":{"effect":11,"brightness":2,"speed":1,"colorful":true}})"},
    {"configWrongHeader", seq(h("06 04 00 00 01 00 40 00", {{17, "00 0b"}})), h("06 04"),
     "wrong header", R"({"/configWrites":0,"/rejected":1,"/effect":15})"},
    // After a write the keyboard echoes the command without data.
    {"colour", seq(h(colour, {{29, "11 22 33"}, {514, "5a a5"}})), h("06 0a"), "",
     R"({"/rejected":0,"/color":{"red":17,"green":34,"blue":51}})"},
    {"colourWithOneMarker", seq(h(colour, {{29, "11 22 33"}, {515, "a5"}})), h("06 0a"), "markers",
     R"({"/rejected":1,"/color":null})"},
    {"unknownCommand", seq(h("06 33")), h("06 33"), "unknown command 33",
     R"({"/rejected":1,"/effect":15})"},
};

class HalvernFirmware : public ::testing::TestWithParam<Exchange> {};

TEST_P(HalvernFirmware, AnswersStoresWellFormedWritesAndRejectsTheRest) {
  Rig rig(true);
  for (const auto& r : GetParam().requests) ASSERT_EQ(rig.send(r), ok);
  EXPECT_EQ(hex(rig.read()), hex(GetParam().answer));
  expectState(rig.backend.halvernState(), GetParam().error, GetParam().checks);
}

INSTANTIATE_TEST_SUITE_P(, HalvernFirmware, ::testing::ValuesIn(halvernExchanges),
                         [](const auto& info) { return std::string(info.param.name); });

// Each refusal names its text; the first one stops the test.
TEST(SimulatorTexts, MalformedFaultsAreRefused) {
  for (const char* text :
       {"", "set", "set:0:EPIPE", "set:x:EPIPE", "set:1", "get:1:EWHAT", "get:1:short",
        "get:1:short:-1", "open:EACCES:1", "frob:1", "get:1:nak:2", "set:1:nak"})
    ASSERT_THROW(sim::InProcessBackend().addFault(text), std::invalid_argument) << text;
}

TEST(SimulatorTexts, MalformedLogLinesAreRefused) {
  for (const char* line :
       {"", "x hidraw2 SET 0 04", "1 hidraw2 PUT 0 04", "1 hidraw2 SET", "1 hidraw2 SET 0 4",
        "1 hidraw2 SET 0 0g", "1 event0 GETKEYCODE 0xzz 00", "1 hidraw2 SET 99999999999 00"})
    ASSERT_FALSE(sim::parseLogLine(line)) << '"' << line << '"';
}

}  // namespace
}  // namespace zepa::test
