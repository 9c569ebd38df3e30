// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <span>
#include <string>

#include "tools/keymap/key_mapping_request.hpp"
#include "tools/keymap/keycode_table.hpp"

namespace zepa::keymap {

struct KeymapTarget {
  std::filesystem::path devicePath;  // for messages
  KeycodeTable* table = nullptr;
};

// Sets the whole key map of every target: each keyboard usage the node knows back to the
// kernel's default, then each pair in order. A node that knows no keyboard usage is left
// alone; at least one node must take the map. Everything is read and checked before the
// first write, and a failed write puts back what was there, so an error changes nothing.
// Throws KeymapError.
void applyKeyMap(std::span<const KeymapTarget> targets, std::span<const KeyPair> pairs);

// "(Fehler 0x%08x)" with the HID status of an errno, as the other tools word it.
std::string statusText(int error);

}  // namespace zepa::keymap
