#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/sim/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Reports = std::vector<Bytes>;
using Slots = std::map<std::size_t, std::string>;
using nlohmann::json;
constexpr auto kOk = hid::kIOReturnSuccess;

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
    EXPECT_EQ(device->open(), kOk);
  }
  hid::IOReturn send(const Bytes& data) {
    return device->setReport(hid::ReportType::feature, id, data);
  }
  Bytes read() {
    Bytes answer(size, 0);
    answer[0] = id;
    std::size_t length = size;
    EXPECT_EQ(device->getReport(hid::ReportType::feature, id, answer, length), kOk);
    answer.resize(length);
    return answer;
  }
};

Bytes z(const std::string& head, const Slots& at = {}) {
  return report(head, 64, at);
}

const Bytes kBegin = z("04 18"), kApply = z("04 02"), kEnd = z("04 f0");
const Bytes kLighting = z("04 13 00 00 00 00 00 00 01"), kClock = z("04 28 00 00 00 00 00 00 01");
const Bytes kRolling = z("0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55");

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
  if (trailer) whole[574] = 0xAA, whole[575] = 0x55;
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

TEST(ZepaFirmware, AppliesCompleteSequencesAndRejectsMalformedOnes) {
  const std::string colours = "23 00 00 00 00 00 00 09";
  const struct Row {
    const char* name;
    Reports reports;
    const char* error;  // part of the last error; "" for none
    const char* checks;
  } rows[] = {
      {"lighting", seq(kBegin, kLighting, kRolling, kApply, kEnd), "",
       R"({"/applied":1,"/rejected":0,
           "/lighting/report":"0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55"})"},
      {"perKeyMode",
       seq(kBegin, kLighting, z("80 00 00 00 00 00 00 00 00 03", {{14, "aa 55"}}), kApply, kEnd),
       "", R"({"/applied":1,"/rejected":0,"/lighting/perKeyMode":true})"},
      {"clock", seq(kBegin, kClock, z("00 01 5a 19 03 09 0e 05 07", {{62, "aa 55"}}), kApply), "",
       R"({"/applied":1,"/rejected":0,"/clock":{"profile":1,"year":2025,"month":3,"day":9,
           "hour":14,"minute":5,"second":7,"weekday":0}})"},
      {"baseRemap", seq(kBegin, block("11 00 00 00 00 00 00 09", {{8, "01 00 04 00"}}), kApply), "",
       R"({"/applied":1,"/baseRemaps":[{"index":2,"action":1,"param1":0,"param2":4,"param3":0}],
           "/fnRemaps":[]})"},
      {"fnRemap",
       seq(kBegin, block("27 00 00 00 00 00 00 09", {{220, "02 00 29 00"}}), kApply, kEnd), "",
       R"({"/applied":1,"/fnRemaps":[{"index":55,"action":2,"param1":0,"param2":41,"param3":0}],
           "/baseRemaps":[]})"},
      {"perKeyColour",
       seq(kBegin, block(colours, {{4, "01 ff 00 00"}, {568, "8e 01 02 03"}}), kApply, kEnd), "",
       R"({"/applied":1,"/perKeyColors":[{"index":1,"key":1,"red":255,"green":0,"blue":0},
           {"index":142,"key":142,"red":1,"green":2,"blue":3}]})"},
      {"dataWithoutHeader", seq(kBegin, kRolling, kApply, kEnd), "data without header",
       R"({"/applied":0,"/rejected":1,"/lighting":null})"},
      {"headerWithoutBegin", seq(kLighting, kRolling, kApply, kEnd), "without begin",
       R"({"/applied":0,"/rejected":1,"/lighting":null})"},
      {"headerAnnouncesWrongCount",
       seq(kBegin, block("23 00 00 00 00 00 00 08", {{4, "01 ff 00 00"}}), kApply), "wrong count",
       R"({"/applied":0,"/rejected":1,"/perKeyColors":[]})"},
      {"applyBeforeAllData",
       seq(kBegin, block("11 00 00 00 00 00 00 09", {{220, "02 00 29 00"}}, 8), kApply),
       "wrong count: 8 of 9", R"({"/applied":0,"/rejected":1,"/baseRemaps":[]})"},
      {"applyWithoutData", seq(kBegin, kApply, kEnd), "apply without data",
       R"({"/applied":0,"/rejected":1,"/lighting":null})"},
      {"endWithoutApply", seq(kBegin, kLighting, kRolling, kEnd), "end without apply",
       R"({"/applied":0,"/rejected":1,"/lighting":null})"},
      {"lightingWithoutTrailer",
       seq(kBegin, kLighting, z("0b 00 d2 ff 00 00 00 00 01 05 03"), kApply), "trailer",
       R"({"/applied":0,"/rejected":1,"/lighting":null})"},
      {"unknownEffect", seq(kBegin, kLighting, z("14", {{14, "aa 55"}}), kApply),
       "unknown effect 20", R"({"/applied":0,"/rejected":1,"/lighting":null})"},
      {"clockWithMonth13",
       seq(kBegin, kClock, z("00 01 5a 19 0d 09 0e 05 07", {{62, "aa 55"}}), kApply),
       "impossible date", R"({"/applied":0,"/rejected":1,"/clock":null})"},
      {"blockWithoutTrailer", seq(kBegin, block(colours, {{4, "01 ff 00 00"}}, 9, false), kApply),
       "trailer", R"({"/applied":0,"/rejected":1,"/perKeyColors":[]})"},
      // A write that failed half-way through a block: the host starts over with a begin.
      {"interruptedBlockThenLighting",
       seq(kBegin, block(colours, {{4, "01 ff 00 00"}}, 3), kBegin, kLighting, kRolling, kApply),
       "wrong count: 3 of 9", R"({"/applied":1,"/rejected":1,"/perKeyColors":[]})"},
      {"goodSequenceAfterRejectedOne",
       seq(kBegin, kApply, kEnd, kBegin, kLighting, kRolling, kApply, kEnd), "apply without data",
       R"({"/applied":1,"/rejected":1,"/lighting/effect":11})"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Rig rig(false);
    for (const auto& r : row.reports) ASSERT_EQ(rig.send(r), kOk);
    expectState(rig.backend.zepaState(), row.error, row.checks);
  }
}

