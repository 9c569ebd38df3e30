#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/sim/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa::test {
namespace {

using sim::InProcessBackend;
using sim::SimulatorOptions;

constexpr std::size_t kReport = 64;

std::vector<std::uint8_t> r64(const std::string& head,
                              const std::map<std::size_t, std::string>& at = {}) {
  return report(head, kReport, at);
}

const auto kBegin = r64("04 18");
const auto kApply = r64("04 02");
const auto kEnd = r64("04 f0");
const auto kLightingHeader = r64("04 13 00 00 00 00 00 00 01");
const auto kRolling = r64("0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55");
const auto kPerKeyMode = r64("80 00 00 00 00 00 00 00 00 03 00 00 00 00 aa 55");
const auto kClockHeader = r64("04 28 00 00 00 00 00 00 01");
const auto kClock = r64("00 01 5a 19 03 09 0e 05 07 00 00", {{62, "aa 55"}});

// A 576-byte block cut into its nine reports, with the trailer and the given slots.
std::vector<std::vector<std::uint8_t>> block(const std::map<std::size_t, std::string>& slots) {
  auto whole = report("", 576, slots);
  whole[574] = 0xAA;
  whole[575] = 0x55;
  std::vector<std::vector<std::uint8_t>> reports;
  for (std::size_t i = 0; i < 9; ++i)
    reports.emplace_back(whole.begin() + static_cast<std::ptrdiff_t>(i * kReport),
                         whole.begin() + static_cast<std::ptrdiff_t>((i + 1) * kReport));
  return reports;
}

std::vector<std::vector<std::uint8_t>> seq(
    std::initializer_list<std::vector<std::vector<std::uint8_t>>> parts) {
  std::vector<std::vector<std::uint8_t>> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The configuration interface of the simulated ZEPA VX10, opened.
struct ZepaLink {
  std::shared_ptr<InProcessBackend> backend =
      std::make_shared<InProcessBackend>(SimulatorOptions{true, false, 0, {}});
  std::unique_ptr<hid::Device> device;

  ZepaLink() {
    for (auto& candidate : backend->copyDevices(0x0C45, 0x800A))
      if (candidate->property("PrimaryUsagePage") == 0xFF13) device = std::move(candidate);
    EXPECT_TRUE(device);
    EXPECT_EQ(device->open(), hid::kIOReturnSuccess);
  }
  void send(const std::vector<std::uint8_t>& data) {
    ASSERT_EQ(device->setReport(hid::ReportType::feature, 0, data), hid::kIOReturnSuccess);
  }
  std::vector<std::uint8_t> readBack() {
    std::vector<std::uint8_t> buffer(kReport);
    std::size_t length = buffer.size();
    EXPECT_EQ(device->getReport(hid::ReportType::feature, 0, buffer, length),
              hid::kIOReturnSuccess);
    buffer.resize(length);
    return buffer;
  }
};

struct FramingCase {
  const char* name;
  std::vector<std::vector<std::uint8_t>> reports;
  int applied;
  int rejected;
  const char* error;        // part of the last error text; "" for none
  const char* pointer;      // JSON pointer into the state
  nlohmann::json expected;  // value there
};

void PrintTo(const FramingCase& c, std::ostream* out) {
  *out << c.name;
}

class ZepaFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(ZepaFraming, AppliesCompleteSequencesAndRejectsMalformedOnes) {
  const FramingCase& c = GetParam();
  ZepaLink link;
  for (const auto& r : c.reports) link.send(r);
  const auto state = link.backend->zepaState();
  EXPECT_EQ(state["applied"], c.applied);
  EXPECT_EQ(state["rejected"], c.rejected);
  EXPECT_NE(state["lastError"].get<std::string>().find(c.error), std::string::npos)
      << state["lastError"];
  if (std::string(c.error).empty()) {
    EXPECT_EQ(state["lastError"], "");
  }
  EXPECT_EQ(state.at(nlohmann::json::json_pointer(c.pointer)), c.expected) << state.dump(1);
}

const std::string kRollingText = "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55";

INSTANTIATE_TEST_SUITE_P(
    Sequences, ZepaFraming,
    ::testing::Values(
        FramingCase{"lighting", {kBegin, kLightingHeader, kRolling, kApply, kEnd}, 1, 0, "",
                    "/lighting/report", kRollingText},
        FramingCase{"perKeyMode", {kBegin, kLightingHeader, kPerKeyMode, kApply, kEnd}, 1, 0, "",
                    "/lighting/perKeyMode", true},
        FramingCase{"clock", {kBegin, kClockHeader, kClock, kApply}, 1, 0, "", "/clock",
                    {{"profile", 1}, {"year", 2025}, {"month", 3}, {"day", 9}, {"hour", 14},
                     {"minute", 5}, {"second", 7}, {"weekday", 0}}},
        FramingCase{"fnRemap",
                    seq({{kBegin, r64("04 27 00 00 00 00 00 00 09")},
                         block({{220, "02 00 29 00"}}),
                         {kApply, kEnd}}),
                    1, 0, "", "/fnRemaps",
                    nlohmann::json::array({{{"index", 55}, {"action", 2}, {"param1", 0},
                                            {"param2", 0x29}, {"param3", 0}}})},
        FramingCase{"perKeyColour",
                    seq({{kBegin, r64("04 23 00 00 00 00 00 00 09")},
                         block({{4, "01 ff 00 00"}, {568, "8e 01 02 03"}}),
                         {kApply, kEnd}}),
                    1, 0, "", "/perKeyColors/1",
                    {{"index", 142}, {"key", 142}, {"red", 1}, {"green", 2}, {"blue", 3}}},
        FramingCase{"dataWithoutHeader", {kBegin, kRolling, kApply, kEnd}, 0, 1,
                    "data without header", "/lighting", nullptr},
        FramingCase{"headerWithoutBegin", {kLightingHeader, kRolling, kApply, kEnd}, 0, 1,
                    "without begin", "/lighting", nullptr},
        FramingCase{"headerAnnouncesWrongCount",
                    seq({{kBegin, r64("04 23 00 00 00 00 00 00 08")}, block({}), {kApply}}), 0, 1,
                    "wrong count", "/perKeyColors", nlohmann::json::array()},
        FramingCase{"applyBeforeAllData",
                    [] {
                      auto reports = seq({{kBegin, r64("04 11 00 00 00 00 00 00 09")},
                                          block({{220, "02 00 29 00"}})});
                      reports.pop_back();
                      reports.push_back(kApply);
                      return reports;
                    }(),
                    0, 1, "wrong count: 8 of 9", "/baseRemaps", nlohmann::json::array()},
        FramingCase{"applyWithoutData", {kBegin, kApply, kEnd}, 0, 1, "apply without data",
                    "/lighting", nullptr},
        FramingCase{"endWithoutApply", {kBegin, kLightingHeader, kRolling, kEnd}, 0, 1,
                    "end without apply", "/lighting", nullptr},
        FramingCase{"lightingWithoutTrailer",
                    {kBegin, kLightingHeader, r64("0b 00 d2 ff 00 00 00 00 01 05 03"), kApply},
                    0, 1, "trailer", "/lighting", nullptr},
        FramingCase{"unknownEffect",
                    {kBegin, kLightingHeader, r64("14 00 00 00", {{14, "aa 55"}}), kApply}, 0, 1,
                    "unknown effect 20", "/lighting", nullptr},
        FramingCase{"clockWithMonth13",
                    {kBegin, kClockHeader, r64("00 01 5a 19 0d 09 0e 05 07", {{62, "aa 55"}}),
                     kApply},
                    0, 1, "impossible date", "/clock", nullptr},
        FramingCase{"blockWithoutTrailer",
                    [] {
                      auto reports = seq({{kBegin, r64("04 23 00 00 00 00 00 00 09")},
                                          block({{4, "01 ff 00 00"}})});
                      reports.back() = r64("");
                      reports.push_back(kApply);
                      return reports;
                    }(),
                    0, 1, "trailer", "/perKeyColors", nlohmann::json::array()},
        // A write that failed half-way through a block: the host starts over with a begin.
        FramingCase{"interruptedBlockThenLighting",
                    seq({{kBegin, r64("04 23 00 00 00 00 00 00 09")},
                         [] {
                           auto three = block({{4, "01 ff 00 00"}});
                           three.resize(3);
                           return three;
                         }(),
                         {kBegin, kLightingHeader, kRolling, kApply, kEnd}}),
                    1, 1, "wrong count: 3 of 9", "/lighting/report", kRollingText},
        FramingCase{"goodSequenceAfterRejectedOne",
                    {kBegin, kApply, kEnd, kBegin, kLightingHeader, kRolling, kApply, kEnd}, 1, 1,
                    "apply without data", "/lighting/report", kRollingText}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZepaReadBack, EchoesFirstThreeBytesOfTheLastReportWithByte3Set) {
  struct Row {
    std::vector<std::uint8_t> sent;
    const char* answer;
  };
  const Row rows[] = {
      {kBegin, "04 18 00 01"}, {kLightingHeader, "04 13 00 01"},       {kRolling, "0b 00 d2 01"},
      {kApply, "04 02 00 01"}, {r64("aa bb cc dd ee"), "aa bb cc 01"},
  };
  ZepaLink link;
  for (const auto& row : rows) {
    link.send(row.sent);
    const auto answer = link.readBack();
    EXPECT_BYTES(answer, hex(r64(row.answer)));
  }
}

TEST(ZepaReadBack, ReadsShorterThanTheReportGetWhatFits) {
  ZepaLink link;
  link.send(kBegin);
  std::vector<std::uint8_t> buffer(8, 0xEE);
  std::size_t length = 5;
  ASSERT_EQ(link.device->getReport(hid::ReportType::feature, 0, buffer, length),
            hid::kIOReturnSuccess);
  EXPECT_EQ(length, 5u);
  EXPECT_BYTES(buffer, "04 18 00 01 00 ee ee ee");
}

}  // namespace
}  // namespace zepa::test
