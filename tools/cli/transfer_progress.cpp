// SPDX-License-Identifier: MIT
#include "tools/cli/transfer_progress.hpp"

#include <algorithm>
#include <utility>

namespace zepa::cli {

TransferProgress::TransferProgress(std::ostream& terminal, std::string label, int pauses)
    : terminal_(terminal), label_(std::move(label)), pauses_(std::max(pauses, 1)) {}

Sleeper TransferProgress::wrap(Sleeper inner) {
  return [this, inner = std::move(inner)](std::chrono::microseconds pause) {
    ++seen_;
    // 100 % is kept for finish(): a pause more than planned must not look like the end.
    show(std::min(99, seen_ * 100 / pauses_));
    return inner(pause);
  };
}

void TransferProgress::finish(bool success) {
  if (finished_ || shown_ < 0) return;
  finished_ = true;
  if (success) show(100);
  terminal_ << '\n' << std::flush;
}

void TransferProgress::show(int percent) {
  if (percent == shown_) return;
  shown_ = percent;
  terminal_ << '\r' << label_ << " … " << percent << " %" << std::flush;
}

}  // namespace zepa::cli
