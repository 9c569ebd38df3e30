// SPDX-License-Identifier: MIT
#include "protocol/hid/exclusive_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zepa::hid {
namespace {

using namespace std::chrono_literals;

// A node file per test; another open file of it stands in for another program: flock locks
// belong to the open file, not to the process.
class LockExclusively : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(path) << ""; }
  void TearDown() override { std::filesystem::remove(path); }
  int openNode() const { return ::open(path.c_str(), O_RDWR | O_CLOEXEC); }

  const std::filesystem::path path =
      std::filesystem::path(::testing::TempDir()) / ("zepa-lock-" + std::to_string(::getpid()));
};

// Another holder lets go in the tenth and last pause of the wait.
TEST_F(LockExclusively, ReleasedInTheLastPauseIsTaken) {
  std::vector<std::chrono::microseconds> pauses;
  const int holder = openNode();
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  const LockWait wait{200ms, 20ms, [&](std::chrono::microseconds pause) {
                        pauses.push_back(pause);
                        if (pauses.size() == 10) ::close(holder);
                      }};
  const int fd = openNode();
  EXPECT_EQ(lockExclusively(fd, wait), kIOReturnSuccess);
  ::close(fd);
}

}  // namespace
}  // namespace zepa::hid
