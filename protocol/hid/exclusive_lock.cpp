// SPDX-License-Identifier: MIT
#include "protocol/hid/exclusive_lock.hpp"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>

namespace zepa::hid {

IOReturn lockExclusively(int fd, const LockWait& wait) {
  // A bounded poll instead of a blocking flock: a person waits a few seconds, not forever.
  std::chrono::milliseconds waited{0};
  while (true) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return kIOReturnSuccess;
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK) return ioReturnFromErrno(error);
    if (waited >= wait.limit) return kIOReturnExclusiveAccess;
    const auto step = std::max(wait.step, std::chrono::milliseconds(1));
    wait.pause(step);
    waited += step;
  }
}

}  // namespace zepa::hid
