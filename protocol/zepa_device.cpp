// SPDX-License-Identifier: MIT
#include "protocol/zepa_device.hpp"

#include <algorithm>
#include <utility>

#include "protocol/zepa_reports.hpp"

namespace zepa {

namespace {

using ZEPAReports::DataKind;
using ZEPAReports::Report;
using ZEPAReports::reportLength;

constexpr std::int64_t configUsagePage = 0xFF13;
constexpr std::int64_t configReportSize = 64;
// Paces the keyboard: it needs this long after each report and after each answer.
constexpr std::chrono::microseconds reportPause{35000};

Report padded(std::span<const std::uint8_t> data) {
  Report out(reportLength, 0);
  std::copy_n(data.begin(), std::min(data.size(), reportLength), out.begin());
  return out;
}

// The reports of one command sequence on an open interface, each followed by its pause.
class Transport {
 public:
  Transport(hid::Device& device, const Sleeper& sleeper) : device_(device), sleeper_(sleeper) {}

  void send(const Report& data, bool readback) {
    write(data);
    sleeper_(reportPause);
    if (!readback) return;
    std::size_t length = 0;
    Report response = read(length);
    if (!ZEPAReports::acknowledges(padded(data), response, length)) {
      throw ZEPAError::acknowledgement(std::move(response));
    }
    sleeper_(reportPause);
  }

  void sendPackets(const Report& data, bool readback) {
    for (std::size_t offset = 0; offset < data.size(); offset += reportLength) {
      write(std::span(data).subspan(offset, std::min(reportLength, data.size() - offset)));
      sleeper_(reportPause);
    }
    if (!readback) return;
    // The keyboard answers a block with a report of its own that carries no acknowledgement.
    std::size_t length = 0;
    read(length);
    sleeper_(reportPause);
  }

 private:
  void write(std::span<const std::uint8_t> data) {
    const hid::IOReturn status = device_.setReport(hid::ReportType::feature, 0, padded(data));
    if (status != hid::kIOReturnSuccess) throw ZEPAError::writeFailed(status);
  }

  // The answer, zero beyond what came back: whatever a backend left past the returned length
  // is not the keyboard's.
  Report read(std::size_t& length) {
    Report response(reportLength, 0);
    length = reportLength;
    const hid::IOReturn status = device_.getReport(hid::ReportType::feature, 0, response, length);
    if (status != hid::kIOReturnSuccess) throw ZEPAError::readFailed(status);
    length = std::min(length, reportLength);
    std::fill(response.begin() + static_cast<std::ptrdiff_t>(length), response.end(), 0);
    return response;
  }

  hid::Device& device_;
  const Sleeper& sleeper_;
};

// One step of a command sequence: a single report, a whole key block or the lighting header,
// with or without the read-back after it.
struct Step {
  enum class Kind { report, packets, lightingInit };
  Kind kind;
  Report bytes;
  bool readback;
};

Step report(Report bytes, bool readback) {
  return {Step::Kind::report, std::move(bytes), readback};
}
Step packets(Report bytes, bool readback) {
  return {Step::Kind::packets, std::move(bytes), readback};
}
Step lightingInitStep() {
  return {Step::Kind::lightingInit, ZEPAReports::dataHeader(DataKind::lighting, 1), true};
}

// The first failing step ends the sequence; nothing after it is sent.
void run(Transport transport, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    if (step.kind == Step::Kind::packets) {
      transport.sendPackets(step.bytes, step.readback);
    } else {
      transport.send(step.bytes, step.readback);
    }
  }
}

}  // namespace

ZEPADevice::ZEPADevice(std::shared_ptr<hid::Backend> backend, Sleeper sleeper, Calendar calendar)
    : backend_(std::move(backend)), sleeper_(std::move(sleeper)), calendar_(std::move(calendar)) {
  if (!backend_) throw ZEPAError::notFound();
  std::vector<std::unique_ptr<hid::Device>> devices = backend_->copyDevices(vendorID, productID);
  if (devices.empty()) throw ZEPAError::notFound();
  // The keyboard shows several interfaces; only the vendor page with 64-byte feature reports
  // takes configuration.
  for (std::unique_ptr<hid::Device>& candidate : devices) {
    if (candidate->property("PrimaryUsagePage") != configUsagePage) continue;
    if (candidate->property("MaxFeatureReportSize") != configReportSize) continue;
    device_ = std::move(candidate);
    break;
  }
  if (!device_) throw ZEPAError::interfaceNotFound();
}

ZEPADevice::~ZEPADevice() {
  if (isOpen_) device_->close();
}

bool ZEPADevice::isConnected(std::shared_ptr<hid::Backend> backend) {
  try {
    ZEPADevice probe(std::move(backend));
    return true;
  } catch (const ZEPAError&) {
    return false;
  }
}

hid::Device& ZEPADevice::ensureOpen() {
  if (!isOpen_) {
    const hid::IOReturn status = device_->open();
    if (status != hid::kIOReturnSuccess) throw ZEPAError::openFailed(status);
    isOpen_ = true;
  }
  return *device_;
}

void ZEPADevice::setLighting(const LightingConfig& config) {
  if (config.direction > 1 || config.brightness > 5 || config.speed > 5) {
    throw ZEPAError::invalid("Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.");
  }
  run({ensureOpen(), sleeper_}, {
                                    report(ZEPAReports::beginCommand(), true),
                                    lightingInitStep(),
                                    report(ZEPAReports::lightingReport(config), false),
                                    report(ZEPAReports::applyCommand(), true),
                                    report(ZEPAReports::endCommand(), false),
                                });
}

void ZEPADevice::syncClock(std::chrono::system_clock::time_point when, std::uint8_t profile) {
  std::optional<Report> clock = ZEPAReports::clockReport(calendar_(when), profile);
  if (!clock) throw ZEPAError::invalid("Datum wird nicht unterstützt.");
  run({ensureOpen(), sleeper_}, {
                                    report(ZEPAReports::beginCommand(), true),
                                    report(ZEPAReports::dataHeader(DataKind::clock, 1), true),
                                    report(std::move(*clock), true),
                                    report(ZEPAReports::applyCommand(), true),
                                });
}

void ZEPADevice::setPerKeyRGB(const std::vector<KeyColor>& colors, std::uint8_t brightness) {
  if (brightness > 5) throw ZEPAError::invalid("Helligkeit muss 0–5 sein.");
  run({ensureOpen(), sleeper_},
      {
          report(ZEPAReports::beginCommand(), true),
          lightingInitStep(),
          report(ZEPAReports::perKeyModeReport(brightness), false),
          report(ZEPAReports::applyCommand(), true),
          report(ZEPAReports::endCommand(), false),
          report(ZEPAReports::beginCommand(), true),
          report(ZEPAReports::dataHeader(DataKind::perKeyColors, ZEPAReports::keyBlockReports),
                 true),
          packets(ZEPAReports::perKeyBlock(colors), true),
          report(ZEPAReports::applyCommand(), true),
          report(ZEPAReports::endCommand(), true),
      });
}

void ZEPADevice::setRemaps(const std::vector<KeyRemap>& remaps, bool fnLayer) {
  const DataKind layer = fnLayer ? DataKind::remapsFn : DataKind::remapsBase;
  run({ensureOpen(), sleeper_},
      {
          report(ZEPAReports::beginCommand(), true),
          report(ZEPAReports::dataHeader(layer, ZEPAReports::keyBlockReports), true),
          packets(ZEPAReports::remapBlock(remaps), false),
          report(ZEPAReports::applyCommand(), true),
          report(ZEPAReports::endCommand(), true),
      });
}

}  // namespace zepa
