#include "protocol/hid/report_descriptor.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace zepa::hid {
namespace {

std::vector<std::uint8_t> fromHex(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(text);
  std::string word;
  while (in >> word) bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  return bytes;
}

std::string toHex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char digits[4];
  for (const auto byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    if (!text.empty()) text += ' ';
    text += digits;
  }
  return text;
}

struct DescriptorCase {
  const char* name;
  std::string descriptor;  // hex
  std::optional<std::uint32_t> page;
  std::optional<std::uint32_t> usage;
  std::uint32_t maxFeatureReportSize;
  std::string reportIDs;  // hex, in order of appearance
};

void expectSummary(const DescriptorCase& row) {
  SCOPED_TRACE(row.name);
  const auto summary = parseReportDescriptor(fromHex(row.descriptor));
  EXPECT_EQ(summary.primaryUsagePage, row.page);
  EXPECT_EQ(summary.primaryUsage, row.usage);
  EXPECT_EQ(summary.maxFeatureReportSize, row.maxFeatureReportSize);
  EXPECT_EQ(toHex(summary.reportIDs), row.reportIDs);
}

// Descriptors as the keyboards' interfaces and common peripherals present them.
const std::string kBootKeyboard =
    "05 01 09 06 a1 01 05 07 19 e0 29 e7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 01 "
    "95 05 75 01 05 08 19 01 29 05 91 02 95 01 75 03 91 01 95 06 75 08 15 00 25 65 05 07 "
    "19 00 29 65 81 00 c0";
const std::string kConsumerControl =
    "05 0c 09 01 a1 01 85 03 15 00 26 ff 03 19 00 2a ff 03 75 10 95 01 81 00 c0";
const std::string kVendorUnnumbered64 =
    "06 13 ff 09 01 a1 01 09 02 15 00 26 ff 00 75 08 95 40 b1 02 c0";
const std::string kVendorNumbered520 =
    "06 00 ff 09 01 a1 01 85 06 09 02 15 00 26 ff 00 75 08 96 07 02 b1 02 c0";
// Keyboard (ID 1), consumer (ID 2), then a vendor collection with a 7-byte (ID 5) and a
// 519-byte (ID 6) feature report whose data is split across two main items.
const std::string kComposite =
    "05 01 09 06 a1 01 85 01 05 07 19 e0 29 e7 15 00 25 01 75 01 95 08 81 02 c0 "
    "05 0c 09 01 a1 01 85 02 19 00 2a ff 03 75 10 95 01 81 00 c0 "
    "06 13 ff 09 01 a1 01 85 05 09 02 75 08 95 07 b1 02 "
    "85 06 09 03 96 00 02 b1 02 09 04 95 07 b1 02 c0";

TEST(ReportDescriptor, RealWorldDescriptors) {
  const DescriptorCase rows[] = {
      {"boot keyboard", kBootKeyboard, 0x01, 0x06, 0, "00"},
      {"consumer control", kConsumerControl, 0x0C, 0x01, 1, "03"},
      {"vendor unnumbered 64", kVendorUnnumbered64, 0xFF13, 0x01, 64, "00"},
      {"vendor numbered 520", kVendorNumbered520, 0xFF00, 0x01, 520, "06"},
      {"composite", kComposite, 0x01, 0x06, 520, "01 02 05 06"},
      {"empty", "", std::nullopt, std::nullopt, 0, ""},
  };
  for (const auto& row : rows) expectSummary(row);
}

TEST(ReportDescriptor, PrimaryUsage) {
  const DescriptorCase rows[] = {
      {"four-byte usage carries its own page", "05 01 0b 01 00 13 ff a1 01 c0", 0xFF13, 0x01, 0,
       ""},
      {"page declared after the usage still applies", "09 06 05 01 a1 01 c0", 0x01, 0x06, 0, ""},
      {"first usage of several", "05 01 09 02 09 06 a1 01 c0", 0x01, 0x02, 0, ""},
      {"logical collection is passed over", "05 0c 09 05 a1 02 c0 05 01 09 06 a1 01 c0", 0x01, 0x06,
       0, ""},
      {"physical collection counts", "05 01 09 01 a1 00 c0 09 06 a1 01 c0", 0x01, 0x01, 0, ""},
      {"collection without usage", "05 01 a1 01 c0 09 06 a1 01 c0", 0x00, 0x00, 0, ""},
      {"usage of an earlier main item is forgotten", "05 01 09 30 81 02 a1 01 c0", 0x00, 0x00, 0,
       "00"},
      {"nested collections keep the outer one", "05 01 09 06 a1 01 09 07 a1 00 c0 c0", 0x01, 0x06,
       0, ""},
      {"vendor-defined collection type ignored", "06 13 ff 09 01 a1 80 c0 05 01 09 06 a1 01 c0",
       0x01, 0x06, 0, ""},
      {"collection item without data is physical", "05 01 09 02 a0 c0", 0x01, 0x02, 0, ""},
  };
  for (const auto& row : rows) expectSummary(row);
}

