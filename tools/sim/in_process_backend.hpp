// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/hid/hid.hpp"
#include "tools/sim/simulator.hpp"

// A HID backend over the firmware models, for tests that need no FUSE mount. Devices come
// in the same order and with the same properties as zepa-sim's hidraw nodes, and every
// call returns the status the hidraw backend would return for the same fault.
namespace zepa::sim {

class InProcessBackend : public zepa::hid::Backend {
 public:
  explicit InProcessBackend(SimulatorOptions options = {});

  std::vector<std::unique_ptr<zepa::hid::Device>> copyDevices(std::uint16_t vendor,
                                                              std::uint16_t product) override;

  std::vector<LogEntry> log() const;
  void clearLog();
  // Same syntax as --fail; throws std::invalid_argument on a bad text.
  void addFault(std::string_view fault);

  // The models, for state checks and test hooks. Not locked: use them while no device call
  // runs.
  ZEPAFirmware& zepa();
  HalvernFirmware& halvern();
  nlohmann::json zepaState() const;
  nlohmann::json halvernState() const;

  Simulator& simulator() { return *simulator_; }

 private:
  std::shared_ptr<Simulator> simulator_;
};

}  // namespace zepa::sim
