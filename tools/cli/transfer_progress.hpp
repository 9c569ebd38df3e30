// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>
#include <string>

#include "protocol/pacing.hpp"

namespace zepa::cli {

// A percentage on one terminal line for the long per-key and remap transfers. The devices
// pause after every report they write or read back, so counting the pauses of the wrapped
// sleeper counts the reports without any hook in the protocol.
class TransferProgress {
 public:
  // `pauses`: how many pauses the whole transfer makes.
  TransferProgress(std::ostream& terminal, std::string label, int pauses);
  TransferProgress(const TransferProgress&) = delete;
  TransferProgress& operator=(const TransferProgress&) = delete;

  // Must not outlive this object.
  Sleeper wrap(Sleeper inner);
  // Ends the line: 100 % after success, the last figure after a failure.
  void finish(bool success);

 private:
  void show(int percent);

  std::ostream& terminal_;
  std::string label_;
  int pauses_;
  int seen_ = 0;
  int shown_ = -1;
  bool finished_ = false;
};

}  // namespace zepa::cli
