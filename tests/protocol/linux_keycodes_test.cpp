#include "protocol/hid/linux_keycodes.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
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
  std::optional<std::uint16_t> expected[256];
  for (const auto& row : readKeycodeTable()) expected[row.usage & 0xFF] = row.keycode;
  for (unsigned usage = 0; usage <= 0xFF; ++usage) {
    EXPECT_EQ(linuxKeycode(static_cast<std::uint8_t>(usage)), expected[usage])
        << "usage 0x" << std::hex << usage;
  }
}

}  // namespace
}  // namespace zepa::hid
