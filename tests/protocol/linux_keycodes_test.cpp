#include "protocol/hid/linux_keycodes.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace zepa::hid {
namespace {

struct TsvRow {
  unsigned usage;
  unsigned keycode;
  std::string name;
};

// The kernel's default map as the project keeps it beside the sources.
std::vector<TsvRow> readKeycodeTable() {
  std::ifstream in(std::string(ZEPA_SOURCE_DIR) + "/resources/data/hid-usage-to-linux-keycode.tsv");
  std::vector<TsvRow> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string usage;
    TsvRow row{};
    fields >> usage >> row.keycode >> row.name;
    row.usage = static_cast<unsigned>(std::stoul(usage, nullptr, 16));
    rows.push_back(row);
  }
  return rows;
}

TEST(LinuxKeycodes, TableMatchesTheKernelMapFile) {
  const auto file = readKeycodeTable();
  const auto table = keyboardKeycodes();
  ASSERT_FALSE(file.empty()) << "resources/data/hid-usage-to-linux-keycode.tsv not readable";
  ASSERT_EQ(table.size(), file.size());
  for (std::size_t i = 0; i < file.size(); ++i) {
    SCOPED_TRACE(file[i].name);
    EXPECT_EQ(table[i].usage, file[i].usage);
    EXPECT_EQ(table[i].keycode, file[i].keycode);
    EXPECT_EQ(std::string(table[i].name), file[i].name);
  }
}

TEST(LinuxKeycodes, LookupCoversEveryUsage) {
  const auto file = readKeycodeTable();
  std::set<unsigned> listed;
  for (const auto& row : file) {
    listed.insert(row.usage);
    EXPECT_EQ(linuxKeycode(static_cast<std::uint8_t>(row.usage)), row.keycode)
        << "usage 0x" << std::hex << row.usage;
  }
  for (unsigned usage = 0; usage <= 0xFF; ++usage) {
    if (listed.count(usage) == 0) {
      EXPECT_EQ(linuxKeycode(static_cast<std::uint8_t>(usage)), std::nullopt)
          << "usage 0x" << std::hex << usage;
    }
  }
}

TEST(LinuxKeycodes, AscendingUsages) {
  const auto table = keyboardKeycodes();
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(table[i - 1].usage, table[i].usage) << "row " << i;
  }
}

// Anchors that catch a file and table drifting together.
TEST(LinuxKeycodes, WellKnownKeys) {
  const struct {
    std::uint8_t usage;
    std::uint16_t keycode;
  } rows[] = {
      {0x04, 30}, {0x1d, 44},  {0x27, 11},  {0x28, 28}, {0x29, 1},  {0x2c, 57},  {0x39, 58},
      {0x3a, 59}, {0x4c, 111}, {0x52, 103}, {0x64, 86}, {0xe0, 29}, {0xe3, 125}, {0xe7, 126},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(linuxKeycode(row.usage), row.keycode) << "usage 0x" << std::hex << int{row.usage};
  }
  EXPECT_EQ(linuxKeycode(0x00), std::nullopt);
  EXPECT_EQ(linuxKeycode(0x03), std::nullopt);
}

}  // namespace
}  // namespace zepa::hid
