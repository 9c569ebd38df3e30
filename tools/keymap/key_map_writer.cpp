// SPDX-License-Identifier: MIT
#include "tools/keymap/key_map_writer.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "protocol/hid/io_return.hpp"
#include "protocol/hid/linux_keycodes.hpp"

namespace zepa::keymap {

namespace {

constexpr int usageCount = 256;

// What one node held before the tool touched it; empty slots are usages it does not know.
struct NodeSnapshot {
  const KeymapTarget* target = nullptr;
  std::array<std::optional<std::uint32_t>, usageCount> keycodes{};

  bool takesKeyboardUsages() const {
    for (const auto& keycode : keycodes) {
      if (keycode) return true;
    }
    return false;
  }
};

NodeSnapshot readSnapshot(const KeymapTarget& target) {
  NodeSnapshot snapshot;
  snapshot.target = &target;
  for (int usage = 0; usage < usageCount; ++usage) {
    std::uint32_t keycode = 0;
    const int error = target.table->keycode(static_cast<std::uint8_t>(usage), keycode);
    if (error == 0) {
      snapshot.keycodes[usage] = keycode;
    } else if (error != EINVAL) {  // EINVAL: the device has no such key
      throw KeymapError("Die Tastenbelegung von " + target.devicePath.string() +
                        " konnte nicht gelesen werden " + statusText(error) +
                        ". Bitte die Tastatur neu verbinden.");
    }
  }
  return snapshot;
}

// Best effort: the original failure is what the user needs to hear about.
bool restore(const NodeSnapshot& snapshot) {
  bool complete = true;
  for (int usage = 0; usage < usageCount; ++usage) {
    if (const auto& keycode = snapshot.keycodes[usage]) {
      complete =
          snapshot.target->table->setKeycode(static_cast<std::uint8_t>(usage), *keycode) == 0 &&
          complete;
    }
  }
  return complete;
}

// The writes for one node: defaults for every usage it knows, then the pairs it knows.
struct KeycodeWrite {
  std::uint8_t usage;
  std::uint32_t keycode;
};

std::vector<KeycodeWrite> writesFor(const NodeSnapshot& snapshot, std::span<const KeyPair> pairs) {
  std::vector<KeycodeWrite> writes;
  for (int usage = 0; usage < usageCount; ++usage) {
    if (!snapshot.keycodes[usage]) continue;
    // Usages the kernel has no key for sit at KEY_RESERVED (0) until someone maps them.
    const auto kernelDefault = hid::linuxKeycode(static_cast<std::uint8_t>(usage)).value_or(0);
    writes.push_back({static_cast<std::uint8_t>(usage), kernelDefault});
  }
  for (const auto& pair : pairs) {
    if (snapshot.keycodes[pair.sourceUsage]) writes.push_back({pair.sourceUsage, pair.keycode});
  }
  return writes;
}

}  // namespace

std::string statusText(int error) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "(Fehler 0x%08x)",
                static_cast<std::uint32_t>(hid::ioReturnFromErrno(error)));
  return buffer.data();
}

void applyKeyMap(std::span<const KeymapTarget> targets, std::span<const KeyPair> pairs) {
  std::vector<NodeSnapshot> snapshots;
  for (const auto& target : targets) {
    auto snapshot = readSnapshot(target);
    // A keyboard interface also gets nodes for its consumer and system keys; they take no
    // keyboard usage and are no place for this map.
    if (snapshot.takesKeyboardUsages()) snapshots.push_back(snapshot);
  }
  if (snapshots.empty()) {
    throw KeymapError(
        "Die gefundene Tastatur nimmt keine Tastenbelegung an. Bitte prüfen, ob das richtige "
        "Gerät angeschlossen ist.");
  }
  std::size_t number = 0;
  for (const auto& pair : pairs) {
    ++number;
    bool known = false;
    for (const auto& snapshot : snapshots) known = known || snapshot.keycodes[pair.sourceUsage];
    if (!known) {
      throw KeymapError("Eintrag " + std::to_string(number) +
                        " der Tastenbelegung: Die Tastatur hat keine Taste mit der HID-Nutzung " +
                        usageText(pair.sourceUsage) + ".");
    }
  }

  for (std::size_t node = 0; node < snapshots.size(); ++node) {
    for (const auto& write : writesFor(snapshots[node], pairs)) {
      const int error = snapshots[node].target->table->setKeycode(write.usage, write.keycode);
      if (error == 0) continue;
      bool restored = true;
      for (std::size_t touched = 0; touched <= node; ++touched) {
        restored = restore(snapshots[touched]) && restored;
      }
      throw KeymapError(
          "Die Tastenbelegung konnte auf " + snapshots[node].target->devicePath.string() +
          " nicht gesetzt werden " + statusText(error) + "." +
          (restored ? " Die bisherige Belegung bleibt bestehen."
                    : " Die bisherige Belegung konnte nicht vollständig wiederhergestellt werden; "
                      "bitte die Tastatur neu verbinden."));
    }
  }
}

}  // namespace zepa::keymap
