// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
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
};

Bytes z(const std::string& head, const Slots& at = {}) {
  return report(head, 64, at);
}

// Reports one after the other.
Reports operator+(Reports first, const Reports& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

const Reports beginCommand{z("04 18")}, applyCommand{z("04 02")}, endCommand{z("04 f0")};
const Reports lightingHeader{z("04 13 00 00 00 00 00 00 01")};
const Reports rollingReport{z("0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55")};

// A data header ("04 <kind> … <count>"), then the first `sent` reports of a 576-byte block
// with the given slots: a block cut short, so it never reaches its trailer.
Reports block(const std::string& header, const Slots& slots, std::size_t sent) {
  Reports reports{z("04 " + header)};
  const auto whole = report("", 576, slots);
  for (std::size_t i = 0; i < sent; ++i)
    reports.emplace_back(whole.begin() + static_cast<std::ptrdiff_t>(i * 64),
                         whole.begin() + static_cast<std::ptrdiff_t>(i * 64 + 64));
  return reports;
}

// `checks` is JSON: each key a pointer into the state, with the value expected there.
void expectState(const json& state, const char* error, const char* checks) {
  const std::string last = state["lastError"];
  EXPECT_NE(last.find(error), std::string::npos) << last;
  const json expected = json::parse(checks);
  for (const auto& [pointer, value] : expected.items())
    EXPECT_EQ(state.at(json::json_pointer(pointer)), value) << pointer << " in " << state.dump(1);
}

struct Sequence {
  const char* name;
  Reports reports;
  const char* error;   // part of the last error
  const char* checks;  // JSON: pointers into the state, with the value expected there
};

const Sequence zepaSequences[] = {
    {"dataWithoutHeader", beginCommand + rollingReport + applyCommand + endCommand,
     "data without header", R"({"/lighting":null})"},
    {"endWithoutApply", beginCommand + lightingHeader + rollingReport + endCommand,
     "end without apply", R"({"/lighting":null})"},
    {"lightingWithoutTrailer",
     beginCommand + lightingHeader + Reports{z("0b 00 d2 ff 00 00 00 00 01 05 03")} + applyCommand,
     "trailer", R"({"/lighting":null})"},
    // A write that failed half-way through a block: the host starts over with a begin.
    {"interruptedBlockThenLighting",
     beginCommand + block("23 00 00 00 00 00 00 09", {{4, "01 ff 00 00"}}, 3) + beginCommand +
         lightingHeader + rollingReport + applyCommand,
     "wrong count: 3 of 9", R"({"/applied":1,"/rejected":1,"/perKeyColors":[]})"},
};

class ZEPAFirmware : public ::testing::TestWithParam<Sequence> {};

TEST_P(ZEPAFirmware, RejectsMalformedSequences) {
  Rig rig(false);
  for (const auto& r : GetParam().reports) ASSERT_EQ(rig.send(r), ok);
  expectState(rig.backend.zepaState(), GetParam().error, GetParam().checks);
}

INSTANTIATE_TEST_SUITE_P(, ZEPAFirmware, ::testing::ValuesIn(zepaSequences),
                         [](const auto& info) { return std::string(info.param.name); });

Bytes h(const std::string& head, const Slots& at = {}) {
  return report(head, 520, at);
}

struct Write {
  const char* name;
  Bytes request;
  const char* error;
  const char* checks;
};

const Write halvernWrites[] = {
    {"configWrongHeader", h("06 04 00 00 01 00 40 00", {{17, "00 0b"}}), "wrong header",
     R"({"/effect":15})"},
    {"colourWithOneMarker", h("06 0a 00 00 00 00 00 02", {{29, "11 22 33"}, {515, "a5"}}),
     "markers", R"({"/color":null})"},
    {"unknownCommand", h("06 33"), "unknown command 33", R"({"/effect":15})"},
};

class HalvernFirmware : public ::testing::TestWithParam<Write> {};

TEST_P(HalvernFirmware, RejectsMalformedWrites) {
  Rig rig(true);
  ASSERT_EQ(rig.send(GetParam().request), ok);
  expectState(rig.backend.halvernState(), GetParam().error, GetParam().checks);
}

INSTANTIATE_TEST_SUITE_P(, HalvernFirmware, ::testing::ValuesIn(halvernWrites),
                         [](const auto& info) { return std::string(info.param.name); });

// Each refusal names its text; the first one stops the test.
TEST(SimulatorTexts, MalformedFaultsAreRefused) {
  for (const char* text : {"set:1", "set:0:EPIPE", "set:x:EPIPE", "get:1:EWHAT", "get:1:short:-1"})
    ASSERT_THROW(sim::InProcessBackend().addFault(text), std::invalid_argument) << text;
}

}  // namespace
}  // namespace zepa::test
