// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zepa::cli {

// zepa-keymap lies beside zepactl, in a build tree as in an installed one.
std::filesystem::path keymapToolBesideSelf();

// Runs the key-map tool to its end. Nothing on success; else the German line it wrote, or a
// sentence of our own when it wrote none or could not be started.
std::optional<std::string> runKeymapTool(const std::filesystem::path& program,
                                         const std::vector<std::string>& arguments);

}  // namespace zepa::cli
