// SPDX-License-Identifier: MIT
// --version of the programs: on standard output, exit 0, nothing else done (zepa-control opens
// no window and needs no display for it). --help is run by the manual page build.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "protocol/version.hpp"
#include "tests/support/child_process.hpp"

namespace {

struct Program {
  const char* name;
};

void PrintTo(const Program& program, std::ostream* out) {
  *out << program.name;
}

class ProgramOptions : public ::testing::TestWithParam<Program> {
 protected:
  void SetUp() override {
    // Without a display a window could not open; the options must not try.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
  }
};

TEST_P(ProgramOptions, VersionIsTheProjectVersion) {
  const auto outcome = zepa::test::runProgram(GetParam().name, {"--version"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out,
            std::string(GetParam().name) + " " + std::string(zepa::projectVersion) + "\n");
  EXPECT_EQ(outcome.err, "");
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramOptions,
                         ::testing::Values(Program{"zepa-control"}, Program{"zepa-keymap"},
                                           Program{"zepa-sim"}, Program{"zepactl"}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace
