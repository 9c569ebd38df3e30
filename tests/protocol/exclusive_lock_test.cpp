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

// A node file per test; another open file of it stands in for another program:
// flock locks belong to the open file, not to the process.
class LockExclusively : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(path) << ""; }
  void TearDown() override { std::filesystem::remove(path); }
  int openNode() const { return ::open(path.c_str(), O_RDWR | O_CLOEXEC); }

  const std::filesystem::path path =
      std::filesystem::path(::testing::TempDir()) / ("zepa-lock-" + std::to_string(::getpid()));
};

struct Holder {
  const char* name;
  int releaseAfter;  // pauses until the other holder closes; -1 never, 0 no holder
  IOReturn status;
  std::size_t pauses;
};

class LockWaiting : public LockExclusively, public ::testing::WithParamInterface<Holder> {};

TEST_P(LockWaiting, WaitsInPausesUpToTheLimit) {
  const Holder& row = GetParam();
  int holder = -1;
  if (row.releaseAfter != 0) {
    holder = openNode();
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  }
  std::vector<std::chrono::microseconds> pauses;
  const LockWait wait{200ms, 20ms, [&](std::chrono::microseconds pause) {
                        pauses.push_back(pause);
                        if (static_cast<int>(pauses.size()) == row.releaseAfter) {
                          ::close(holder);
                          holder = -1;
                        }
                      }};
  const int fd = openNode();
  EXPECT_EQ(lockExclusively(fd, wait), row.status);
  EXPECT_EQ(pauses.size(), row.pauses);
  EXPECT_EQ(pauses.empty() ? 20ms : pauses.back(), 20ms);
  ::close(fd);
  if (holder >= 0) ::close(holder);
}

INSTANTIATE_TEST_SUITE_P(
    , LockWaiting,
    ::testing::Values(Holder{"FreeNode", 0, kIOReturnSuccess, 0},
                      Holder{"ReleasedInTheLastPause", 10, kIOReturnSuccess, 10},
                      Holder{"HeldPastTheLimit", -1, kIOReturnExclusiveAccess, 10}),
    [](const auto& info) { return std::string(info.param.name); });

// What the first caller got is its own until it closes.
TEST_F(LockExclusively, BelongsToTheFirstCallerUntilItCloses) {
  const int first = openNode();
  const int second = openNode();
  const LockWait noWait{0ms, 20ms, [](std::chrono::microseconds) {}};
  EXPECT_EQ(lockExclusively(first, noWait), kIOReturnSuccess);
  EXPECT_EQ(lockExclusively(second, noWait), kIOReturnExclusiveAccess);
  ::close(first);
  EXPECT_EQ(lockExclusively(second, noWait), kIOReturnSuccess);
  ::close(second);
}

TEST_F(LockExclusively, ANonDescriptorIsAnError) {
  const LockWait noWait{0ms, 20ms, [](std::chrono::microseconds) {}};
  EXPECT_EQ(lockExclusively(-1, noWait), kIOReturnError);
}

}  // namespace
}  // namespace zepa::hid
