#include <set>

#include <gtest/gtest.h>

#include "protocol/halvern_key_map.hpp"
#include "protocol/zepa_key_map.hpp"

namespace zepa {
namespace {

// Upper case for the letters the key labels use, to look every label up the other way round.
std::string uppercased(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "ü") == 0) {
      out += "Ü";
      ++i;
    } else if (text[i] >= 'a' && text[i] <= 'z') {
      out.push_back(static_cast<char>(text[i] - 0x20));
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// --- ZEPA VX10 --------------------------------------------------------------------------------

TEST(ZEPAKeyMapTest, TableIsCompleteAndUnique) {
  auto keys = ZEPAKeyMap::keys();
  ASSERT_EQ(keys.size(), 104u);
  std::set<int> indices, usages;
  std::set<std::string> names;
  for (const ZEPAKey& key : keys) {
    EXPECT_TRUE(indices.insert(key.index).second) << "index " << int(key.index);
    EXPECT_TRUE(usages.insert(key.hid).second) << "usage " << int(key.hid);
    EXPECT_TRUE(names.insert(lowercased(key.name)).second) << key.name;
    EXPECT_GE(key.index, 1);
    EXPECT_LE(key.index, 123);
  }
  EXPECT_EQ(keys.front().name, "Esc");
  EXPECT_EQ(keys.back().name, "Num .");
}

TEST(ZEPAKeyMapTest, MainBlockFollowsTheEighteenColumnGrid) {
  // Runs of keys that sit next to each other in the table and on the grid.
  struct Run {
    const char* first;
    int row, column, length;
  };
  const Run runs[] = {
      {"Esc", 0, 0, 13},   {"^", 1, 0, 13},      {"Num", 1, 13, 3},   {"Tab", 2, 0, 13},
      {"Num 7", 2, 13, 3}, {"Caps", 3, 0, 12},   {"Num 4", 3, 13, 3}, {"Shift L", 4, 0, 12},
      {"Num 1", 4, 13, 3}, {"Ctrl L", 5, 0, 10}, {"↑", 5, 10, 1},     {"→", 5, 11, 1},
  };
  auto keys = ZEPAKeyMap::keys();
  for (const Run& run : runs) {
    const ZEPAKey* first = ZEPAKeyMap::key(run.first);
    ASSERT_NE(first, nullptr) << run.first;
    auto position = static_cast<std::size_t>(first - keys.data());
    for (int step = 0; step < run.length; ++step) {
      const ZEPAKey& key = keys[position + static_cast<std::size_t>(step)];
      EXPECT_EQ(key.index, 18 * run.row + run.column + step + 1) << key.name;
    }
  }
  EXPECT_EQ(ZEPAKeyMap::key("\\")->index, 18 * 3 + 12 + 1);
}

TEST(ZEPAKeyMapTest, KeysOffTheGrid) {
  struct Row {
    const char* name;
    int index, hid;
  };
  const Row rows[] = {{"Backspace", 103, 0x2A}, {"Enter", 85, 0x28},  {"Einfg", 116, 0x49},
                      {"Bild↓", 121, 0x4E},     {"Num -", 122, 0x56}, {"Num +", 123, 0x57},
                      {"Num Enter", 106, 0x58}, {"Fn", 96, 0xAF},     {"Menü", 97, 0x65}};
  for (const Row& row : rows) {
    const ZEPAKey* key = ZEPAKeyMap::key(row.name);
    ASSERT_NE(key, nullptr) << row.name;
    EXPECT_EQ(key->index, row.index) << row.name;
    EXPECT_EQ(key->hid, row.hid) << row.name;
  }
}

TEST(ZEPAKeyMapTest, LookUpByIndex) {
  struct Row {
    int index;
    const char* name;  // "": no key
  };
  const Row rows[] = {{85, "Enter"}, {86, "Num 1"}, {1, "Esc"}, {123, "Num +"}, {35, ""},
                      {0, ""},       {14, ""},      {18, ""},   {114, ""},      {124, ""}};
  for (const Row& row : rows) {
    const ZEPAKey* key = ZEPAKeyMap::key(static_cast<std::uint8_t>(row.index));
    EXPECT_EQ(key ? key->name : "", row.name) << row.index;
  }
}

TEST(ZEPAKeyMapTest, LookUpByNameIgnoresCaseButNotBlanks) {
  struct Row {
    const char* query;
    int index;  // -1: no key
  };
  const Row rows[] = {
      {"leertaste", 94},  {"LEERTASTE", 94}, {"LeerTaste", 94}, {"bild↑", 118},
      {"BILD↓", 121},     {"MENÜ", 97},      {"menü", 97},      {"Menu", -1},
      {"num enter", 106}, {"ESC", 1},        {" Esc", -1},      {"Esc ", -1},
      {"", -1},           {"Num  1", -1},    {"↑", 101},        {"Leertaste\n", -1},
  };
  for (const Row& row : rows) {
    const ZEPAKey* key = ZEPAKeyMap::key(std::string_view(row.query));
    EXPECT_EQ(key ? key->index : -1, row.index) << "'" << row.query << "'";
  }
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
    EXPECT_EQ(ZEPAKeyMap::key(uppercased(key.name)), &key) << uppercased(key.name);
  }
}

TEST(ZEPAKeyMapTest, ModifierBits) {
  struct Row {
    int usage;
    std::optional<std::uint8_t> bit;
  };
  const Row rows[] = {{0xE0, 0x01},         {0xE1, 0x02},         {0xE2, 0x04},
                      {0xE3, 0x08},         {0xE4, 0x10},         {0xE5, 0x20},
                      {0xE6, 0x40},         {0xE7, 0x80},         {0xE8, std::nullopt},
                      {0xDF, std::nullopt}, {0xAF, std::nullopt}, {0x00, std::nullopt},
                      {0xFF, std::nullopt}, {0x60, std::nullopt}};
  for (const Row& row : rows) {
    EXPECT_EQ(ZEPAKeyMap::modifierBit(static_cast<std::uint8_t>(row.usage)), row.bit)
        << std::hex << row.usage;
  }
  int modifiers = 0;
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
    if (ZEPAKeyMap::modifierBit(key.hid)) ++modifiers;
  }
  EXPECT_EQ(modifiers, 7) << "Ctrl, Shift, Alt left and right plus Cmd L";
}

