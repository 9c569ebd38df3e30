// SPDX-License-Identifier: MIT
// The names zepactl takes for modes, effects and keys, and how it shows what it was given.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "tests/support/report_bytes.hpp"
#include "tools/cli/cli_names.hpp"

namespace {

using namespace zepa;
using namespace zepa::cli;
using test::PrintTo;

// What a name stands for: a mode's raw value, a key's index or usage; or nothing.
struct Name {
  const char* name;
  std::optional<int> (*lookup)(std::string_view);
  const char* given;
  std::optional<int> found;
};

template <auto named>
std::optional<int> raw(std::string_view given) {
  const auto value = named(given);
  return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}
constexpr auto mode = raw<lightingModeNamed>, zepaKey = raw<zepaKeyNamed>,
               halvernKey = raw<halvernUsageNamed>;

class Names : public ::testing::TestWithParam<Name> {};

TEST_P(Names, StandForTheirValue) {
  EXPECT_EQ(GetParam().lookup(GetParam().given), GetParam().found);
}

const std::optional<int> none;

INSTANTIATE_TEST_SUITE_P(
    Cli, Names,
    ::testing::Values(
        // The number's bound is the table's size; every other lookup goes through the same
        // name comparison, so one row per way of naming. Table names, Linux names, "#142" and
        // abbreviations reach the keyboard in zepactl's own rows.
        Name{"modeHighestNumber", mode, "19", int(LightingMode::shuttle)},
        Name{"modePastHighest", mode, "20", none},
        Name{"modeCliNameInAnyCase", mode, "staticcolor", int(LightingMode::staticColor)},
        Name{"modeEszettSpelledOut", mode, "nach aussen", int(LightingMode::outward)},
        // Umlaut folding both ways: the table says "Menü".
        Name{"keyWithoutUmlaut", zepaKey, "menu", 97},
        Name{"keyUmlautSpelledOut", zepaKey, "MENUE", 97},
        Name{"keyPastHighestIndex", zepaKey, "#143", none},
        // The kernel has the key, the ZEPA's table has not.
        Name{"keyLinuxHasTheZepaLacks", zepaKey, "KEY_F13", none},
        Name{"halvernKeyTheZepaLacks", halvernKey, "f13", 0x68},
        // No kernel code for the ZEPA's Fn key, so no key map entry either.
        Name{"halvernFnKey", halvernKey, "Fn", none},
        Name{"halvernFirmwareIndex", halvernKey, "#1", none}),
    [](const auto& info) { return std::string(info.param.name); });

struct Shown {
  const char* name;
  std::string given;
  std::string shown;
};

class PrintableArguments : public ::testing::TestWithParam<Shown> {};

TEST_P(PrintableArguments, EscapeWhatATerminalWouldObey) {
  EXPECT_EQ(printable(GetParam().given), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cli, PrintableArguments,
                         ::testing::Values(Shown{"umlautsStay", "Menü ←", "Menü ←"},
                                           Shown{"escapeSequence", "\x1b[2J", "\\x1b[2J"},
                                           Shown{"delete", "\x7f", "\\x7f"},
                                           Shown{"loneContinuationByte", "a\x80", "a\\x80"},
                                           Shown{"truncatedSequence", "\xc3", "\\xc3"},
                                           Shown{"overlongSlash", "\xc0\xaf", "\\xc0\\xaf"},
                                           Shown{"c1Control", "\xc2\x9b", "\\xc2\\x9b"},
                                           Shown{"fourByteStays", "\xf0\x9f\x98\x80",
                                                 "\xf0\x9f\x98\x80"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
