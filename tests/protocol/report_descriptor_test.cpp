// SPDX-License-Identifier: MIT
#include "protocol/hid/report_descriptor.hpp"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/report_bytes.hpp"

namespace zepa::hid {
namespace {

// "page/usage size [IDs]", page and usage in hex, "-" when absent.
std::string summary(const std::string& descriptor) {
  const DescriptorSummary s = parseReportDescriptor(test::bytes(descriptor));
  auto hex = [](std::optional<std::uint32_t> value) {
    char text[12] = "-";
    if (value) std::snprintf(text, sizeof text, "%x", *value);
    return std::string(text);
  };
  return hex(s.primaryUsagePage) + "/" + hex(s.primaryUsage) + " " +
         std::to_string(s.maxFeatureReportSize) + " [" + test::hex(s.reportIDs) + "]";
}

std::string repeated(const std::string& item, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += item + " ";
  return text;
}

// As the keyboards' interfaces and common peripherals present them.
const std::string bootKeyboard =
    "05 01 09 06 a1 01 05 07 19 e0 29 e7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 01 "
    "95 05 75 01 05 08 19 01 29 05 91 02 95 01 75 03 91 01 95 06 75 08 15 00 25 65 05 07 "
    "19 00 29 65 81 00 c0";
const std::string consumer =
    "05 0c 09 01 a1 01 85 03 15 00 26 ff 03 19 00 2a ff 03 75 10 95 01 81 00 c0";
const std::string vendor64 = "06 13 ff 09 01 a1 01 09 02 15 00 26 ff 00 75 08 95 40 b1 02 c0";
const std::string vendor520 =
    "06 00 ff 09 01 a1 01 85 06 09 02 15 00 26 ff 00 75 08 96 07 02 b1 02 c0";
// Keyboard (ID 1), consumer (ID 2), then a vendor collection with a 7-byte (ID 5) and a
// 519-byte (ID 6) feature report whose data is split across two main items.
const std::string composite =
    "05 01 09 06 a1 01 85 01 05 07 19 e0 29 e7 15 00 25 01 75 01 95 08 81 02 c0 "
    "05 0c 09 01 a1 01 85 02 19 00 2a ff 03 75 10 95 01 81 00 c0 "
    "06 13 ff 09 01 a1 01 85 05 09 02 75 08 95 07 b1 02 "
    "85 06 09 03 96 00 02 b1 02 09 04 95 07 b1 02 c0";

TEST(ReportDescriptor, Summaries) {
  const std::pair<std::string, const char*> rows[] = {
      {bootKeyboard, "1/6 0 [00]"},
      {consumer, "c/1 1 [03]"},
      {vendor64, "ff13/1 64 [00]"},
      {vendor520, "ff00/1 520 [06]"},
      {composite, "1/6 520 [01 02 05 06]"},
      {"", "-/- 0 []"},
      // Primary usage: of the first application or physical collection.
      {"05 01 0b 01 00 13 ff a1 01 c0", "ff13/1 0 []"},  // a four-byte usage has its own page
      {"09 06 05 01 a1 01 c0", "1/6 0 []"},
      {"05 01 09 02 09 06 a1 01 c0", "1/2 0 []"},
      {"05 0c 09 05 a1 02 c0 05 01 09 06 a1 01 c0", "1/6 0 []"},  // logical ones do not count
      {"05 01 09 01 a1 00 c0 09 06 a1 01 c0", "1/1 0 []"},
      {"05 01 a1 01 c0 09 06 a1 01 c0", "0/0 0 []"},
      {"05 01 09 30 81 02 a1 01 c0", "0/0 0 [00]"},  // a main item clears the usages
      {"05 01 09 06 a1 01 09 07 a1 00 c0 c0", "1/6 0 []"},
      // Feature size: the ID byte plus size × count of every feature item of an ID.
      {"75 01 95 03 b1 02", "-/- 1 [00]"},
      {"85 02 75 01 95 03 b1 02", "-/- 2 [02]"},
      {"85 01 75 08 95 10 81 02 85 02 91 02", "-/- 1 [01 02]"},
      {"75 08 95 40 81 02 91 02 95 02 b1 02", "-/- 2 [00]"},
      {"85 01 75 08 95 20 b1 02 85 02 95 10 b1 02 85 01 95 01 b1 02", "-/- 34 [01 02]"},
      {"75 08 95 40 a4 75 01 95 03 b1 02 b4 b1 02", "-/- 65 [00]"},
      {"85 01 a4 85 02 75 08 95 04 b1 02 b4 b1 02", "-/- 5 [01 02]"},
      {"75 08 97 07 02 00 00 b1 02", "-/- 519 [00]"},
      {"77 ff ff ff ff 97 ff ff ff ff b1 02 b1 02", "-/- 4294967295 [00]"},  // saturates
      // Broken descriptors keep what was read before the fault.
      {"05 01 09 06 a1 01 85 06 75 08 96 07", "1/6 1 [06]"},
      {vendor64 + " 0b 01", "ff13/1 64 [00]"},
      {"fe 04 aa 01 02 03 04 05 01 09 06 a1 01 c0", "1/6 0 []"},  // long items are skipped
      {"fe 02 00 85 07 " + vendor64, "ff13/1 64 [00]"},
      {"05 01 09 06 a1 01 fe 10 00 01 02", "1/6 0 []"},
      {"b4 " + bootKeyboard, "-/- 0 []"},  // pop without push
      {vendor64 + " b4 85 02", "ff13/1 64 [00]"},
      {"85 00 75 08 95 40 b1 02", "-/- 0 []"},  // report ID zero
      {"86 00 01 75 08 95 40 b1 02", "-/- 0 []"},
      {"c0 c0 " + consumer, "c/1 1 [03]"},
      {"0c 1d ff " + consumer, "c/1 1 [03]"},  // reserved item type
      {repeated("a4", 16) + repeated("b4", 16) + bootKeyboard, "1/6 0 [00]"},
      {repeated("a4", 17) + bootKeyboard, "-/- 0 []"},  // the global stack holds sixteen
      {vendor64 + " " + repeated("a4", 255) + bootKeyboard, "ff13/1 64 [00]"},
  };
  for (const auto& [descriptor, expected] : rows)
    EXPECT_EQ(summary(descriptor), expected) << descriptor;
}

}  // namespace
}  // namespace zepa::hid