TEST(LowercasedTest, LatinLettersFoldOtherTextStays) {
  struct Row {
    const char* input;
    const char* lower;
  };
  const Row rows[] = {
      {"ABC xyz 123", "abc xyz 123"},
      {"ÄÖÜ", "äöü"},
      {"MENÜ", "menü"},
      {"ÀÞ×ØÉ", "àþ×øé"},  // U+00D7 is a sign, not a letter
      {"ŁÓDŹ ŻÓŁW", "łódź żółw"},
      {"ĀĒĪŌŪ", "āēīōū"},
      {"ŸẞŒ", "ÿßœ"},
      {"İ", "i\xCC\x87"},
      {"←↑→↓ ↵", "←↑→↓ ↵"},
      {"\xC3", "\xC3"},              // cut sequence
      {"\xFF\xFE A", "\xFF\xFE a"},  // not UTF-8 at all
      {"\xC3(", "\xC3("},
      {"", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(lowercased(row.input), row.lower) << row.input;
}

// --- Halvern Corvane Pro 108 ------------------------------------------------------------------

TEST(HalvernKeyMapTest, TableIsCompleteAndUnique) {
  auto keys = HalvernKeyMap::keys();
  ASSERT_EQ(keys.size(), 109u);
  std::set<int> indices;
  std::set<std::string> names;
  int highest = 0;
  for (const HalvernKey& key : keys) {
    EXPECT_TRUE(indices.insert(key.index).second) << "index " << int(key.index);
    EXPECT_TRUE(names.insert(lowercased(key.name)).second) << key.name;
    highest = std::max(highest, int(key.index));
  }
  EXPECT_EQ(highest, 124);
  EXPECT_EQ(keys.front(), (HalvernKey{"Esc", 0}));
  EXPECT_EQ(keys.back(), (HalvernKey{"Num .", 119}));
}

TEST(HalvernKeyMapTest, PhysicalRowsMatchTheSixRowMatrix) {
  struct Row {
    std::size_t first, last;  // table positions, inclusive
    int row;
  };
  const Row rows[] = {{0, 19, 0}, {20, 40, 1}, {41, 61, 2}, {62, 77, 3}, {78, 95, 4}, {96, 108, 5}};
  auto keys = HalvernKeyMap::keys();
  for (const Row& row : rows) {
    for (std::size_t i = row.first; i <= row.last; ++i) {
      // The backslash key is listed with the Q row but wired in the row below.
      int expected = keys[i].name == "\\" ? 3 : row.row;
      EXPECT_EQ(keys[i].index % 6, expected) << i << " " << keys[i].name;
    }
  }
}

TEST(HalvernKeyMapTest, NotableEntries) {
  struct Row {
    std::size_t position;
    const char* name;
    int index;
  };
  const Row rows[] = {{19, "M2", 120},    {20, "\x60", 1},   {54, "\x5C", 75},  {79, "< >", 76},
                      {95, "Num ↵", 124}, {102, "Menü", 65}, {103, "Fn 2", 83}, {104, "←", 89}};
  auto keys = HalvernKeyMap::keys();
  for (const Row& row : rows) {
    EXPECT_EQ(keys[row.position], (HalvernKey{row.name, static_cast<std::uint8_t>(row.index)}))
        << row.position;
  }
}

}  // namespace
}  // namespace zepa
