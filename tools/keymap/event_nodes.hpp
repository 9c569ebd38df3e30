// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/keymap/key_mapping_request.hpp"

namespace zepa::keymap {

struct EventNode {
  unsigned number = 0;               // N of eventN
  std::filesystem::path devicePath;  // root/dev/input/eventN
};

// Input event nodes under root/sys/class/input whose device has the vendor and product of
// `match` and whose HID parent's primary usage page and usage match too, ascending by number.
// Of the sibling nodes one HID device has, only the lowest-numbered is listed. Nodes whose
// sysfs entries cannot be read do not match.
std::vector<EventNode> findEventNodes(const std::filesystem::path& root, const DeviceMatch& match);

}  // namespace zepa::keymap
