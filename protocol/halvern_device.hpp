// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "protocol/halvern_records.hpp"
#include "protocol/hid/hid.hpp"
#include "protocol/pacing.hpp"
#include "protocol/records.hpp"
#include "protocol/zepa_error.hpp"

namespace zepa {

// One connection to the Halvern Corvane Pro 108 (520-byte feature reports, report ID 6).
// Construction discovers the interface; the first report opens it; destruction closes it.
// Every operation either completes or throws ZEPAError.
class HalvernDevice {
 public:
  static constexpr std::uint16_t vendorID = 0x258A;
  static constexpr std::uint16_t productID = 0x010C;

  explicit HalvernDevice(std::shared_ptr<hid::Backend> backend, Sleeper sleeper = realSleeper());
  ~HalvernDevice();
  HalvernDevice(const HalvernDevice&) = delete;
  HalvernDevice& operator=(const HalvernDevice&) = delete;

  static bool isConnected(std::shared_ptr<hid::Backend> backend);

  HalvernDeviceInfo queryModel();
  HalvernConfigSnapshot readConfig();
  void setLighting(const HalvernLightingConfig& config);
  [[noreturn]] void setPerKeyRGB(const std::vector<KeyColor>& colors);
  bool verifyUnchangedConfigWrite();

  // The configuration write report for a 136-byte answer block (header, bytes 8-135, zeros).
  static std::vector<std::uint8_t> makeConfigReport(const std::vector<std::uint8_t>& block);

 private:
  void ensureOpen();
  void featureWrite(const std::vector<std::uint8_t>& bytes, std::uint8_t reportID);
  std::vector<std::uint8_t> featureRoundTrip(const std::vector<std::uint8_t>& request,
                                             std::uint8_t expectedCommand);
  void writeColor(const RGBColor& color);

  std::shared_ptr<hid::Backend> backend_;
  std::unique_ptr<hid::Device> device_;
  Sleeper sleeper_;
  std::chrono::microseconds lateBy_{0};  // how far the last pause after a write overran
  bool isOpen_ = false;
};

}  // namespace zepa
