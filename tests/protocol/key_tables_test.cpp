// SPDX-License-Identifier: MIT
#include <set>

#include <gtest/gtest.h>

#include "protocol/zepa_key_map.hpp"

namespace zepa {
namespace {

TEST(ZEPAKeyMap, TableIsCompleteAndUnique) {
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
}

int indexOf(const char* name) {
  const ZEPAKey* key = ZEPAKeyMap::key(std::string_view(name));
  return key ? key->index : -1;
}

// Any case; the folding is lowercased's test.
TEST(ZEPAKeyMap, LooksUpByName) {
  EXPECT_EQ(indexOf("MENÜ"), 97);
}

TEST(ZEPAKeyMap, ModifierBits) {
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE0), 0x01);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE7), 0x80);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xE8), std::nullopt);
  EXPECT_EQ(ZEPAKeyMap::modifierBit(0xDF), std::nullopt);
}

TEST(KeyNames, LowercasedKeepsWhatIsNotUtf8) {
  EXPECT_EQ(lowercased("ABC ÄÖÜ MENÜ ÀÞ×ØÉ"), "abc äöü menü àþ×øé");
  EXPECT_EQ(lowercased("\xFF\xFE A"), "\xFF\xFE a");
  EXPECT_EQ(lowercased("\xC3"), "\xC3");  // cut short
}

}  // namespace
}  // namespace zepa
