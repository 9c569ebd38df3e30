// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/cli/device_commands.hpp"

namespace zepa::cli {

struct RestoreTools {
  std::filesystem::path keymapProgram;
  std::vector<std::string> keymapPrefix;  // "--device-root DIR" when zepactl was given one
};

// Re-applies what the application stored to every attached keyboard, one line per step (on
// `out`, failures on `err`). Returns 1 when any step failed, else 0.
int restoreStoredSettings(DeviceContext& context, const RestoreTools& tools);

}  // namespace zepa::cli
