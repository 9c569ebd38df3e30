// SPDX-License-Identifier: MIT
#include "protocol/halvern_key_map.hpp"

#include <vector>

namespace zepa {

namespace HalvernKeyMap {

std::span<const HalvernKey> keys() {
  // Physical rows from the function-key row to the space-bar row; the firmware numbers the
  // keys column by column, six rows each (index = 6 * column + row).
  static const std::vector<HalvernKey> table{
      {"Esc", 0},     {"F1", 12},     {"F2", 18},       {"F3", 24},        {"F4", 30},
      {"F5", 36},     {"F6", 42},     {"F7", 48},       {"F8", 54},        {"F9", 60},
      {"F10", 66},    {"F11", 72},    {"F12", 78},      {"Druck", 84},     {"Rollen", 90},
      {"Pause", 96},  {"Stumm", 102}, {"Rechner", 108}, {"M1", 114},       {"M2", 120},

      {"`", 1},       {"1", 7},       {"2", 13},        {"3", 19},         {"4", 25},
      {"5", 31},      {"6", 37},      {"7", 43},        {"8", 49},         {"9", 55},
      {"0", 61},      {"-", 67},      {"=", 73},        {"Rück", 79},      {"Einfg", 85},
      {"Pos1", 91},   {"Bild↑", 97},  {"Num", 103},     {"Num /", 109},    {"Num *", 115},
      {"Num -", 121},

      {"Tab", 2},     {"Q", 8},       {"W", 14},        {"E", 20},         {"R", 26},
      {"T", 32},      {"Y", 38},      {"U", 44},        {"I", 50},         {"O", 56},
      {"P", 62},      {"[", 68},      {"]", 74},        {"\\", 75},        {"Entf", 86},
      {"Ende", 92},   {"Bild↓", 98},  {"Num 7", 104},   {"Num 8", 110},    {"Num 9", 116},
      {"Num +", 122},

      {"Fest", 3},    {"A", 9},       {"S", 15},        {"D", 21},         {"F", 27},
      {"G", 33},      {"H", 39},      {"J", 45},        {"K", 51},         {"L", 57},
      {";", 63},      {"'", 69},      {"Enter", 81},    {"Num 4", 105},    {"Num 5", 111},
      {"Num 6", 117},

      {"Shift L", 4}, {"< >", 76},    {"Z", 10},        {"X", 16},         {"C", 22},
      {"V", 28},      {"B", 34},      {"N", 40},        {"M", 46},         {",", 52},
      {".", 58},      {"/", 64},      {"Shift R", 82},  {"↑", 94},         {"Num 1", 106},
      {"Num 2", 112}, {"Num 3", 118}, {"Num ↵", 124},

      {"Ctrl L", 5},  {"Win", 11},    {"Alt L", 17},    {"Leertaste", 35}, {"Alt R", 53},
      {"Fn", 59},     {"Menü", 65},   {"Fn 2", 83},     {"←", 89},         {"↓", 95},
      {"→", 101},     {"Num 0", 107}, {"Num .", 119},
  };
  return table;
}

}  // namespace HalvernKeyMap

}  // namespace zepa
