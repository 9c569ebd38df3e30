// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/sim/fault_plan.hpp"
#include "tools/sim/halvern_firmware.hpp"
#include "tools/sim/report_log.hpp"
#include "tools/sim/simulated_tree.hpp"
#include "tools/sim/zepa_firmware.hpp"

// Both keyboards behind kernel-like entry points: a feature buffer whose byte 0 is the
// report number, results as a byte count or a negative errno. The FUSE server and the
// in-process backend both sit on this, so they behave the same.
namespace zepa::sim {

struct SimulatorOptions {
  bool zepa = true;
  bool halvern = true;
  int extraDevices = 0;
  std::vector<std::string> faults;   // --fail texts
  bool inputPerApplication = false;  // --all-input-nodes
};

// The kernel's struct input_keymap_entry, field for field.
struct KeymapEntry {
  std::uint8_t flags = 0;  // 1 = look up by index
  std::uint8_t len = 0;
  std::uint16_t index = 0;
  std::uint32_t keycode = 0;
  std::uint8_t scancode[32] = {};
};
static constexpr std::uint8_t keymapByIndex = 1;

class Simulator {
 public:
  // Throws std::invalid_argument for a bad fault text.
  explicit Simulator(SimulatorOptions options);

  const SimulatedTree& tree() const { return tree_; }
  const HidInterface* findHidraw(std::string_view node) const;
  const HidInterface* findEvent(std::string_view node) const;
  // Interfaces still attached (unplugged keyboards are gone).
  bool attached(const HidInterface& interface) const;
  std::vector<HidInterface> attachedInterfaces() const;

  // 0 or the errno an open of the node gives.
  int openNode(std::string_view node);
  // HIDIOCSFEATURE / HIDIOCGFEATURE: byte 0 of `buffer` is the report number; the result
  // counts it. A negative result is -errno.
  long setFeature(std::string_view node, std::span<const std::uint8_t> buffer);
  long getFeature(std::string_view node, std::span<std::uint8_t> buffer);
  // EVIOCGKEYCODE_V2 / EVIOCSKEYCODE_V2: 0 or -errno.
  int getKeycode(std::string_view node, KeymapEntry& entry);
  int setKeycode(std::string_view node, const KeymapEntry& entry);

  void addFault(std::string_view text);
  std::vector<LogEntry> log() const;
  void clearLog();
  void writeLogTo(const std::filesystem::path& path);

  // State files ROOT/state/zepa.json and halvern.json, rewritten after every change.
  void writeStateTo(const std::filesystem::path& folder);
  nlohmann::json zepaState() const;
  nlohmann::json halvernState() const;

  // Called (under the lock) when the keyboards disappear; it must not call back in.
  void onUnplug(std::function<void()> callback);

  ZEPAFirmware& zepa() { return zepa_; }
  HalvernFirmware& halvern() { return halvern_; }

 private:
  bool attachedLocked(const HidInterface& interface) const;
  KeyMap* keyMapFor(const HidInterface& interface);
  nlohmann::json zepaStateLocked() const;
  nlohmann::json halvernStateLocked() const;
  void changed(Keyboard keyboard);
  void writeState(Keyboard keyboard);
  void unplugLocked();

  mutable std::mutex mutex_;
  SimulatorOptions options_;
  SimulatedTree tree_;
  FaultPlan faults_;
  ReportLog log_;
  ZEPAFirmware zepa_;
  HalvernFirmware halvern_;
  bool unplugged_ = false;
  std::optional<std::filesystem::path> stateFolder_;
  // What each state file holds now; most reports change nothing a reader sees.
  std::string writtenZepaState_, writtenHalvernState_;
  std::function<void()> unplugCallback_;
  std::map<int, KeyMap> extraKeyMaps_;  // other keyboards' key interfaces, by hidraw number
};

}  // namespace zepa::sim
