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

  // Locks the node while another holder keeps it for `releaseAfter` pauses (never with -1);
  // the pauses taken go to `pauses`.
  IOReturn lockHeldFor(int releaseAfter, std::vector<std::chrono::microseconds>& pauses) {
    int holder = openNode();
    EXPECT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const LockWait wait{200ms, 20ms, [&](std::chrono::microseconds pause) {
                          pauses.push_back(pause);
                          if (static_cast<int>(pauses.size()) == releaseAfter) {
                            ::close(holder);
                            holder = -1;
                          }
                        }};
    const int fd = openNode();
    const IOReturn status = lockExclusively(fd, wait);
    ::close(fd);
    if (holder >= 0) ::close(holder);
    return status;
  }

  const std::filesystem::path path =
      std::filesystem::path(::testing::TempDir()) / ("zepa-lock-" + std::to_string(::getpid()));
  const LockWait noWait{0ms, 20ms, [](std::chrono::microseconds) {}};
};

TEST_F(LockExclusively, ReleasedInTheLastPauseIsTaken) {
  std::vector<std::chrono::microseconds> pauses;
  EXPECT_EQ(lockHeldFor(10, pauses), kIOReturnSuccess);
  EXPECT_EQ(pauses.size(), 10u);
  EXPECT_EQ(pauses.back(), 20ms);
}

TEST_F(LockExclusively, HeldPastTheLimitIsRefused) {
  std::vector<std::chrono::microseconds> pauses;
  EXPECT_EQ(lockHeldFor(-1, pauses), kIOReturnExclusiveAccess);
  EXPECT_EQ(pauses.size(), 10u);
}

TEST_F(LockExclusively, AFreeNodeTakesNoPause) {
  std::vector<std::chrono::microseconds> pauses;
  const LockWait counted{200ms, 20ms, [&](std::chrono::microseconds p) { pauses.push_back(p); }};
  const int fd = openNode();
  EXPECT_EQ(lockExclusively(fd, counted), kIOReturnSuccess);
  ::close(fd);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(LockExclusively, ANonDescriptorIsAnError) {
  EXPECT_EQ(lockExclusively(-1, noWait), kIOReturnError);
}

}  // namespace
}  // namespace zepa::hid
