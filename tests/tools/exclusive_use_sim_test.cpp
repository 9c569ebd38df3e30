// SPDX-License-Identifier: MIT
// One program at a time per keyboard, with real processes against zepa-sim: programs started
// together take turns and every sequence arrives whole; a node someone never lets go of makes
// the others give up after the wait with the German sentence, having sent nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "protocol/zepa_error.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/sim_mount.hpp"

namespace {

using zepa::test::ProgramOutcome;
using zepa::test::SimMount;

ProgramOutcome zepactl(const SimMount& sim, std::vector<std::string> args) {
  args.insert(args.begin(), {"--device-root", sim.root().string()});
  return zepa::test::runProgram("zepactl", args);
}

// The log as "op id bytes" lines, from entry `from` on.
std::vector<std::string> logLines(const SimMount& sim, std::size_t from = 0) {
  std::vector<std::string> lines;
  const auto log = sim.readLog();
  for (std::size_t i = from; i < log.size(); ++i)
    lines.push_back(log[i].node + " " + log[i].op + " " + std::to_string(log[i].id) + " " +
                    zepa::hexBytes(log[i].bytes));
  return lines;
}

std::vector<std::string> joined(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

const std::vector<std::string> keysCommand{"zepa", "keys", "esc=ff0000", "f1=00ff00"};
const std::vector<std::string> lightingCommand{"zepa", "lighting", "breath", "--color", "112233"};

// Each command's reports alone, then both started together for several rounds: the log of a
// round is one whole sequence after the other, in either order, and the keyboard took both.
TEST(ExclusiveUse, ProgramsStartedTogetherTakeTurns) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ASSERT_EQ(zepactl(sim, keysCommand).status, 0);
  const auto keys = logLines(sim);
  ASSERT_EQ(zepactl(sim, lightingCommand).status, 0);
  const auto lighting = logLines(sim, keys.size());
  ASSERT_FALSE(keys.empty());
  ASSERT_FALSE(lighting.empty());

  constexpr int roundCount = 4;
  for (int round = 1; round <= roundCount; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const auto before = sim.readLog().size();
    auto first = std::async(std::launch::async, [&] { return zepactl(sim, keysCommand); });
    auto second = std::async(std::launch::async, [&] { return zepactl(sim, lightingCommand); });
    const ProgramOutcome keysOutcome = first.get();
    const ProgramOutcome lightingOutcome = second.get();
    EXPECT_EQ(keysOutcome.status, 0) << keysOutcome.err;
    EXPECT_EQ(lightingOutcome.status, 0) << lightingOutcome.err;
    const auto logged = logLines(sim, before);
    const bool keysFirst = logged == joined(keys, lighting);
    const bool lightingFirst = logged == joined(lighting, keys);
    EXPECT_TRUE(keysFirst || lightingFirst) << testing::PrintToString(logged);
  }
  const auto state = sim.stateJson("zepa");
  EXPECT_EQ(state["rejected"], 0);
  EXPECT_EQ(state["lastError"], "");
}

// The test holds the ZEPA's configuration node and the Halvern's event node; both programs
// wait, give up with the German sentence and send nothing. Once the holder lets go, the same
// calls go through.
TEST(ExclusiveUse, HeldNodeRefusedAfterTheWait) {
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  std::vector<int> held;
  for (const char* node : {"dev/hidraw2", "dev/input/event0"}) {
    const int fd = ::open((sim.root() / node).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << node;
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << node;
    held.push_back(fd);
  }
  const std::vector<std::string> keymap{
      "--device-root",
      sim.root().string(),
      "property",
      "--matching",
      R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})",
      "--set",
      R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,)"
      R"("HIDKeyboardModifierMappingDst":30064771296}]})"};
  const auto started = std::chrono::steady_clock::now();
  auto zepa = std::async(std::launch::async, [&] { return zepactl(sim, lightingCommand); });
  auto keys =
      std::async(std::launch::async, [&] { return zepa::test::runProgram("zepa-keymap", keymap); });
  const ProgramOutcome outcomes[] = {zepa.get(), keys.get()};
  const auto waited = std::chrono::steady_clock::now() - started;
  for (const auto& outcome : outcomes) {
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(
        outcome.err,
        "Das Keyboard wird gerade von einem anderen Programm verwendet. Bitte kurz warten und "
        "erneut versuchen.\n");
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_GE(waited, std::chrono::seconds(4)) << "gave up without waiting";
  EXPECT_EQ(logLines(sim), std::vector<std::string>{});

  for (const int fd : held) ::close(fd);
  EXPECT_EQ(zepactl(sim, lightingCommand).status, 0);
  EXPECT_EQ(zepa::test::runProgram("zepa-keymap", keymap).status, 0);
  EXPECT_EQ(sim.stateJson("zepa")["lighting"]["effect"], 7);
  EXPECT_EQ(sim.stateJson("halvern")["keyMap"].size(), 1u);
}

}  // namespace
