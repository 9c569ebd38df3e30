// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Faults injected with --fail. Feature calls are numbered per simulator from 1: set:N counts
// the feature writes, get:N the feature reads, unplug:N every feature call of either kind.
// Key-map calls are not counted. A short read's K counts the report bytes the host gets
// back (with the ID byte of a numbered report, without the kernel's leading 0 of an
// unnumbered one). Unplugging takes both keyboards away; unrelated devices stay.
namespace zepa::sim {

struct Fault {
  enum class Kind { open, set, get, shortRead, nak, unplug };
  Kind kind;
  std::uint64_t call = 0;  // N; unused for open
  int error = 0;           // errno for open, set, get
  std::size_t length = 0;  // K of a short read
};

// Parses "open:EACCES", "set:3:EPIPE", "get:2:EIO", "get:4:short:10", "get:1:nak",
// "unplug:5". Throws std::invalid_argument with a readable text on anything else.
Fault parseFault(std::string_view text);

// Any errno name the C library knows ("EPIPE", "ESHUTDOWN", "EPROTO", …) and its value.
std::optional<int> errnoFromName(std::string_view name);

// What happens to one feature call.
struct FaultOutcome {
  int error = 0;                          // errno to fail with, 0 for none
  std::optional<std::size_t> truncateTo;  // short read
  bool zeros = false;                     // nak
};

class FaultPlan {
 public:
  void add(const Fault& fault) { faults_.push_back(fault); }
  void add(std::string_view text) { add(parseFault(text)); }

  int openError() const;
  // Counts the call and says what becomes of it. Unplugging is sticky.
  FaultOutcome nextSet();
  FaultOutcome nextGet();
  bool unplugged() const { return unplugged_; }

 private:
  FaultOutcome next(bool isSet);

  std::vector<Fault> faults_;
  std::uint64_t sets_ = 0, gets_ = 0, calls_ = 0;
  bool unplugged_ = false;
};

}  // namespace zepa::sim
