// SPDX-License-Identifier: MIT
#include "protocol/zepa_key_map.hpp"

#include <vector>

namespace zepa {

namespace {

const std::vector<ZEPAKey>& keyTable() {
  // Main block on a grid of 18 indices per row (row starts 1, 19, 37, 55, 73, 91); the
  // navigation cluster and a few wide keys sit at indices of their own.
  static const std::vector<ZEPAKey> table{
      {"Esc", 1, 0x29},         {"F1", 2, 0x3A},         {"F2", 3, 0x3B},
      {"F3", 4, 0x3C},          {"F4", 5, 0x3D},         {"F5", 6, 0x3E},
      {"F6", 7, 0x3F},          {"F7", 8, 0x40},         {"F8", 9, 0x41},
      {"F9", 10, 0x42},         {"F10", 11, 0x43},       {"F11", 12, 0x44},
      {"F12", 13, 0x45},        {"Druck", 112, 0x46},    {"Rollen", 113, 0x47},
      {"Pause", 115, 0x48},     {"^", 19, 0x35},         {"1", 20, 0x1E},
      {"2", 21, 0x1F},          {"3", 22, 0x20},         {"4", 23, 0x21},
      {"5", 24, 0x22},          {"6", 25, 0x23},         {"7", 26, 0x24},
      {"8", 27, 0x25},          {"9", 28, 0x26},         {"0", 29, 0x27},
      {"-", 30, 0x2D},          {"=", 31, 0x2E},         {"Backspace", 103, 0x2A},
      {"Einfg", 116, 0x49},     {"Pos1", 117, 0x4A},     {"Bild↑", 118, 0x4B},
      {"Num", 32, 0x53},        {"Num /", 33, 0x54},     {"Num *", 34, 0x55},
      {"Num -", 122, 0x56},     {"Tab", 37, 0x2B},       {"Q", 38, 0x14},
      {"W", 39, 0x1A},          {"E", 40, 0x08},         {"R", 41, 0x15},
      {"T", 42, 0x17},          {"Y", 43, 0x1C},         {"U", 44, 0x18},
      {"I", 45, 0x0C},          {"O", 46, 0x12},         {"P", 47, 0x13},
      {"[", 48, 0x2F},          {"]", 49, 0x30},         {"\\", 67, 0x31},
      {"Entf", 119, 0x4C},      {"Ende", 120, 0x4D},     {"Bild↓", 121, 0x4E},
      {"Num 7", 50, 0x5F},      {"Num 8", 51, 0x60},     {"Num 9", 52, 0x61},
      {"Num +", 123, 0x57},     {"Caps", 55, 0x39},      {"A", 56, 0x04},
      {"S", 57, 0x16},          {"D", 58, 0x07},         {"F", 59, 0x09},
      {"G", 60, 0x0A},          {"H", 61, 0x0B},         {"J", 62, 0x0D},
      {"K", 63, 0x0E},          {"L", 64, 0x0F},         {";", 65, 0x33},
      {"'", 66, 0x34},          {"Enter", 85, 0x28},     {"Num 4", 68, 0x5C},
      {"Num 5", 69, 0x5D},      {"Num 6", 70, 0x5E},     {"Shift L", 73, 0xE1},
      {"Z", 74, 0x1D},          {"X", 75, 0x1B},         {"C", 76, 0x06},
      {"V", 77, 0x19},          {"B", 78, 0x05},         {"N", 79, 0x11},
      {"M", 80, 0x10},          {",", 81, 0x36},         {".", 82, 0x37},
      {"/", 83, 0x38},          {"Shift R", 84, 0xE5},   {"↑", 101, 0x52},
      {"Num 1", 86, 0x59},      {"Num 2", 87, 0x5A},     {"Num 3", 88, 0x5B},
      {"Num Enter", 106, 0x58}, {"Ctrl L", 91, 0xE0},    {"Cmd L", 92, 0xE3},
      {"Alt L", 93, 0xE2},      {"Leertaste", 94, 0x2C}, {"Alt R", 95, 0xE6},
      {"Fn", 96, 0xAF},         {"Menü", 97, 0x65},      {"Ctrl R", 98, 0xE4},
      {"←", 99, 0x50},          {"↓", 100, 0x51},        {"→", 102, 0x4F},
      {"Num 0", 104, 0x62},     {"Num .", 105, 0x63},
  };
  return table;
}

const std::vector<std::string>& lowercasedNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> lowered;
    for (const ZEPAKey& entry : keyTable()) lowered.push_back(lowercased(entry.name));
    return lowered;
  }();
  return names;
}

// Lower case of one non-ASCII code point; only Latin letters (Latin-1 Supplement, Latin
// Extended-A, capital sharp s) change. U+0130 has no one-code-point lower case.
char32_t lowerCodePoint(char32_t c) {
  if ((c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDE)) return c + 0x20;
  bool evenUpper =
      (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((evenUpper && c % 2 == 0) || (oddUpper && c % 2 == 1)) return c + 1;
  if (c == 0x178) return 0xFF;
  if (c == 0x1E9E) return 0xDF;
  return c;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

std::string lowercased(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    auto lead = static_cast<unsigned char>(text[i]);
    // Two- and three-byte sequences hold every letter we fold; anything else, including
    // malformed bytes, is copied unchanged.
    if (lead >= 0xC2 && lead <= 0xDF && i + 1 < text.size() &&
        isContinuation(static_cast<unsigned char>(text[i + 1]))) {
      char32_t c = (static_cast<char32_t>(lead & 0x1F) << 6) |
                   (static_cast<unsigned char>(text[i + 1]) & 0x3F);
      if (c == 0x130) {
        out += "i\xCC\x87";  // i + combining dot above
      } else {
        appendUtf8(out, lowerCodePoint(c));
      }
      i += 2;
    } else if (lead == 0xE1 && i + 2 < text.size() &&
               text.substr(i, 3) == "\xE1\xBA\x9E") {  // capital sharp s
      appendUtf8(out, 0xDF);
      i += 3;
    } else {
      out.push_back(lead >= 'A' && lead <= 'Z' ? static_cast<char>(lead + 0x20) : text[i]);
      ++i;
    }
  }
  return out;
}

namespace ZEPAKeyMap {

std::span<const ZEPAKey> keys() {
  return keyTable();
}

const ZEPAKey* key(std::uint8_t index) {
  for (const ZEPAKey& entry : keyTable()) {
    if (entry.index == index) return &entry;
  }
  return nullptr;
}

const ZEPAKey* key(std::string_view name) {
  std::string wanted = lowercased(name);
  const auto& names = lowercasedNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == wanted) return &keyTable()[i];
  }
  return nullptr;
}

std::optional<std::uint8_t> modifierBit(std::uint8_t hidUsage) {
  if ((hidUsage & 0xF8) != 0xE0) return std::nullopt;
  return static_cast<std::uint8_t>(1u << (hidUsage & 0x07));
}

}  // namespace ZEPAKeyMap

}  // namespace zepa
