// SPDX-License-Identifier: MIT
// The names zepactl takes for modes, effects and keys, and how it shows what it was given.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "tools/cli/cli_names.hpp"

namespace {

using namespace zepa;
using namespace zepa::cli;

struct ModeName {
  const char* label;
  const char* given;
  std::optional<LightingMode> mode;

  friend void PrintTo(const ModeName& row, std::ostream* out) { *out << row.label; }
};

class LightingModeNames : public ::testing::TestWithParam<ModeName> {};

TEST_P(LightingModeNames, NameTheMode) {
  EXPECT_EQ(lightingModeNamed(GetParam().given), GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, LightingModeNames,
    ::testing::Values(ModeName{"number", "11", LightingMode::rolling},
                      ModeName{"highestNumber", "19", LightingMode::shuttle},
                      ModeName{"pastHighest", "20", std::nullopt},
                      ModeName{"caseName", "staticcolor", LightingMode::staticColor},
                      ModeName{"germanName", "Rollen", LightingMode::rolling},
                      ModeName{"germanWithSpace", "einzeln AUS", LightingMode::singleOff},
                      ModeName{"eszett", "Nach außen", LightingMode::outward},
                      ModeName{"eszettSpelledOut", "nach aussen", LightingMode::outward},
                      ModeName{"eszettSpelledOutInName", "Fliessen", LightingMode::flowing},
                      ModeName{"signedNumber", "+7", std::nullopt},
                      ModeName{"partOfName", "Roll", std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

struct EffectName {
  const char* label;
  const char* given;
  std::optional<HalvernEffect> effect;

  friend void PrintTo(const EffectName& row, std::ostream* out) { *out << row.label; }
};

class HalvernEffectNames : public ::testing::TestWithParam<EffectName> {};

TEST_P(HalvernEffectNames, NameTheEffect) {
  EXPECT_EQ(halvernEffectNamed(GetParam().given), GetParam().effect);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, HalvernEffectNames,
    ::testing::Values(EffectName{"germanName", "Atmen", HalvernEffect::breathing},
                      EffectName{"caseName", "RAINBOWWAVE", HalvernEffect::rainbowWave},
                      EffectName{"highestNumber", "18", HalvernEffect::tidal},
                      EffectName{"pastHighest", "19", std::nullopt},
                      // A ZEPA mode's German name is not an effect.
                      EffectName{"otherKeyboardsName", "Rollen", std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

// Umlaut folding both ways, on a key name: the table says "Menü".
struct KeyName {
  const char* label;
  const char* given;
  std::optional<std::uint8_t> index;

  friend void PrintTo(const KeyName& row, std::ostream* out) { *out << row.label; }
};

class ZepaKeyNames : public ::testing::TestWithParam<KeyName> {};

TEST_P(ZepaKeyNames, NameTheKey) {
  EXPECT_EQ(zepaKeyNamed(GetParam().given), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ZepaKeyNames,
    ::testing::Values(
        KeyName{"tableName", "Bild↑", 118}, KeyName{"tableNameWithoutUmlaut", "menu", 97},
        KeyName{"tableNameUmlautSpelledOut", "MENUE", 97}, KeyName{"linuxName", "KEY_ESC", 1},
        KeyName{"linuxNameWithoutPrefix", "capslock", 55},
        KeyName{"linuxNameAnyCase", "Key_PageUp", 118}, KeyName{"abbreviation", "pgup", 118},
        KeyName{"escape", "escape", 1}, KeyName{"numberedIndex", "#142", 142},
        KeyName{"indexZero", "#0", std::nullopt}, KeyName{"indexPastHighest", "#143", std::nullopt},
        // The kernel has the key, the ZEPA's table has not.
        KeyName{"linuxKeyNotOnTheKeyboard", "KEY_F13", std::nullopt},
        KeyName{"prefixOnly", "KEY_", std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

struct UsageName {
  const char* label;
  const char* given;
  std::optional<std::uint8_t> usage;

  friend void PrintTo(const UsageName& row, std::ostream* out) { *out << row.label; }
};

class HalvernUsageNames : public ::testing::TestWithParam<UsageName> {};

TEST_P(HalvernUsageNames, NameTheUsage) {
  EXPECT_EQ(halvernUsageNamed(GetParam().given), GetParam().usage);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, HalvernUsageNames,
    ::testing::Values(UsageName{"tableName", "Caps", 0x39},
                      UsageName{"linuxModifier", "KEY_LEFTCTRL", 0xE0},
                      UsageName{"linuxKeyNotOnTheZepa", "f13", 0x68},
                      // No kernel code for the ZEPA's Fn key, so no key map entry either.
                      UsageName{"fnKey", "Fn", std::nullopt},
                      UsageName{"firmwareIndex", "#1", std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

struct Shown {
  const char* label;
  std::string given;
  std::string shown;

  friend void PrintTo(const Shown& row, std::ostream* out) { *out << row.label; }
};

class PrintableArguments : public ::testing::TestWithParam<Shown> {};

TEST_P(PrintableArguments, EscapeWhatATerminalWouldObey) {
  EXPECT_EQ(printable(GetParam().given), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, PrintableArguments,
    ::testing::Values(Shown{"umlautsStay", "Menü ←", "Menü ←"}, Shown{"newline", "a\nb", "a\\x0ab"},
                      Shown{"escapeSequence", "\x1b[2J", "\\x1b[2J"},
                      Shown{"delete", "\x7f", "\\x7f"},
                      Shown{"loneContinuationByte", "a\x80", "a\\x80"},
                      Shown{"truncatedSequence", "\xc3", "\\xc3"},
                      Shown{"overlongSlash", "\xc0\xaf", "\\xc0\\xaf"},
                      Shown{"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
                      Shown{"c1Control", "\xc2\x9b", "\\xc2\\x9b"},
                      Shown{"fourByteStays", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
