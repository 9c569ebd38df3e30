// SPDX-License-Identifier: MIT
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocol/hid/report_descriptor.hpp"

// Report descriptors come from whatever device is plugged in, so any byte string must parse
// without undefined behaviour and within bounded memory.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto summary = zepa::hid::parseReportDescriptor(std::span(data, size));
  if (summary.reportIDs.size() > 256) std::abort();
  if (summary.primaryUsage.has_value() != summary.primaryUsagePage.has_value()) std::abort();
  return 0;
}
