// SPDX-License-Identifier: MIT
// zepactl's command line, split at NUL bytes into arguments, dates included: every call is
// either a complete request or a UsageError with a German sentence; nothing else escapes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tools/cli/cli_request.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> args;
  for (std::size_t start = 0; start < input.size();) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  try {
    const auto invocation = zepa::cli::parseArguments(args);
    if (const auto* keys = std::get_if<zepa::cli::ZEPAKeysRequest>(&invocation.command)) {
      // Promised: ascending by index, one entry per index.
      for (std::size_t i = 1; i < keys->colors.size(); ++i) {
        if (keys->colors[i - 1].index >= keys->colors[i].index) std::abort();
      }
    }
  } catch (const zepa::cli::UsageError& error) {
    if (std::string_view(error.what()).empty()) std::abort();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "escaped the parser: %s\n", error.what());
    std::abort();
  }
  return 0;
}
