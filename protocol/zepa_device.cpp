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

// One step of a command sequence: a single report (`send`), a whole key block
// (`sendPackets`) or the lighting header, with or without the read-back after it.
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
  return {Step::Kind::lightingInit, {}, true};
}

// The first failing step ends the sequence; nothing after it is sent.
void run(ZEPADevice& device, const std::vector<Step>& steps) {
  device.open();
  for (const Step& step : steps) {
    switch (step.kind) {
      case Step::Kind::report:
        device.send(step.bytes, step.readback);
        break;
      case Step::Kind::packets:
        device.sendPackets(step.bytes, step.readback);
        break;
      case Step::Kind::lightingInit:
        device.lightingInit();
        break;
    }
  }
}

Report padded(std::span<const std::uint8_t> data) {
  Report out(reportLength, 0);
  std::copy_n(data.begin(), std::min(data.size(), reportLength), out.begin());
  return out;
}

void write(hid::Device& device, std::span<const std::uint8_t> data) {
  const hid::IOReturn status = device.setReport(hid::ReportType::feature, 0, padded(data));
  if (status != hid::kIOReturnSuccess) throw ZEPAError::writeFailed(status);
}

// The answer, zero beyond what came back: whatever a backend left past the returned length
// is not the keyboard's.
Report read(hid::Device& device, std::size_t& length) {
  Report response(reportLength, 0);
  length = reportLength;
  const hid::IOReturn status = device.getReport(hid::ReportType::feature, 0, response, length);
  if (status != hid::kIOReturnSuccess) throw ZEPAError::readFailed(status);
  length = std::min(length, reportLength);
  std::fill(response.begin() + static_cast<std::ptrdiff_t>(length), response.end(), 0);
  return response;
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
  close();
}

bool ZEPADevice::isConnected(std::shared_ptr<hid::Backend> backend) {
  try {
    ZEPADevice probe(std::move(backend));
    return true;
  } catch (const ZEPAError&) {
    return false;
  }
}

void ZEPADevice::open() {
  if (isOpen_) return;
  const hid::IOReturn status = device_->open();
  if (status != hid::kIOReturnSuccess) throw ZEPAError::openFailed(status);
  isOpen_ = true;
}

void ZEPADevice::close() {
  if (!isOpen_) return;
  device_->close();
  isOpen_ = false;
}

void ZEPADevice::send(const std::vector<std::uint8_t>& data, bool readback) {
  write(*device_, data);
  sleeper_(reportPause);
  if (!readback) return;
  std::size_t length = 0;
  Report response = read(*device_, length);
  if (!ZEPAReports::acknowledges(padded(data), response, length)) {
    throw ZEPAError::acknowledgement(std::move(response));
  }
  sleeper_(reportPause);
}

void ZEPADevice::sendPackets(const std::vector<std::uint8_t>& data, bool readback) {
  for (std::size_t offset = 0; offset < data.size(); offset += reportLength) {
    write(*device_, std::span(data).subspan(offset, std::min(reportLength, data.size() - offset)));
    sleeper_(reportPause);
  }
  if (!readback) return;
  // The keyboard answers a block with a report of its own that carries no acknowledgement.
  std::size_t length = 0;
  read(*device_, length);
  sleeper_(reportPause);
}

void ZEPADevice::lightingInit() {
  send(ZEPAReports::dataHeader(DataKind::lighting, 1), true);
}

void ZEPADevice::setLighting(const LightingConfig& config) {
  if (config.direction > 1 || config.brightness > 5 || config.speed > 5) {
    throw ZEPAError::invalid("Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.");
  }
  run(*this, {
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
  run(*this, {
                 report(ZEPAReports::beginCommand(), true),
                 report(ZEPAReports::dataHeader(DataKind::clock, 1), true),
                 report(std::move(*clock), true),
                 report(ZEPAReports::applyCommand(), true),
             });
}

void ZEPADevice::setPerKeyRGB(const std::vector<KeyColor>& colors, std::uint8_t brightness) {
  if (brightness > 5) throw ZEPAError::invalid("Helligkeit muss 0–5 sein.");
  run(*this,
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
  run(*this, {
                 report(ZEPAReports::beginCommand(), true),
                 report(ZEPAReports::dataHeader(layer, ZEPAReports::keyBlockReports), true),
                 packets(ZEPAReports::remapBlock(remaps), false),
                 report(ZEPAReports::applyCommand(), true),
                 report(ZEPAReports::endCommand(), true),
             });
}

}  // namespace zepa
