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

// Another open file of the same node stands in for another program: flock locks belong to
// the open file, not to the process.
TEST(LockExclusively, WaitsInPausesUpToTheLimit) {
  const auto path =
      std::filesystem::path(testing::TempDir()) / ("zepa-lock-" + std::to_string(::getpid()));
  std::ofstream(path) << "";
  const struct {
    const char* name;
    int releaseAfter;  // pauses until the other holder closes; -1 never, 0 no holder
    IOReturn status;
    std::size_t pauses;
  } rows[] = {
      {"free node", 0, kIOReturnSuccess, 0},
      {"released after three pauses", 3, kIOReturnSuccess, 3},
      {"released in the last pause", 10, kIOReturnSuccess, 10},
      {"held past the limit", -1, kIOReturnExclusiveAccess, 10},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    int holder = -1;
    if (row.releaseAfter != 0) {
      holder = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
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
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_EQ(lockExclusively(fd, wait), row.status);
    EXPECT_EQ(pauses.size(), row.pauses);
    for (const auto pause : pauses) EXPECT_EQ(pause, 20ms);
    ::close(fd);
    if (holder >= 0) ::close(holder);
  }
  // What the first caller got is its own until it closes.
  const int first = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  const int second = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  const LockWait noWait{0ms, 20ms, [](std::chrono::microseconds) {}};
  EXPECT_EQ(lockExclusively(first, noWait), kIOReturnSuccess);
  EXPECT_EQ(lockExclusively(second, noWait), kIOReturnExclusiveAccess);
  ::close(first);
  EXPECT_EQ(lockExclusively(second, noWait), kIOReturnSuccess) << "after the holder closed";
  ::close(second);
  EXPECT_EQ(lockExclusively(-1, noWait), kIOReturnError) << "not a descriptor";
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace zepa::hid
