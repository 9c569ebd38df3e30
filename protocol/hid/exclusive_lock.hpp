// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include "protocol/hid/io_return.hpp"
#include "protocol/pacing.hpp"

// One program at a time per keyboard node: two programs whose reports interleave make the
// keyboard reject both sequences.
namespace zepa::hid {

// How long a program waits for a node another program holds. The longest hold is the ZEPA
// part of a restore (lighting, per-key colours and remaps on one open node, about 2 s with
// the keyboard's pauses); the limit leaves room for a slow machine.
struct LockWait {
  std::chrono::milliseconds limit{5000};
  std::chrono::milliseconds step{20};
  Sleeper pause = realSleeper();
};

// flock(LOCK_EX) on the open node `fd`, tried again after every `step` until the pauses add up
// to `limit`. kIOReturnExclusiveAccess when another open file still holds the node then, the
// errno's status for any other failure. The lock goes with the last close of `fd`.
IOReturn lockExclusively(int fd, const LockWait& wait);

}  // namespace zepa::hid
