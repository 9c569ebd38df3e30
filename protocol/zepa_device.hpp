// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "protocol/hid/hid.hpp"
#include "protocol/pacing.hpp"
#include "protocol/records.hpp"
#include "protocol/zepa_error.hpp"

namespace zepa {

// One connection to the ZEPA VX10's configuration interface. Construction discovers the
// interface (ZEPAError notFound / interfaceNotFound); the first command opens it;
// destruction closes it. Every operation either completes or throws ZEPAError.
class ZEPADevice {
 public:
  static constexpr std::uint16_t vendorID = 0x0C45;
  static constexpr std::uint16_t productID = 0x800A;

  explicit ZEPADevice(std::shared_ptr<hid::Backend> backend, Sleeper sleeper = realSleeper(),
                      Calendar calendar = systemCalendar());
  ~ZEPADevice();
  ZEPADevice(const ZEPADevice&) = delete;
  ZEPADevice& operator=(const ZEPADevice&) = delete;

  static bool isConnected(std::shared_ptr<hid::Backend> backend);

  void setLighting(const LightingConfig& config);
  void syncClock(std::chrono::system_clock::time_point when, std::uint8_t profile);
  void setPerKeyRGB(const std::vector<KeyColor>& colors, std::uint8_t brightness);
  void setRemaps(const std::vector<KeyRemap>& remaps, bool fnLayer);

 private:
  hid::Device& ensureOpen();

  std::shared_ptr<hid::Backend> backend_;
  std::unique_ptr<hid::Device> device_;
  Sleeper sleeper_;
  Calendar calendar_;
  bool isOpen_ = false;
};

}  // namespace zepa
