// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

#include "tools/sim/simulated_tree.hpp"

// The sysfs part of the simulated machine, as plain files and relative symbolic links under
// ROOT/sys laid out like the kernel's: class/hidraw/hidrawN and class/input/eventN link into
// devices/…, where each HID interface has its uevent and report_descriptor.
namespace zepa::sim {

// Replaces ROOT/sys. Throws std::filesystem::filesystem_error.
void writeSysTree(const std::filesystem::path& root, const SimulatedTree& tree);
// Removes what the kernel removes when the keyboards are unplugged; unrelated devices stay.
void removeKeyboards(const std::filesystem::path& root, const SimulatedTree& tree);

}  // namespace zepa::sim
