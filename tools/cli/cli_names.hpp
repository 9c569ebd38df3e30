// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/halvern_records.hpp"
#include "protocol/records.hpp"
#include "protocol/zepa_key_map.hpp"

// The names people give modes, effects and keys on the command line.
namespace zepa::cli {

// By number, case name ("rolling") or German name ("Rollen", "Nach aussen"), in any letter
// case, with or without umlauts.
std::optional<LightingMode> lightingModeNamed(std::string_view text);
std::optional<HalvernEffect> halvernEffectNamed(std::string_view text);

// The kernel's name of a keyboard usage ("KEY_ESC"), when it has one.
std::optional<std::string_view> linuxKeyName(std::uint8_t usage);

// A key index of the ZEPA VX10 by the table's name, its Linux name ("KEY_ESC", "esc", "pgup")
// or "#N" with N from 1 to 142; nothing when there is no such key.
std::optional<std::uint8_t> zepaKeyNamed(std::string_view text);
// A keyboard usage for the Halvern's kernel key map, by the same names but "#N".
std::optional<std::uint8_t> halvernUsageNamed(std::string_view text);

// Text from the command line as it may be shown in a message: control characters and bytes
// that are not UTF-8 become \xNN.
std::string printable(std::string_view text);

}  // namespace zepa::cli
