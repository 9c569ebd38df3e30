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
    ASSERT_GE(key.index, 1) << key.name;
    ASSERT_LE(key.index, 123) << key.name;
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
      ASSERT_EQ(key[step].index, 18 * row + column + step + 1) << key[step].name;
  }
}

std::string nameAt(int index) {
  const ZEPAKey* key = ZEPAKeyMap::key(static_cast<std::uint8_t>(index));
  return key ? key->name : "(none)";
}

TEST(ZEPAKeyMap, LooksUpByIndex) {
  EXPECT_EQ(nameAt(1), "Esc");
  EXPECT_EQ(nameAt(123), "Num +");
  EXPECT_EQ(nameAt(35), "(none)");  // a gap in the grid
  EXPECT_EQ(nameAt(0), "(none)");
  EXPECT_EQ(nameAt(124), "(none)");
}

int indexOf(const char* name) {
  const ZEPAKey* key = named(name);
  return key ? key->index : -1;
}

// Any case, but no trimming.
TEST(ZEPAKeyMap, LooksUpByName) {
  EXPECT_EQ(indexOf("LeerTaste"), 94);
  EXPECT_EQ(indexOf("LEERTASTE"), 94);
  EXPECT_EQ(indexOf("MENÜ"), 97);
  EXPECT_EQ(indexOf("num enter"), 106);
  EXPECT_EQ(indexOf("Menu"), -1);
  EXPECT_EQ(indexOf(" Esc"), -1);
  EXPECT_EQ(indexOf("Esc "), -1);
  EXPECT_EQ(indexOf(""), -1);
  ASSERT_NE(named("leertaste"), nullptr);
  EXPECT_EQ(named("leertaste")->hid, 0x2C);
}

TEST(ZEPAKeyMap, ModifierBits) {
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE0), 0x01);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE7), 0x80);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE8), std::nullopt);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xDF), std::nullopt);
}

TEST(KeyNames, LowercasedKeepsWhatIsNotUtf8) {
  EXPECT_EQ(lowercased("ABC ÄÖÜ MENÜ ÀÞ×ØÉ"), "abc äöü menü àþ×øé");
  EXPECT_EQ(lowercased("ŁÓDŹ ĀŌ ŸẞŒ ←↑→↓"), "łódź āō ÿßœ ←↑→↓");
  EXPECT_EQ(lowercased("\xFF\xFE A"), "\xFF\xFE a");
  EXPECT_EQ(lowercased("\xC3"), "\xC3");  // cut short
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
      ASSERT_EQ(keys[i].index % 6, keys[i].name == "\\" ? 3 : row) << i << " " << keys[i].name;
    }
  }
  const std::pair<std::size_t, HalvernKey> notable[] = {
      {0, {"Esc", 0}},   {19, {"M2", 120}},    {20, {"`", 1}},      {54, {"\\", 75}},
      {79, {"< >", 76}}, {95, {"Num ↵", 124}}, {102, {"Menü", 65}}, {103, {"Fn 2", 83}},
      {104, {"←", 89}},  {108, {"Num .", 119}}};
  for (const auto& [position, key] : notable) ASSERT_EQ(keys[position], key) << position;
}

// The table is the kernel's map file as the project keeps it.
TEST(LinuxKeycodes, TableFollowsTheKernelMapFile) {
  std::ifstream in(std::string(ZEPA_SOURCE_DIR) + "/resources/data/hid-usage-to-linux-keycode.tsv");
  std::vector<std::string> file, table;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && !line.starts_with("usage")) file.push_back(line);
  for (const hid::KeycodeEntry& entry : hid::keyboardKeycodes()) {
    char text[64];
    std::snprintf(text, sizeof text, "0x%02x\t%u\t%s", entry.usage, entry.keycode, entry.name);
    table.push_back(text);
  }
  EXPECT_EQ(table, file);
}

TEST(LinuxKeycodes, LookUp) {
  EXPECT_EQ(hid::linuxKeycode(0x04), 30);   // KEY_A, the first
  EXPECT_EQ(hid::linuxKeycode(0xE8), 164);  // KEY_PLAYPAUSE
  EXPECT_EQ(hid::linuxKeycode(0xFF), 240);  // KEY_UNKNOWN, the last
  EXPECT_EQ(hid::linuxKeycode(0x03), std::nullopt);
}

}  // namespace
}  // namespace zepa
