// SPDX-License-Identifier: MIT
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
  EXPECT_EQ(nameAt(35), "(none)");  // a gap in the grid
}

int indexOf(const char* name) {
  const ZEPAKey* key = named(name);
  return key ? key->index : -1;
}

// Any case (the folding is lowercased's test), but no trimming.
TEST(ZEPAKeyMap, LooksUpByName) {
  EXPECT_EQ(indexOf("MENÜ"), 97);
  EXPECT_EQ(indexOf(" Esc"), -1);
}

TEST(ZEPAKeyMap, ModifierBits) {
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE0), 0x01);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE7), 0x80);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE8), std::nullopt);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xDF), std::nullopt);
}

TEST(HalvernKeyMap, HoldsEveryKeyInRowOrder) {
  const auto keys = HalvernKeyMap::keys();
  ASSERT_EQ(keys.size(), 109u);
  EXPECT_EQ(keys.front(), (HalvernKey{"Esc", 0}));
  EXPECT_EQ(keys.back(), (HalvernKey{"Num .", 119}));
}

TEST(KeyNames, LowercasedKeepsWhatIsNotUtf8) {
  EXPECT_EQ(lowercased("ABC ÄÖÜ MENÜ ÀÞ×ØÉ"), "abc äöü menü àþ×øé");
  EXPECT_EQ(lowercased("ŁÓDŹ ĀŌ ŸẞŒ ←↑→↓"), "łódź āō ÿßœ ←↑→↓");
  EXPECT_EQ(lowercased("\xFF\xFE A"), "\xFF\xFE a");
  EXPECT_EQ(lowercased("\xC3"), "\xC3");  // cut short
}

TEST(LinuxKeycodes, LookUp) {
  EXPECT_EQ(hid::linuxKeycode(0x04), 30);  // KEY_A
  EXPECT_EQ(hid::linuxKeycode(0x03), std::nullopt);
}

}  // namespace
}  // namespace zepa
