// SPDX-License-Identifier: MIT
#include "protocol/halvern_device.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <utility>

namespace zepa {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr std::uint8_t reportID = 6;
constexpr std::size_t reportLength = 520;
constexpr std::int64_t configInterfaceReportSize = 520;

constexpr std::uint8_t modelQueryCommand = 0x82;
constexpr std::uint8_t configReadCommand = 0x84;

// The keyboard needs this long after every report before it takes the next one.
constexpr auto pauseAfterWrite = 25ms;
// An answer is not ready before 50 ms after its request; the write's pause covers half.
constexpr auto pauseBeforeAnswer = 25ms;

constexpr std::size_t modelAnswerLength = 14;
constexpr std::size_t configAnswerLength = 136;
constexpr std::size_t blockStart = 8;

// Positions in the 136-byte configuration answer.
constexpr std::size_t customModeByte = 17;
constexpr std::size_t effectByte = 18;
constexpr std::size_t brightnessByte(int effect) {
  return 64 + 2 * static_cast<std::size_t>(effect);
}
constexpr std::size_t modeByte(int effect) {
  return 65 + 2 * static_cast<std::size_t>(effect);
}
constexpr std::uint8_t colorfulBits = 0x07;
constexpr int lastEffect = rawValue(lastHalvernEffect);
static_assert(modeByte(lastEffect) < configAnswerLength, "every effect's bytes lie in the answer");

constexpr std::array<std::uint8_t, 7> modelQueryHeader{0x06, 0x82, 0x01, 0x00, 0x01, 0x00, 0x06};
constexpr std::array<std::uint8_t, 8> configReadHeader{0x06, 0x84, 0x00, 0x00,
                                                       0x01, 0x00, 0x80, 0x00};
constexpr std::array<std::uint8_t, 8> configWriteHeader{0x06, 0x04, 0x00, 0x00,
                                                        0x01, 0x00, 0x80, 0x00};

// The colour report has no size header; its fields sit at fixed places.
constexpr std::size_t colorMarkerByte = 7;
constexpr std::size_t colorRedByte = 29;
constexpr std::size_t colorTrailerByte = 514;

template <std::size_t N>
Bytes reportWithHeader(const std::array<std::uint8_t, N>& header) {
  Bytes report(reportLength, 0);
  std::copy(header.begin(), header.end(), report.begin());
  return report;
}

Bytes colorReport(const RGBColor& color) {
  Bytes report(reportLength, 0);
  report[0] = reportID;
  report[1] = 0x0A;
  report[colorMarkerByte] = 0x02;
  report[colorRedByte] = color.red;
  report[colorRedByte + 1] = color.green;
  report[colorRedByte + 2] = color.blue;
  report[colorTrailerByte] = 0x5A;
  report[colorTrailerByte + 1] = 0xA5;
  return report;
}

// The block as the keyboard should hold it for `config`; every byte the lighting does not own
// stays as it was read.
Bytes lightingBlock(Bytes block, const HalvernLightingConfig& config) {
  const int effect = rawValue(config.effect);
  block[customModeByte] = 0;
  block[effectByte] = static_cast<std::uint8_t>(effect);
  if (effect == rawValue(HalvernEffect::off)) return block;
  block[brightnessByte(effect)] = config.brightness;
  const std::uint8_t colorful = config.colorful ? colorfulBits : 0;
  if (supportsSpeed(config.effect)) {
    block[modeByte(effect)] = static_cast<std::uint8_t>((config.speed << 4) | colorful);
  } else if (supportsColor(config.effect)) {
    block[modeByte(effect)] = colorful;
  }
  return block;
}

}  // namespace

HalvernDevice::HalvernDevice(std::shared_ptr<hid::Backend> backend, Sleeper sleeper)
    : backend_(std::move(backend)), sleeper_(std::move(sleeper)) {
  // No backend finds no keyboard, as for the ZEPA.
  auto candidates = backend_ ? backend_->copyDevices(vendorID, productID)
                             : std::vector<std::unique_ptr<hid::Device>>{};
  // The candidates not taken are released when this list goes out of scope.
  if (candidates.empty()) {
    throw ZEPAError::invalid("Halvern Corvane Pro wurde nicht per USB gefunden.");
  }
  for (auto& candidate : candidates) {
    if (candidate && candidate->property("MaxFeatureReportSize") == configInterfaceReportSize) {
      device_ = std::move(candidate);
      return;
    }
  }
  throw ZEPAError::interfaceNotFound();
}

HalvernDevice::~HalvernDevice() {
  if (isOpen_) device_->close();
}

bool HalvernDevice::isConnected(std::shared_ptr<hid::Backend> backend) {
  try {
    HalvernDevice device(std::move(backend), [](std::chrono::microseconds) {});
    return true;
  } catch (const ZEPAError&) {
    return false;
  }
}

