#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/sim/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"
#include "tools/sim/report_log.hpp"

namespace zepa::test {
namespace {

using sim::LogEntry;

TEST(LogLines, FormatAndParseBackTheSame) {
  struct Row {
    LogEntry entry;
    const char* line;
  };
  const Row rows[] = {
      {{12, "hidraw2", "SET", 0, bytes("04 18 00")}, "12 hidraw2 SET 0 04 18 00"},
      {{7, "hidraw4", "GET", 6, bytes("06 82 ff")}, "7 hidraw4 GET 6 06 82 ff"},
      {{0, "hidraw4", "GET", 6, {}}, "0 hidraw4 GET 6"},
      {{5, "event0", "SETKEYCODE", 0x70039, bytes("1d 00 00 00")},
       "5 event0 SETKEYCODE 0x70039 1d 00 00 00"},
      {{9000000000, "event12", "GETKEYCODE", 0x700e0, bytes("1d 00 00 00")},
       "9000000000 event12 GETKEYCODE 0x700e0 1d 00 00 00"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(sim::formatLogLine(row.entry), row.line);
    EXPECT_EQ(sim::parseLogLine(row.line), row.entry) << row.line;
  }
}

TEST(LogLines, MalformedOnesDoNotParse) {
  const char* rows[] = {"",
                        "x hidraw2 SET 0 04",
                        "1 hidraw2 PUT 0 04",
                        "1 hidraw2 SET",
                        "1 hidraw2 SET 0 4",
                        "1 hidraw2 SET 0 0g",
                        "1 hidraw2 SET 0 041",
                        "1 event0 GETKEYCODE 0xzz 00",
                        "1 hidraw2 SET 99999999999 00"};
  for (const char* line : rows) EXPECT_FALSE(sim::parseLogLine(line)) << '"' << line << '"';
}

TEST(LogFile, EachLineIsOnDiskAtOnce) {
  const auto path = std::filesystem::temp_directory_path() / "zepa-report-log-test.log";
  {
    sim::ReportLog log;
    log.writeTo(path);
    log.add("hidraw2", "SET", 0, bytes("04 18"));
    std::ifstream in(path);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    auto entry = sim::parseLogLine(line);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->node, "hidraw2");
    EXPECT_BYTES(entry->bytes, "04 18");
  }
  std::filesystem::remove(path);
}

// Key-map calls as the evdev node receives them.
struct KeyCall {
  const char* name;
  bool set;
  std::uint8_t flags;
  std::uint16_t index;
  std::uint8_t len;
  std::uint32_t scancode;
  std::uint32_t keycode;
  int result;
  std::uint32_t answerScancode;  // what a read reports back
  std::uint32_t answerKeycode;
};

TEST(KeyMapCalls, FollowTheKernelsRules) {
  const KeyCall calls[] = {
      {"byScancode", false, 0, 0, 4, 0x70004, 0, 0, 0x70004, 30},
      {"byIndexFirst", false, 1, 0, 0, 0, 0, 0, 0x70000, 0},
      {"byIndexFifth", false, 1, 4, 0, 0, 0, 0, 0x70004, 30},
      {"byIndexPastTheEnd", false, 1, 256, 0, 0, 0, -EINVAL, 0, 0},
      {"twoByteScancodeIsAnotherPage", false, 0, 0, 2, 0x0004, 0, -EINVAL, 0, 0},
      {"setByIndex", true, 1, 0x39, 0, 0, 29, 0, 0, 0},
      {"readBack", false, 0, 0, 4, 0x70039, 0, 0, 0x70039, 29},
      {"setReserved", true, 0, 0, 4, 0x70004, 0, 0, 0, 0},
      {"readReserved", false, 0, 0, 4, 0x70004, 0, 0, 0x70004, 0},
      {"mouseHasNoKeys", false, 0, 0, 4, 0x70004, 0, -EINVAL, 0, 0},
  };
  sim::InProcessBackend backend(sim::SimulatorOptions{false, true, 2, {}});
  for (const auto& call : calls) {
    // event1 is the unrelated mouse, event2 the Halvern keyboard.
    const std::string node = std::string(call.name) == "mouseHasNoKeys" ? "event1" : "event2";
    sim::KeymapEntry entry;
    entry.flags = call.flags;
    entry.index = call.index;
    entry.len = call.len;
    entry.keycode = call.keycode;
    std::memcpy(entry.scancode, &call.scancode, 4);
    const int result = call.set ? backend.simulator().setKeycode(node, entry)
                                : backend.simulator().getKeycode(node, entry);
    EXPECT_EQ(result, call.result) << call.name;
    if (call.set || result != 0) continue;
    std::uint32_t scancode = 0;
    std::memcpy(&scancode, entry.scancode, 4);
    EXPECT_EQ(scancode, call.answerScancode) << call.name;
    EXPECT_EQ(entry.keycode, call.answerKeycode) << call.name;
    EXPECT_EQ(entry.len, 4) << call.name;
  }
  EXPECT_EQ(backend.halvernState()["keyMap"],
            nlohmann::json::parse(R"([{"scancode":458756,"usage":4,"keycode":0},
                                      {"scancode":458809,"usage":57,"keycode":29}])"));
}

}  // namespace
}  // namespace zepa::test
