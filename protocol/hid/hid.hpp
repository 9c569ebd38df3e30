// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "protocol/hid/exclusive_lock.hpp"
#include "protocol/hid/io_return.hpp"

// The HID operations the devices need: enumerate by vendor/product, read a device's
// properties, open, close, set and get a feature report with a status code.
namespace zepa::hid {

enum class ReportType : int { input = 0, output = 1, feature = 2 };

// One HID interface. Used by one thread at a time; closing happens at destruction at the
// latest.
class Device {
 public:
  virtual ~Device() = default;

  // "VendorID", "ProductID", "PrimaryUsagePage", "PrimaryUsage", "MaxFeatureReportSize";
  // nothing for an unknown key or an unreadable value.
  virtual std::optional<std::int64_t> property(std::string_view key) const = 0;

  // Opening also takes the interface for this program alone until close; another program
  // holding it gives kIOReturnExclusiveAccess (the hidraw backend waits a while first).
  virtual IOReturn open() = 0;
  virtual void close() = 0;

  // With report ID 0 the bytes are the report data only; with another ID they begin with
  // the ID byte.
  virtual IOReturn setReport(ReportType type, std::uint8_t reportID,
                             std::span<const std::uint8_t> report) = 0;
  // `length` is the buffer's size on entry and the number of bytes returned on success.
  virtual IOReturn getReport(ReportType type, std::uint8_t reportID, std::span<std::uint8_t> buffer,
                             std::size_t& length) = 0;
};

// Finds devices. Safe to call from several threads at once.
class Backend {
 public:
  virtual ~Backend() = default;
  // Every HID interface with this vendor and product, in discovery order.
  virtual std::vector<std::unique_ptr<Device>> copyDevices(std::uint16_t vendorID,
                                                           std::uint16_t productID) = 0;
};

// The Linux backend on hidraw: sysfs under root/sys, device nodes under root/dev. An open
// node is locked with flock; `wait` says how long to wait for another program's lock.
std::shared_ptr<Backend> makeHidrawBackend(const std::filesystem::path& root = "/",
                                           LockWait wait = {});

}  // namespace zepa::hid