TEST(ReportDescriptor, FeatureReportSize) {
  const DescriptorCase rows[] = {
      {"bits round up without ID", "75 01 95 03 b1 02", std::nullopt, std::nullopt, 1, "00"},
      {"ID byte adds eight bits", "85 02 75 01 95 03 b1 02", std::nullopt, std::nullopt, 2, "02"},
      {"IDs without features", "85 01 75 08 95 10 81 02 85 02 91 02", std::nullopt, std::nullopt, 1,
       "01 02"},
      {"input and output do not count", "75 08 95 40 81 02 91 02 95 02 b1 02", std::nullopt,
       std::nullopt, 2, "00"},
      {"largest ID wins", "85 01 75 08 95 20 b1 02 85 02 95 10 b1 02 85 01 95 01 b1 02",
       std::nullopt, std::nullopt, 34, "01 02"},
      {"push and pop restore size and count", "75 08 95 40 a4 75 01 95 03 b1 02 b4 b1 02",
       std::nullopt, std::nullopt, 65, "00"},
      {"pop restores the report ID", "85 01 a4 85 02 75 08 95 04 b1 02 b4 b1 02", std::nullopt,
       std::nullopt, 5, "01 02"},
      {"four-byte count", "75 08 97 07 02 00 00 b1 02", std::nullopt, std::nullopt, 519, "00"},
      {"huge size and count saturate", "77 ff ff ff ff 97 ff ff ff ff b1 02 b1 02", std::nullopt,
       std::nullopt, 0xFFFFFFFF, "00"},
  };
  for (const auto& row : rows) expectSummary(row);
}

// Broken descriptors keep what was read before the fault.
TEST(ReportDescriptor, MalformedInput) {
  const DescriptorCase rows[] = {
      {"truncated two-byte count", "05 01 09 06 a1 01 85 06 75 08 96 07", 0x01, 0x06, 1, "06"},
      {"truncated four-byte item", kVendorUnnumbered64 + " 0b 01", 0xFF13, 0x01, 64, "00"},
      {"prefix only", "06", std::nullopt, std::nullopt, 0, ""},
      {"long item skipped", "fe 04 aa 01 02 03 04 05 01 09 06 a1 01 c0", 0x01, 0x06, 0, ""},
      {"long item data is not parsed", "fe 02 00 85 07 " + kVendorUnnumbered64, 0xFF13, 0x01, 64,
       "00"},
      {"truncated long item", "05 01 09 06 a1 01 fe 10 00 01 02", 0x01, 0x06, 0, ""},
      {"long item without header", "05 01 09 06 a1 01 fe 10", 0x01, 0x06, 0, ""},
      {"pop without push at start", "b4 " + kBootKeyboard, std::nullopt, std::nullopt, 0, ""},
      {"pop without push after a feature", kVendorUnnumbered64 + " b4 85 02", 0xFF13, 0x01, 64,
       "00"},
      {"report ID zero", "85 00 75 08 95 40 b1 02", std::nullopt, std::nullopt, 0, ""},
      {"report ID above one byte", "86 00 01 75 08 95 40 b1 02", std::nullopt, std::nullopt, 0, ""},
      {"end collection without collection", "c0 c0 " + kConsumerControl, 0x0C, 0x01, 1, "03"},
      {"reserved item type ignored", "0c 1d ff " + kConsumerControl, 0x0C, 0x01, 1, "03"},
  };
  for (const auto& row : rows) expectSummary(row);
}

std::string repeated(const std::string& item, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += item + " ";
  return text;
}

TEST(ReportDescriptor, GlobalStackDepth) {
  const DescriptorCase rows[] = {
      {"sixteen pushes and pops", repeated("a4", 16) + repeated("b4", 16) + kBootKeyboard, 0x01,
       0x06, 0, "00"},
      {"seventeenth push stops", repeated("a4", 17) + kBootKeyboard, std::nullopt, std::nullopt, 0,
       ""},
      {"255 pushes", kVendorUnnumbered64 + " " + repeated("a4", 255) + kBootKeyboard, 0xFF13, 0x01,
       64, "00"},
  };
  for (const auto& row : rows) expectSummary(row);
}

}  // namespace
}  // namespace zepa::hid
