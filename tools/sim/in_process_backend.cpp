// SPDX-License-Identifier: MIT
#include "tools/sim/in_process_backend.hpp"

#include <algorithm>
#include <cerrno>

#include "protocol/hid/io_return.hpp"
#include "protocol/hid/report_descriptor.hpp"

namespace zepa::sim {

namespace {

using hid::IOReturn;
using hid::ioReturnFromErrno;

// The statuses the hidraw backend gives for calls the kernel is never asked.
constexpr IOReturn kIOReturnUnsupported = static_cast<IOReturn>(0xE00002C7);
constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xE00002CD);

// One simulated hidraw node, with the hidraw backend's report-ID convention on top of the
// kernel-style entry points.
class InProcessDevice final : public hid::Device {
 public:
  InProcessDevice(std::shared_ptr<Simulator> simulator, HidInterface interface)
      : simulator_(std::move(simulator)),
        interface_(std::move(interface)),
        summary_(hid::parseReportDescriptor(interface_.descriptor)) {}

  std::optional<std::int64_t> property(std::string_view key) const override {
    if (key == "VendorID") return interface_.vendor;
    if (key == "ProductID") return interface_.product;
    if (key == "MaxFeatureReportSize") return summary_.maxFeatureReportSize;
    if (key == "PrimaryUsagePage" && summary_.primaryUsagePage) return *summary_.primaryUsagePage;
    if (key == "PrimaryUsage" && summary_.primaryUsage) return *summary_.primaryUsage;
    return std::nullopt;
  }

  IOReturn open() override {
    if (open_) return hid::kIOReturnSuccess;
    if (int error = simulator_->openNode(interface_.hidrawNode())) return ioReturnFromErrno(error);
    open_ = true;
    return hid::kIOReturnSuccess;
  }

  void close() override { open_ = false; }

  IOReturn setReport(hid::ReportType type, std::uint8_t reportID,
                     std::span<const std::uint8_t> report) override {
    if (type != hid::ReportType::feature) return kIOReturnUnsupported;
    if (!open_) return kIOReturnNotOpen;
    std::vector<std::uint8_t> buffer;
    if (reportID == 0) {
      buffer.push_back(0);
      buffer.insert(buffer.end(), report.begin(), report.end());
    } else {
      if (report.empty() || report[0] != reportID) return hid::kIOReturnBadArgument;
      buffer.assign(report.begin(), report.end());
    }
    const long written = simulator_->setFeature(interface_.hidrawNode(), buffer);
    if (written < 0) return ioReturnFromErrno(static_cast<int>(-written));
    if (static_cast<std::size_t>(written) < buffer.size()) return hid::kIOReturnIOError;
    return hid::kIOReturnSuccess;
  }

  IOReturn getReport(hid::ReportType type, std::uint8_t reportID, std::span<std::uint8_t> buffer,
                     std::size_t& length) override {
    if (type != hid::ReportType::feature) return kIOReturnUnsupported;
    if (!open_) return kIOReturnNotOpen;
    const std::size_t capacity = std::min(length, buffer.size());
    const std::size_t prefix = reportID == 0 ? 1 : 0;
    // hidraw refuses a read buffer below two bytes, report number included.
    if (capacity + prefix < 2) return hid::kIOReturnBadArgument;
    std::vector<std::uint8_t> kernelBuffer(capacity + prefix, 0);
    if (prefix == 0) std::copy_n(buffer.begin(), capacity, kernelBuffer.begin());
    kernelBuffer[0] = reportID;
    const long count = simulator_->getFeature(interface_.hidrawNode(), kernelBuffer);
    if (count < 0) return ioReturnFromErrno(static_cast<int>(-count));
    const std::size_t received = std::min(static_cast<std::size_t>(count), kernelBuffer.size());
    const std::size_t data = received > prefix ? received - prefix : 0;
    std::copy_n(kernelBuffer.begin() + static_cast<std::ptrdiff_t>(prefix), data, buffer.begin());
    length = data;
    return hid::kIOReturnSuccess;
  }

 private:
  std::shared_ptr<Simulator> simulator_;
  HidInterface interface_;
  hid::DescriptorSummary summary_;
  bool open_ = false;
};

}  // namespace

InProcessBackend::InProcessBackend(SimulatorOptions options)
    : simulator_(std::make_shared<Simulator>(std::move(options))) {}

std::vector<std::unique_ptr<hid::Device>> InProcessBackend::copyDevices(std::uint16_t vendor,
                                                                        std::uint16_t product) {
  std::vector<std::unique_ptr<hid::Device>> devices;
  for (auto& interface : simulator_->attachedInterfaces())
    if (interface.vendor == vendor && interface.product == product)
      devices.push_back(std::make_unique<InProcessDevice>(simulator_, std::move(interface)));
  return devices;
}

std::vector<LogEntry> InProcessBackend::log() const {
  return simulator_->log();
}
void InProcessBackend::clearLog() {
  simulator_->clearLog();
}
void InProcessBackend::addFault(std::string_view fault) {
  simulator_->addFault(fault);
}
ZEPAFirmware& InProcessBackend::zepa() {
  return simulator_->zepa();
}
HalvernFirmware& InProcessBackend::halvern() {
  return simulator_->halvern();
}
nlohmann::json InProcessBackend::zepaState() const {
  return simulator_->zepaState();
}
nlohmann::json InProcessBackend::halvernState() const {
  return simulator_->halvernState();
}

}  // namespace zepa::sim