void HalvernDevice::ensureOpen() {
  if (isOpen_) return;
  if (const hid::IOReturn status = device_->open(); status != hid::kIOReturnSuccess) {
    throw ZEPAError::openFailed(status);
  }
  isOpen_ = true;
}

void HalvernDevice::featureWrite(const std::vector<std::uint8_t>& bytes, std::uint8_t id) {
  ensureOpen();
  const hid::IOReturn status = device_->setReport(hid::ReportType::feature, id, bytes);
  if (status != hid::kIOReturnSuccess) throw ZEPAError::writeFailed(status);
  const std::chrono::microseconds slept = sleeper_(pauseAfterWrite);
  lateBy_ = std::max(std::chrono::microseconds(0), slept - pauseAfterWrite);
}

std::vector<std::uint8_t> HalvernDevice::featureRoundTrip(const std::vector<std::uint8_t>& request,
                                                          std::uint8_t expectedCommand) {
  ensureOpen();
  featureWrite(request, reportID);
  // The answer is due 50 ms after the write: a late wake-up from the first pause already
  // counts towards it, so overshoots do not add up.
  sleeper_(pauseBeforeAnswer - std::min(lateBy_, std::chrono::microseconds(pauseBeforeAnswer)));

  Bytes buffer(reportLength, 0);
  buffer[0] = reportID;
  std::size_t length = buffer.size();
  const hid::IOReturn status =
      device_->getReport(hid::ReportType::feature, reportID, buffer, length);
  if (status != hid::kIOReturnSuccess) throw ZEPAError::readFailed(status);

  // A backend that claims more than the buffer holds must not make us read past it.
  buffer.resize(std::min(length, buffer.size()));
  if (buffer.size() < 2 || buffer[0] != reportID || buffer[1] != expectedCommand) {
    throw ZEPAError::acknowledgement(std::move(buffer));
  }
  return buffer;
}

HalvernDeviceInfo HalvernDevice::queryModel() {
  Bytes answer = featureRoundTrip(reportWithHeader(modelQueryHeader), modelQueryCommand);
  if (answer.size() < modelAnswerLength) throw ZEPAError::acknowledgement(std::move(answer));
  answer.resize(modelAnswerLength);
  return HalvernDeviceInfo{std::move(answer)};
}

HalvernConfigSnapshot HalvernDevice::readConfig() {
  Bytes answer = featureRoundTrip(reportWithHeader(configReadHeader), configReadCommand);
  if (answer.size() < configAnswerLength) throw ZEPAError::acknowledgement(std::move(answer));
  answer.resize(configAnswerLength);
  return HalvernConfigSnapshot{std::move(answer)};
}

void HalvernDevice::setLighting(const HalvernLightingConfig& config) {
  if (config.brightness > 4 || config.speed > 4) {
    throw ZEPAError::invalid("Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen.");
  }
  // The effect number picks the block bytes to change; an unknown one would write past them.
  const int effect = rawValue(config.effect);
  if (effect < 0 || effect > lastEffect) {
    throw ZEPAError::invalid("Unbekannter Halvern-Effekt (" + std::to_string(effect) + ").");
  }

  const HalvernConfigSnapshot current = readConfig();
  featureWrite(makeConfigReport(lightingBlock(current.response, config)), reportID);
  if (supportsColor(config.effect)) writeColor(config.color);
}

void HalvernDevice::setPerKeyRGB(const std::vector<KeyColor>&) {
  throw ZEPAError::invalid(
      "Einzeltastenfarben werden von der Corvane Pro unter Linux derzeit nicht unterstützt.");
}

bool HalvernDevice::verifyUnchangedConfigWrite() {
  const HalvernConfigSnapshot before = readConfig();
  featureWrite(makeConfigReport(before.response), reportID);
  const HalvernConfigSnapshot after = readConfig();
  // Bytes 0-7 are the answer's header, not the block.
  return std::equal(before.response.begin() + blockStart, before.response.end(),
                    after.response.begin() + blockStart, after.response.end());
}

std::vector<std::uint8_t> HalvernDevice::makeConfigReport(const std::vector<std::uint8_t>& block) {
  Bytes report = reportWithHeader(configWriteHeader);
  // A shorter block leaves the rest of the data part zero instead of reading past its end.
  const std::size_t end = std::min(block.size(), configAnswerLength);
  if (end > blockStart) {
    std::copy(block.begin() + blockStart, block.begin() + end, report.begin() + blockStart);
  }
  return report;
}

void HalvernDevice::writeColor(const RGBColor& color) {
  featureWrite(colorReport(color), reportID);
}

}  // namespace zepa
