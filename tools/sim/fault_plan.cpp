// SPDX-License-Identifier: MIT
#include "tools/sim/fault_plan.hpp"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace zepa::sim {

namespace {

std::vector<std::string_view> split(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string_view::npos) return parts;
    start = colon + 1;
  }
}

[[noreturn]] void bad(std::string_view text, std::string_view why) {
  throw std::invalid_argument("invalid fault \"" + std::string(text) + "\": " + std::string(why));
}

std::uint64_t positive(std::string_view text, std::string_view part) {
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  if (error != std::errc() || end != part.data() + part.size() || value == 0)
    bad(text, "\"" + std::string(part) + "\" is not a positive number");
  return value;
}

int errnoPart(std::string_view text, std::string_view part) {
  auto error = errnoFromName(part);
  if (!error) bad(text, "unknown errno name \"" + std::string(part) + "\"");
  return *error;
}

}  // namespace

std::optional<int> errnoFromName(std::string_view name) {
  // Every name the C library knows, so a fault can be any error a kernel call may give.
  constexpr int lastErrno = 4095;  // MAX_ERRNO
  for (int value = 1; value <= lastErrno; ++value) {
    const char* known = strerrorname_np(value);
    if (known && name == known) return value;
  }
  return std::nullopt;
}

Fault parseFault(std::string_view text) {
  const auto parts = split(text);
  const std::string_view kind = parts[0];
  if (kind == "open" && parts.size() == 2)
    return Fault{Fault::Kind::open, 0, errnoPart(text, parts[1]), 0};
  if (kind == "unplug" && parts.size() == 2)
    return Fault{Fault::Kind::unplug, positive(text, parts[1]), 0, 0};
  if (kind == "set" && parts.size() == 3)
    return Fault{Fault::Kind::set, positive(text, parts[1]), errnoPart(text, parts[2]), 0};
  if (kind == "get" && parts.size() == 3 && parts[2] == "nak")
    return Fault{Fault::Kind::nak, positive(text, parts[1]), 0, 0};
  if (kind == "get" && parts.size() == 3)
    return Fault{Fault::Kind::get, positive(text, parts[1]), errnoPart(text, parts[2]), 0};
  if (kind == "get" && parts.size() == 4 && parts[2] == "short") {
    // K may be 0: a read that returns nothing at all.
    std::size_t length = 0;
    auto [end, error] = std::from_chars(parts[3].data(), parts[3].data() + parts[3].size(), length);
    if (error != std::errc() || end != parts[3].data() + parts[3].size())
      bad(text, "\"" + std::string(parts[3]) + "\" is not a length");
    return Fault{Fault::Kind::shortRead, positive(text, parts[1]), 0, length};
  }
  bad(text,
      "expected open:ERRNO, set:N:ERRNO, get:N:ERRNO, get:N:short:K, get:N:nak or "
      "unplug:N");
}

int FaultPlan::openError() const {
  if (unplugged_) return ENODEV;
  for (const auto& fault : faults_)
    if (fault.kind == Fault::Kind::open) return fault.error;
  return 0;
}

FaultOutcome FaultPlan::nextSet() {
  return next(true);
}
FaultOutcome FaultPlan::nextGet() {
  return next(false);
}

FaultOutcome FaultPlan::next(bool isSet) {
  ++calls_;
  const std::uint64_t nth = isSet ? ++sets_ : ++gets_;
  for (const auto& fault : faults_)
    if (fault.kind == Fault::Kind::unplug && calls_ >= fault.call) unplugged_ = true;
  if (unplugged_) return FaultOutcome{ENODEV, std::nullopt, false};

  for (const auto& fault : faults_) {
    if (fault.call != nth) continue;
    switch (fault.kind) {
      case Fault::Kind::set:
        if (isSet) return FaultOutcome{fault.error, std::nullopt, false};
        break;
      case Fault::Kind::get:
        if (!isSet) return FaultOutcome{fault.error, std::nullopt, false};
        break;
      case Fault::Kind::shortRead:
        if (!isSet) return FaultOutcome{0, fault.length, false};
        break;
      case Fault::Kind::nak:
        if (!isSet) return FaultOutcome{0, std::nullopt, true};
        break;
      default:
        break;
    }
  }
  return {};
}

}  // namespace zepa::sim
