// SPDX-License-Identifier: MIT
// zepa-keymap's command line, split at NUL bytes into arguments: every call either gives a
// request whose pairs the writer can use or ends in a KeymapError with a German sentence.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "protocol/hid/linux_keycodes.hpp"
#include "tools/keymap/key_mapping_request.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> args;
  for (std::size_t start = 0; start <= input.size();) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  try {
    const auto request = zepa::keymap::parseArguments(args);
    for (const auto& pair : request.pairs) {
      if (zepa::hid::linuxKeycode(pair.targetUsage) != pair.keycode) std::abort();
    }
  } catch (const zepa::keymap::KeymapError& error) {
    // Every refusal is a sentence, never an empty line.
    if (std::string_view(error.what()).empty()) std::abort();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "escaped as an internal error: %s\n", error.what());
    std::abort();
  }
  return 0;
}
