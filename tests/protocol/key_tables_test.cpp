// SPDX-License-Identifier: MIT
#include <cstdio>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "protocol/halvern_key_map.hpp"
#include "protocol/hid/linux_keycodes.hpp"
#include "protocol/zepa_key_map.hpp"

namespace zepa {
namespace {

const ZEPAKey* named(const char* name) {
  return ZEPAKeyMap::key(std::string_view(name));
}

TEST(ZEPAKeyMap, TableIsCompleteUniqueAndOnTheGrid) {
  const auto keys = ZEPAKeyMap::keys();
  ASSERT_EQ(keys.size(), 104u);
  std::set<int> indices, usages;
  std::set<std::string> names;
  for (const ZEPAKey& key : keys) {
    indices.insert(key.index);
    usages.insert(key.hid);
    names.insert(lowercased(key.name));
    EXPECT_TRUE(key.index >= 1 && key.index <= 123) << key.name;
  }
  EXPECT_EQ(indices.size(), 104u);
  EXPECT_EQ(usages.size(), 104u);
  EXPECT_EQ(names.size(), 104u);
  EXPECT_EQ(keys.front().name, "Esc");
  EXPECT_EQ(keys.back().name, "Num .");
  // Runs of keys next to each other in the table and on the 18-column grid: row, column, length.
  const std::tuple<const char*, int, int, int> runs[] = {
      {"Esc", 0, 0, 13},   {"^", 1, 0, 13},      {"Num", 1, 13, 3},   {"Tab", 2, 0, 13},
      {"Num 7", 2, 13, 3}, {"Caps", 3, 0, 12},   {"Num 4", 3, 13, 3}, {"Shift L", 4, 0, 12},
      {"Num 1", 4, 13, 3}, {"Ctrl L", 5, 0, 10}, {"↑", 5, 10, 1},     {"→", 5, 11, 1},
      {"\\", 3, 12, 1}};
  for (const auto& [first, row, column, length] : runs) {
    const ZEPAKey* key = named(first);
    ASSERT_NE(key, nullptr) << first;
    for (int step = 0; step < length; ++step)
      EXPECT_EQ(key[step].index, 18 * row + column + step + 1) << key[step].name;
  }
}

TEST(ZEPAKeyMap, LooksUpByIndex) {
  const std::pair<int, const char*> byIndex[] = {{85, "Enter"},  {86, "Num 1"}, {1, "Esc"},
                                                 {123, "Num +"}, {35, ""},      {0, ""},
                                                 {14, ""},       {114, ""},     {124, ""}};
  for (const auto& [index, name] : byIndex) {
    const ZEPAKey* key = ZEPAKeyMap::key(static_cast<std::uint8_t>(index));
    EXPECT_EQ(key ? key->name : "", name) << index;
  }
}

// Any case, but no trimming.
TEST(ZEPAKeyMap, LooksUpByName) {
  const std::tuple<const char*, int, int> byName[] = {
      {"leertaste", 94, 0x2C},  {"LEERTASTE", 94, 0x2C}, {"LeerTaste", 94, 0x2C}, {"ESC", 1, 0x29},
      {"bild↑", 118, 0x4B},     {"BILD↓", 121, 0x4E},    {"MENÜ", 97, 0x65},      {"↑", 101, 0x52},
      {"Backspace", 103, 0x2A}, {"Enter", 85, 0x28},     {"Einfg", 116, 0x49},    {"Fn", 96, 0xAF},
      {"Num -", 122, 0x56},     {"Num +", 123, 0x57},    {"num enter", 106, 0x58}};
  for (const auto& [query, index, usage] : byName) {
    ASSERT_NE(named(query), nullptr) << query;
    EXPECT_EQ(int(named(query)->index), index) << query;
    EXPECT_EQ(int(named(query)->hid), usage) << query;
  }
  for (const char* query : {"Menu", " Esc", "Esc ", "", "Num  1"})
    EXPECT_EQ(named(query), nullptr) << "'" << query << "'";
}

TEST(ZEPAKeyMap, ModifierBits) {
  const std::pair<int, std::optional<std::uint8_t>> bits[] = {
      {0xE0, 0x01}, {0xE1, 0x02}, {0xE4, 0x10}, {0xE7, 0x80},
      {0xE8, {}},   {0xDF, {}},   {0xAF, {}},   {0x00, {}}};
  for (const auto& [usage, bit] : bits)
    EXPECT_EQ(ZEPAKeyMap::modifierBit(static_cast<std::uint8_t>(usage)), bit) << std::hex << usage;
}

TEST(KeyNames, LowercasedKeepsWhatIsNotUtf8) {
  const std::pair<const char*, const char*> lower[] = {{"ABC ÄÖÜ MENÜ ÀÞ×ØÉ", "abc äöü menü àþ×øé"},
                                                       {"ŁÓDŹ ĀŌ ŸẞŒ ←↑→↓", "łódź āō ÿßœ ←↑→↓"},
                                                       {"\xC3(", "\xC3("},
                                                       {"\xFF\xFE A", "\xFF\xFE a"},
                                                       {"\xC3", "\xC3"}};  // not UTF-8
  for (const auto& [text, expected] : lower) EXPECT_EQ(lowercased(text), expected) << text;
}

TEST(HalvernKeyMap, TableIsCompleteUniqueAndInSixRows) {
  const auto keys = HalvernKeyMap::keys();
  ASSERT_EQ(keys.size(), 109u);
  std::set<int> indices;
  std::set<std::string> names;
  for (const HalvernKey& key : keys) {
    indices.insert(key.index);
    names.insert(lowercased(key.name));
  }
  EXPECT_EQ(indices.size(), 109u);
  EXPECT_EQ(names.size(), 109u);
  EXPECT_EQ(*indices.rbegin(), 124);
  // Table positions where each physical row starts; index % 6 is the matrix row.
  const std::size_t rowStarts[] = {0, 20, 41, 62, 78, 96, 109};
  for (int row = 0; row < 6; ++row) {
    for (std::size_t i = rowStarts[row]; i < rowStarts[row + 1]; ++i) {
      // The backslash key is listed with the Q row but wired in the row below.
      EXPECT_EQ(keys[i].index % 6, keys[i].name == "\\" ? 3 : row) << i << " " << keys[i].name;
    }
  }
  const std::pair<std::size_t, HalvernKey> notable[] = {
      {0, {"Esc", 0}},   {19, {"M2", 120}},    {20, {"`", 1}},      {54, {"\\", 75}},
      {79, {"< >", 76}}, {95, {"Num ↵", 124}}, {102, {"Menü", 65}}, {103, {"Fn 2", 83}},
      {104, {"←", 89}},  {108, {"Num .", 119}}};
  for (const auto& [position, key] : notable) EXPECT_EQ(keys[position], key) << position;
}

TEST(LinuxKeycodes, TableAndLookUpFollowTheKernelMapFile) {
  std::ifstream in(std::string(ZEPA_SOURCE_DIR) + "/resources/data/hid-usage-to-linux-keycode.tsv");
  std::vector<std::string> file, table;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && !line.starts_with("usage")) file.push_back(line);
  std::optional<std::uint16_t> expected[256];
  for (const hid::KeycodeEntry& entry : hid::keyboardKeycodes()) {
    char text[64];
    std::snprintf(text, sizeof text, "0x%02x\t%u\t%s", entry.usage, entry.keycode, entry.name);
    table.push_back(text);
    expected[entry.usage] = entry.keycode;
  }
  EXPECT_EQ(table, file);
  for (unsigned code = 0; code <= 0xFF; ++code)
    EXPECT_EQ(hid::linuxKeycode(std::uint8_t(code)), expected[code]) << std::hex << code;
}

}  // namespace
}  // namespace zepa
