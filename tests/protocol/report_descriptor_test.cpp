// SPDX-License-Identifier: MIT
#include "protocol/hid/report_descriptor.hpp"

#include <gtest/gtest.h>

#include "tests/support/report_bytes.hpp"

namespace zepa::hid {
namespace {

using test::PrintTo;
using Usage = std::optional<std::uint32_t>;

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
struct Descriptor {
  const char* name;
  std::string bytes;
  Usage page, usage;
  std::uint32_t featureSize;
  std::string ids;
};

class ReportDescriptor : public ::testing::TestWithParam<Descriptor> {};

TEST_P(ReportDescriptor, Summary) {
  const Descriptor& row = GetParam();
  const DescriptorSummary s = parseReportDescriptor(test::bytes(row.bytes));
  EXPECT_EQ(s.primaryUsagePage, row.page);
  EXPECT_EQ(s.primaryUsage, row.usage);
  EXPECT_EQ(s.maxFeatureReportSize, row.featureSize);
  EXPECT_EQ(test::hex(s.reportIDs), row.ids);
}

INSTANTIATE_TEST_SUITE_P(
    , ReportDescriptor,
    ::testing::Values(
        // Primary usage: of the first application or physical collection.
        Descriptor{"FourByteUsageHasItsOwnPage", "05 01 0b 01 00 13 ff a1 01 c0", 0xff13, 1, 0, ""},
        Descriptor{"UsageBeforeItsPage", "09 06 05 01 a1 01 c0", 1, 6, 0, ""},
        Descriptor{"FirstOfTwoUsages", "05 01 09 02 09 06 a1 01 c0", 1, 2, 0, ""},
        Descriptor{"LogicalCollectionDoesNotCount", "05 0c 09 05 a1 02 c0 05 01 09 06 a1 01 c0", 1,
                   6, 0, ""},
        Descriptor{"PhysicalCollectionCounts", "05 01 09 01 a1 00 c0 09 06 a1 01 c0", 1, 1, 0, ""},
        Descriptor{"CollectionWithoutUsage", "05 01 a1 01 c0 09 06 a1 01 c0", 0, 0, 0, ""},
        Descriptor{"MainItemClearsUsages", "05 01 09 30 81 02 a1 01 c0", 0, 0, 0, "00"},
        // Feature size: the ID byte plus size × count of every feature item of an ID.
        Descriptor{"BitsRoundUp", "75 01 95 03 b1 02", {}, {}, 1, "00"},
        Descriptor{
            "InputAndOutputDoNotCount", "85 01 75 08 95 10 81 02 85 02 91 02", {}, {}, 1, "01 02"},
        Descriptor{"ItemsOfOneIdAddUp",
                   "85 01 75 08 95 20 b1 02 85 02 95 10 b1 02 85 01 95 01 b1 02",
                   {},
                   {},
                   34,
                   "01 02"},
        Descriptor{
            "PopRestoresTheGlobals", "75 08 95 40 a4 75 01 95 03 b1 02 b4 b1 02", {}, {}, 65, "00"},
        Descriptor{
            "SizeSaturates", "77 ff ff ff ff 97 ff ff ff ff b1 02 b1 02", {}, {}, 4294967295, "00"},
        // Broken descriptors keep what was read before the fault.
        Descriptor{"CutItem", "05 01 09 06 a1 01 85 06 75 08 96 07", 1, 6, 1, "06"},
        Descriptor{"LongItemSkipped", "fe 04 aa 01 02 03 04 05 01 09 06 a1 01 c0", 1, 6, 0, ""},
        Descriptor{"PopWithoutPush", "b4 " + bootKeyboard, {}, {}, 0, ""},
        Descriptor{"ReportIdZero", "85 00 75 08 95 40 b1 02", {}, {}, 0, ""},
        Descriptor{"ReservedItemType", "0c 1d ff " + consumer, 0xc, 1, 1, "03"},
        Descriptor{"SixteenPushes", repeated("a4", 16) + repeated("b4", 16) + bootKeyboard, 1, 6, 0,
                   "00"},
        Descriptor{"SeventeenPushes", repeated("a4", 17) + bootKeyboard, {}, {}, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zepa::hid
