// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tools/sim/report_log.hpp"

// Runs zepa-sim on a fresh temporary ROOT for one test:
//
//   SimMount sim({"--zepa"});
//   ZEPA_REQUIRE_SIM(sim);
//   … open sim.root() / "dev/hidraw2" …
//
// The simulator gets --log ROOT/report.log, is stopped with SIGTERM when the object goes
// away, and the folder is removed.
namespace zepa::test {

class SimMount {
 public:
  explicit SimMount(std::vector<std::string> arguments = {});
  ~SimMount();
  SimMount(const SimMount&) = delete;
  SimMount& operator=(const SimMount&) = delete;

  // Why the simulator is not running (no /dev/fuse, it did not start or never said "ready");
  // empty while it runs.
  const std::optional<std::string>& problem() const { return problem_; }
  bool unavailable() const { return unavailable_; }  // no /dev/fuse: not even tried
  // With CI=true a missing /dev/fuse is a failure, not a reason to skip.
  static bool fuseRequired();

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path logPath() const { return root_ / "report.log"; }

  std::vector<zepa::sim::LogEntry> readLog() const;           // a malformed line fails the test
  nlohmann::json stateJson(std::string_view keyboard) const;  // "zepa" or "halvern"

  // Sends a signal and waits for the exit: the status as waitpid gives it, or nothing when
  // the process did not end in time.
  std::optional<int> stop(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Starts again on the same ROOT (after stop), with new arguments.
  bool restart(std::vector<std::string> arguments);
  std::string errorOutput() const;  // what the simulator wrote to standard error

 private:
  bool start(const std::vector<std::string>& arguments);

  std::filesystem::path root_;
  pid_t pid_ = -1;
  std::optional<std::string> problem_;
  bool unavailable_ = false;
};

// A file's whole text, and a folder's entries sorted and joined by spaces ("" when missing):
// what the simulator's tree holds, in a form a comparison prints in one line.
std::string readText(const std::filesystem::path& path);
std::string listing(const std::filesystem::path& folder);

}  // namespace zepa::test

// Skips the test without FUSE (fails it under CI=true); fails it when the simulator broke.
#define ZEPA_REQUIRE_SIM(sim)                                           \
  do {                                                                  \
    if ((sim).unavailable() && !::zepa::test::SimMount::fuseRequired()) \
      GTEST_SKIP() << *(sim).problem();                                 \
    ASSERT_FALSE((sim).problem().has_value()) << *(sim).problem();      \
  } while (false)
