// SPDX-License-Identifier: MIT
// The keyboards' answers, as any device with the right IDs may give them, through both device
// classes: a scripted backend hands out the fuzz input as the status and bytes of each read
// and the status of each write. Every operation must complete or end in a ZEPAError.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>

#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"
#include "protocol/zepa_error.hpp"

namespace {

using namespace zepa;

// The fuzz input as a stream of decisions; once used up, every call succeeds with zeros.
struct Script {
  std::span<const std::uint8_t> rest;
  std::uint8_t next() {
    if (rest.empty()) return 0;
    const std::uint8_t value = rest[0];
    rest = rest.subspan(1);
    return value;
  }
  // Mostly success: a status byte of 0xF0 and above picks one of a few failures.
  hid::IOReturn status() {
    const std::uint8_t value = next();
    if (value < 0xF0) return hid::kIOReturnSuccess;
    static const hid::IOReturn failures[] = {
        static_cast<hid::IOReturn>(0xE00002C0), static_cast<hid::IOReturn>(0xE00002CA),
        static_cast<hid::IOReturn>(0xE000404F), static_cast<hid::IOReturn>(0xE00002D6)};
    return failures[value % 4];
  }
};

struct ScriptedDevice : hid::Device {
  Script& script;
  std::int64_t page, size;
  ScriptedDevice(Script& s, std::int64_t p, std::int64_t z) : script(s), page(p), size(z) {}
  std::optional<std::int64_t> property(std::string_view key) const override {
    if (key == "PrimaryUsagePage") return page;
    if (key == "MaxFeatureReportSize") return size;
    return std::nullopt;
  }
  hid::IOReturn open() override { return script.status(); }
  void close() override {}
  hid::IOReturn setReport(hid::ReportType, std::uint8_t, std::span<const std::uint8_t>) override {
    return script.status();
  }
  hid::IOReturn getReport(hid::ReportType, std::uint8_t, std::span<std::uint8_t> buffer,
                          std::size_t& length) override {
    const hid::IOReturn status = script.status();
    if (status != hid::kIOReturnSuccess) return status;
    // The length the device admits to, then that many bytes (zeros once the input ends).
    length = std::min<std::size_t>(script.next() | script.next() << 8, buffer.size());
    for (std::size_t i = 0; i < length; ++i) buffer[i] = script.next();
    return status;
  }
};

struct ScriptedBackend : hid::Backend {
  Script& script;
  explicit ScriptedBackend(Script& s) : script(s) {}
  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t vendor,
                                                        std::uint16_t) override {
    std::vector<std::unique_ptr<hid::Device>> devices;
    if (vendor == ZEPADevice::vendorID) {
      devices.push_back(std::make_unique<ScriptedDevice>(script, 0xFF13, 64));
    } else {
      devices.push_back(std::make_unique<ScriptedDevice>(script, 0xFF00, 520));
    }
    return devices;
  }
};

template <typename Work>
void expectCompletesOrZEPAError(Work&& work) {
  try {
    work();
  } catch (const ZEPAError& error) {
    if (error.description().empty()) std::abort();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "escaped a device class: %s\n", error.what());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Script script{std::span(data + 1, size - 1)};
  auto backend = std::make_shared<ScriptedBackend>(script);
  const Sleeper noPause = [](std::chrono::microseconds) {};
  const Calendar fixedDate = [](auto) { return DateParts{2025, 3, 9, 14, 5, 7, 1}; };
  switch (data[0] % 7) {
    case 0:
      expectCompletesOrZEPAError([&] {
        ZEPADevice(backend, noPause, fixedDate)
            .setLighting({LightingMode::breath, {1, 2, 3}, 4, 2, 0, true});
      });
      break;
    case 1:
      expectCompletesOrZEPAError([&] {
        ZEPADevice(backend, noPause, fixedDate).syncClock(std::chrono::system_clock::now(), 1);
      });
      break;
    case 2:
      expectCompletesOrZEPAError([&] {
        ZEPADevice(backend, noPause, fixedDate).setPerKeyRGB({{1, {255, 0, 0}}, {9, {0, 0, 9}}}, 4);
      });
      break;
    case 3:
      expectCompletesOrZEPAError([&] {
        ZEPADevice(backend, noPause, fixedDate)
            .setRemaps({{55, RemapAction::key, 1, 0, 0}}, data[0] & 0x80);
      });
      break;
    case 4:
      expectCompletesOrZEPAError([&] {
        HalvernDevice device(backend, noPause);
        const HalvernDeviceInfo info = device.queryModel();
        (void)info.modelByte();
        (void)info.hardwareByte();
      });
      break;
    case 5:
      expectCompletesOrZEPAError([&] {
        HalvernDevice device(backend, noPause);
        const HalvernConfigSnapshot snapshot = device.readConfig();
        (void)snapshot.effectID();
        (void)snapshot.customMode();
        device.setLighting({HalvernEffect::breathing, {9, 8, 7}, 3, 2, false});
      });
      break;
    default:
      expectCompletesOrZEPAError(
          [&] { (void)HalvernDevice(backend, noPause).verifyUnchangedConfigWrite(); });
      break;
  }
  return 0;
}
