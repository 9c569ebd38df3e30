// SPDX-License-Identifier: MIT
// A node someone never lets go of, with real processes against zepa-sim: zepactl (hidraw) and
// zepa-keymap (event node) wait, give up with the German sentence and send nothing. Taking
// turns is the lock's own test and the window's against a running restore.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"

namespace {

using zepa::test::PrintTo;
using zepa::test::ProgramOutcome;
using zepa::test::SimMount;

struct HeldNode {
  const char* name;
  const char* node;
  std::vector<std::string> args;  // after --device-root
};

class ExclusiveUse : public ::testing::TestWithParam<HeldNode> {};

TEST_P(ExclusiveUse, HeldNodeRefusedAfterTheWait) {
  const HeldNode& row = GetParam();
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  const int fd = ::open((sim.root() / row.node).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  std::vector<std::string> args{"--device-root", sim.root().string()};
  args.insert(args.end(), row.args.begin() + 1, row.args.end());
  const auto started = std::chrono::steady_clock::now();
  const ProgramOutcome outcome = zepa::test::runProgram(row.args.front(), args);
  const auto waited = std::chrono::steady_clock::now() - started;
  ::close(fd);
  EXPECT_EQ(outcome.err,
            "Das Keyboard wird gerade von einem anderen Programm verwendet. Bitte kurz warten und "
            "erneut versuchen.\n");
  EXPECT_GE(waited, std::chrono::seconds(4)) << "gave up without waiting";
  EXPECT_EQ(sim.readLog().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ExclusiveUse,
    ::testing::Values(
        HeldNode{"zepactl", "dev/hidraw2", {"zepactl", "zepa", "lighting", "breath"}},
        HeldNode{
            "zepaKeymap",
            "dev/input/event0",
            {"zepa-keymap", "property", "--matching",
             R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})", "--set",
             R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,)"
             R"("HIDKeyboardModifierMappingDst":30064771296}]})"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