TEST(ZepaFirmware, ReadBackEchoesTheFirstThreeBytesOfTheLastReportWithByte3Set) {
  Rig rig(false);
  ASSERT_EQ(rig.send(z("aa bb cc dd ee")), kOk);
  EXPECT_BYTES(rig.read(), hex(z("aa bb cc 01")));
}

Bytes h(const std::string& head, const Slots& at = {}) {
  return report(head, 520, at);
}

TEST(HalvernFirmware, AnswersStoresWellFormedWritesAndRejectsTheRest) {
  const std::string colour = "06 0a 00 00 00 00 00 02", read = "06 84 00 00 01 00 80 00";
  // Effect 11 (aurora) at brightness 2, speed 1, multicolour; custom mode off.
  const Slots aurora = {{17, "00 0b"}, {86, "02 17"}, {135, "99"}};
  const struct {
    const char* name;
    Reports requests;
    Bytes answer;  // to a read after them
    const char* error;
    const char* checks;
  } rows[] = {
      {"modelQuery", seq(h("06 82 01 00 01 00 06")), h("06 82 01 00 01 00 06 00 8a 25 0c 01 6c 02"),
       "", R"({"/rejected":0})"},
      // The configuration read gives back the whole block written, to its last byte.
      {"config", seq(h("06 04 00 00 01 00 80 00", aurora), h(read)), h(read, aurora), "",
       R"({"/configWrites":1,"/rejected":0,"/effect":11,"/customMode":false,
           "/effects/10":{"effect":11,"brightness":2,"speed":1,"colorful":true}})"},
      {"configWrongHeader", seq(h("06 04 00 00 01 00 40 00", {{17, "00 0b"}})), h("06 04"),
       "wrong header", R"({"/configWrites":0,"/rejected":1,"/effect":15})"},
      // After a write the keyboard echoes the command without data.
      {"colour", seq(h(colour, {{29, "11 22 33"}, {514, "5a a5"}})), h("06 0a"), "",
       R"({"/rejected":0,"/color":{"red":17,"green":34,"blue":51}})"},
      {"colourWithOneMarker", seq(h(colour, {{29, "11 22 33"}, {515, "a5"}})), h("06 0a"),
       "markers", R"({"/rejected":1,"/color":null})"},
      {"unknownCommand", seq(h("06 33")), h("06 33"), "unknown command 33",
       R"({"/rejected":1,"/effect":15})"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Rig rig(true);
    for (const auto& r : row.requests) ASSERT_EQ(rig.send(r), kOk);
    EXPECT_EQ(hex(rig.read()), hex(row.answer));
    expectState(rig.backend.halvernState(), row.error, row.checks);
  }
}

TEST(SimulatorTexts, MalformedFaultsAndLogLinesAreRefused) {
  for (const char* text : {"", "set", "set:0:EPIPE", "set:x:EPIPE", "set:1", "get:1:EWHAT",
                           "get:1:short", "get:1:short:", "get:1:short:-1", "unplug", "unplug:0",
                           "open:EACCES:1", "open:13", "frob:1", "get:1:nak:2", "set:1:nak"})
    EXPECT_THROW(sim::InProcessBackend().addFault(text), std::invalid_argument) << text;
  for (const char* line : {"", "x hidraw2 SET 0 04", "1 hidraw2 PUT 0 04", "1 hidraw2 SET",
                           "1 hidraw2 SET 0 4", "1 hidraw2 SET 0 0g", "1 hidraw2 SET 0 041",
                           "1 event0 GETKEYCODE 0xzz 00", "1 hidraw2 SET 99999999999 00"})
    EXPECT_FALSE(sim::parseLogLine(line)) << '"' << line << '"';
}

}  // namespace
}  // namespace zepa::test
