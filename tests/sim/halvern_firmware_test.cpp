#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "protocol/halvern_device.hpp"
#include "tests/sim/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa::test {
namespace {

using sim::HalvernFirmware;
using sim::InProcessBackend;
using sim::SimulatorOptions;

constexpr std::size_t kReport = 520;

std::vector<std::uint8_t> r520(const std::string& head,
                               const std::map<std::size_t, std::string>& at = {}) {
  return report(head, kReport, at);
}

// The Halvern configuration interface (the one with 520-byte features), opened.
struct HalvernLink {
  std::shared_ptr<InProcessBackend> backend =
      std::make_shared<InProcessBackend>(SimulatorOptions{false, true, 0, {}});
  std::unique_ptr<hid::Device> device;

  HalvernLink() {
    for (auto& candidate : backend->copyDevices(0x258A, 0x010C))
      if (candidate->property("MaxFeatureReportSize") == 520) device = std::move(candidate);
    EXPECT_TRUE(device);
    EXPECT_EQ(device->open(), hid::kIOReturnSuccess);
  }
  hid::IOReturn send(const std::vector<std::uint8_t>& data) {
    return device->setReport(hid::ReportType::feature, 6, data);
  }
  std::vector<std::uint8_t> answer(std::size_t size = kReport) {
    std::vector<std::uint8_t> buffer(size, 0);
    buffer[0] = 6;
    std::size_t length = size;
    EXPECT_EQ(device->getReport(hid::ReportType::feature, 6, buffer, length),
              hid::kIOReturnSuccess);
    buffer.resize(length);
    return buffer;
  }
};

std::string blockHex(const std::vector<std::uint8_t>& answer) {
  return hex(std::span(answer).subspan(8, 128));
}

TEST(HalvernAnswers, EachRequestGetsItsOwnAnswerAtFullLength) {
  struct Row {
    const char* request;
    const char* answerHead;
  };
  const Row rows[] = {
      {"06 82 01 00 01 00 06", "06 82 01 00 01 00 06 00 8a 25 0c 01 6c 02 00 00"},
      {"06 84 00 00 01 00 80 00", "06 84 00 00 01 00 80 00"},
      // After a write the keyboard echoes the command without data.
      {"06 0a 00 00 00 00 00 02", "06 0a 00 00 00 00 00 00"},
  };
  HalvernLink link;
  for (const auto& row : rows) {
    ASSERT_EQ(link.send(r520(row.request, {{514, "5a a5"}})), hid::kIOReturnSuccess);
    const auto answer = link.answer();
    ASSERT_EQ(answer.size(), kReport);
    const auto head = bytes(row.answerHead);
    EXPECT_BYTES(std::span(answer).first(head.size()), row.answerHead) << row.request;
  }
}

TEST(HalvernAnswers, ConfigurationReadCarriesTheBlock) {
  HalvernLink link;
  std::array<std::uint8_t, 128> block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(255 - i);
  link.backend->halvern().setBlock(block);
  link.send(r520("06 84 00 00 01 00 80 00"));
  const auto answer = link.answer();
  EXPECT_EQ(blockHex(answer), hex(block));
  EXPECT_TRUE(std::all_of(answer.begin() + 136, answer.end(), [](auto b) { return b == 0; }));
}

TEST(HalvernAnswers, ModelAnswerCanBeReplaced) {
  HalvernLink link;
  link.backend->halvern().setModelAnswer(
      {0x06, 0x82, 0x01, 0x00, 0x01, 0x00, 0x06, 0x00, 1, 2, 3, 4, 0x55, 0x66});
  link.send(r520("06 82 01 00 01 00 06"));
  const auto answer = link.answer();
  EXPECT_BYTES(std::span(answer).first(14), "06 82 01 00 01 00 06 00 01 02 03 04 55 66");
}

struct WriteCase {
  const char* name;
  std::vector<std::uint8_t> report;
  int configWrites;
  int rejected;
  const char* error;
  const char* pointer;
  nlohmann::json expected;
};

void PrintTo(const WriteCase& c, std::ostream* out) {
  *out << c.name;
}

class HalvernWrites : public ::testing::TestWithParam<WriteCase> {};

TEST_P(HalvernWrites, StoreWellFormedReportsAndRejectTheRest) {
  const WriteCase& c = GetParam();
  HalvernLink link;
  ASSERT_EQ(link.send(c.report), hid::kIOReturnSuccess);
  const auto state = link.backend->halvernState();
  EXPECT_EQ(state["configWrites"], c.configWrites);
  EXPECT_EQ(state["rejected"], c.rejected);
  EXPECT_NE(state["lastError"].get<std::string>().find(c.error), std::string::npos);
  EXPECT_EQ(state.at(nlohmann::json::json_pointer(c.pointer)), c.expected) << state.dump(1);
}

// A block with effect 11 (aurora) at brightness 2, speed 1, multicolour; custom mode off.
const auto kAuroraWrite =
    r520("06 04 00 00 01 00 80 00", {{17, "00 0b"}, {86, "02 17"}, {135, "99"}});

INSTANTIATE_TEST_SUITE_P(
    Reports, HalvernWrites,
    ::testing::Values(
        WriteCase{"configEffect", kAuroraWrite, 1, 0, "", "/effect", 11},
        WriteCase{"configCustomModeOff", kAuroraWrite, 1, 0, "", "/customMode", false},
        WriteCase{"configPerEffect",
                  kAuroraWrite,
                  1,
                  0,
                  "",
                  "/effects/10",
                  {{"effect", 11}, {"brightness", 2}, {"speed", 1}, {"colorful", true}}},
        WriteCase{"configLastByte", kAuroraWrite, 1, 0, "", "/configBlock",
                  hex(std::span(kAuroraWrite).subspan(8, 128))},
        WriteCase{"configWrongHeader", r520("06 04 00 00 01 00 40 00", {{17, "00 0b"}}), 0, 1,
                  "wrong header", "/effect", 15},
        WriteCase{"colour",
                  r520("06 0a 00 00 00 00 00 02", {{29, "11 22 33"}, {514, "5a a5"}}),
                  0,
                  0,
                  "",
                  "/color",
                  {{"red", 0x11}, {"green", 0x22}, {"blue", 0x33}}},
        WriteCase{"colourWithoutMarkers", r520("06 0a 00 00 00 00 00 02", {{29, "11 22 33"}}), 0, 1,
                  "markers", "/color", nullptr},
        WriteCase{"unknownCommand", r520("06 33"), 0, 1, "unknown command 33", "/effect", 15}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HalvernWriteHook, CorruptsOnlyTheNextWrite) {
  HalvernLink link;
  link.backend->halvern().corruptOnWrite(120);
  link.send(kAuroraWrite);
  EXPECT_EQ(link.backend->halvern().configByte(120), 0xFF);
  EXPECT_EQ(link.backend->halvern().configByte(86), 0x02);
  link.send(kAuroraWrite);
  EXPECT_EQ(link.backend->halvern().configByte(120), 0x00);
}

TEST(HalvernWriteHook, MakesTheDevicesWriteBackCheckFail) {
  auto backend = std::make_shared<InProcessBackend>(SimulatorOptions{false, true, 0, {}});
  const Sleeper noPause = [](std::chrono::microseconds) {};
  {
    HalvernDevice device(backend, noPause);
    EXPECT_TRUE(device.verifyUnchangedConfigWrite());
  }
  backend->halvern().corruptOnWrite(120);
  HalvernDevice device(backend, noPause);
  EXPECT_FALSE(device.verifyUnchangedConfigWrite());
}

TEST(HalvernReportIDs, BufferMustStartWithItsIDAndOtherIDsStall) {
  struct Row {
    std::uint8_t id;
    std::vector<std::uint8_t> buffer;
    hid::IOReturn status;
  };
  const Row rows[] = {
      {6, r520("05 84"), hid::kIOReturnBadArgument},    // ID byte disagrees with the ID
      {5, report("05 01", 6), hid::kIOUSBPipeStalled},  // the status report is read-only
      {0, r520("06 84"), hid::kIOUSBPipeStalled},       // no unnumbered report here
      {6, r520("06 84 00 00 01 00 80 00"), hid::kIOReturnSuccess},
  };
  HalvernLink link;
  for (const auto& row : rows)
    EXPECT_EQ(link.device->setReport(hid::ReportType::feature, row.id, row.buffer), row.status)
        << hex(std::span(row.buffer).first(2));
}

}  // namespace
}  // namespace zepa::test
