// SPDX-License-Identifier: MIT
// The bash completion as bash runs it: the script is sourced, _zepactl called on a command line,
// and the candidates read back.
#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/report_bytes.hpp"

namespace {

using zepa::test::PrintTo;

// Single quotes for bash.
std::string shellQuoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The candidates bash offers for the last of `words` (after the program).
std::vector<std::string> candidates(const std::vector<std::string>& words) {
  std::string line = std::string(ZEPA_BIN_DIR) + "/zepactl";
  std::string array = shellQuoted(line);
  for (const std::string& word : words) array += " " + shellQuoted(word);
  const std::string script =
      "source " + shellQuoted(std::string(ZEPA_SOURCE_DIR) + "/resources/zepactl.bash-completion") +
      "; COMP_WORDS=(" + array + "); COMP_CWORD=" + std::to_string(words.size()) +
      "; _zepactl; printf '%s\\n' \"${COMPREPLY[@]}\"";
  FILE* bash = popen(("bash --norc --noprofile -c " + shellQuoted(script)).c_str(), "r");
  if (!bash) return {"<bash did not start>"};
  std::string text;
  char buffer[4096];
  for (std::size_t count; (count = fread(buffer, 1, sizeof buffer, bash)) > 0;) {
    text.append(buffer, count);
  }
  if (pclose(bash) != 0) return {"<bash failed>"};
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

struct Completion {
  const char* name;
  std::vector<std::string> words;  // the last one is being completed
  std::string offered;
};

class BashCompletion : public ::testing::TestWithParam<Completion> {};

TEST_P(BashCompletion, Offers) {
  const auto offered = candidates(GetParam().words);
  EXPECT_NE(std::find(offered.begin(), offered.end(), GetParam().offered), offered.end())
      << ::testing::PrintToString(offered);
}

INSTANTIATE_TEST_SUITE_P(
    Zepactl, BashCompletion,
    ::testing::Values(
        Completion{"modeInAnyCase", {"zepa", "lighting", "Ro"}, "rolling"},
        Completion{"optionOfTheCommand", {"zepa", "lighting", "rolling", "--sa"}, "--save"},
        Completion{"jsonAfterDeviceRoot", {"--device-root", "/tmp", "list", "--j"}, "--json"},
        Completion{"keySource", {"zepa", "keys", "caps"}, "capslock="},
        // The kernel knows F13; the Halvern's key map can take it.
        Completion{"halvernKey", {"halvern", "remap", "esc=f1"}, "esc=f13"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BashCompletion, OffersNoZepaKeyTheKeyboardLacks) {
  const auto offered = candidates({"zepa", "keys", "f1"});
  EXPECT_EQ(std::find(offered.begin(), offered.end(), "f13="), offered.end())
      << ::testing::PrintToString(offered);
}

}  // namespace
