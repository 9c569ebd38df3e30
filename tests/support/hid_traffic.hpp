// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/pacing.hpp"
#include "protocol/zepa_error.hpp"
#include "tests/support/report_bytes.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa::test {

// What an operation ended in: its error, or nothing when it completed.
inline std::optional<ZEPAError> errorOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const ZEPAError& error) {
    return error;
  }
  return std::nullopt;
}

// The error text an operation ends in, or "" when it completed.
inline std::string failureOf(const std::function<void()>& operation) {
  const auto error = errorOf(operation);
  return error ? error->description() : "";
}

// One line of traffic: "SET <shown report>", "GET <answer size>" or "pause <µs>" ("pause"). A GET
// whose answer the device does not examine is not `checked`: a refused answer cannot fail it.
struct Call {
  std::string line;
  bool checked = true;
};
using Traffic = std::vector<Call>;

inline Traffic operator+(Traffic first, const Traffic& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

// The in-process keyboards and what reached them, in order, with the pauses of the sleeper it
// hands out. `overslept` is added to every pause the sleeper reports, as a late wake-up.
// Without `pauseLengths` a pause shows as "pause" alone, so a keyboard's one fixed pause is
// pinned by one test instead of every sequence; `pauses` keeps the lengths.
struct Trace {
  std::shared_ptr<sim::InProcessBackend> backend = std::make_shared<sim::InProcessBackend>();
  std::vector<std::string> lines;
  std::vector<std::chrono::microseconds> pauses;
  std::size_t logged = 0;
  std::chrono::microseconds overslept{0};
  bool pauseLengths = true;

  const std::vector<std::string>& get() {
    for (const auto log = backend->log(); logged < log.size(); ++logged) {
      const sim::LogEntry& e = log[logged];
      lines.push_back(e.op + " " +
                      (e.op == "SET" ? shown(e.bytes) : std::to_string(e.bytes.size())));
    }
    return lines;
  }
  Sleeper sleeper() {
    return [this](std::chrono::microseconds pause) {
      get();
      pauses.push_back(pause);
      lines.push_back(pauseLengths ? "pause " + std::to_string(pause.count()) : "pause");
      return pause + overslept;
    };
  }
};

// Runs `run` on a fresh Rig (a Trace): once without faults, which must give `expected` and end
// in `ending` (the error text, "" for success); then with each call unplugged, and each read
// answered with zeros. A fault must end in its error's kind and status (how each errno maps is
// the hidraw backend's test, texts are pinned where the errors are made, short answers are the
// acknowledgement tables') and cut the trace at the failed call, which may or may not show. The
// walk stops at the first fault that fails, and does not start when the clean run already
// failed: the rest would only repeat it.
template <typename Rig>
void expectTraceAndEachFaultStops(const Traffic& expected,
                                  const std::function<std::optional<ZEPAError>(Rig&)>& run,
                                  const std::string& ending = "") {
  std::vector<std::string> want;
  for (const Call& call : expected) want.push_back(call.line);
  {
    Rig clean;
    const auto error = run(clean);
    ASSERT_EQ(error ? error->description() : "", ending);
    ASSERT_EQ(clean.get(), want);
  }
  using enum ZEPAError::Kind;
  struct Fault {
    std::string text;
    std::optional<ZEPAError::Kind> kind;  // none: an unchecked answer, the command completes
    hid::IOReturn status = hid::kIOReturnSuccess;
  };
  int gets = 0, call = 0;
  for (std::size_t at = 0; at < expected.size(); ++at) {
    if (want[at].starts_with("pause")) continue;
    const bool set = want[at].starts_with("SET");
    std::vector<Fault> faults = {{"unplug:" + std::to_string(++call),
                                  set ? writeFailed : readFailed, hid::kIOReturnNoDevice}};
    if (!set)
      faults.push_back({"get:" + std::to_string(++gets) + ":nak",
                        expected[at].checked ? std::optional(acknowledgement) : std::nullopt});
    for (const Fault& fault : faults) {
      SCOPED_TRACE("fault " + fault.text);
      Rig rig;
      rig.backend->addFault(fault.text);
      const std::optional<ZEPAError> error = run(rig);
      const std::vector<std::string>& trace = rig.get();
      if (!fault.kind) {
        ASSERT_FALSE(error.has_value()) << error->description();
        continue;
      }
      ASSERT_TRUE(error.has_value());
      ASSERT_EQ(error->kind(), *fault.kind) << error->description();
      ASSERT_EQ(error->status(), fault.status) << error->description();
      ASSERT_GE(trace.size(), at);
      ASSERT_LE(trace.size(), at + 1);
      ASSERT_EQ(std::vector(trace.begin(), trace.begin() + static_cast<std::ptrdiff_t>(at)),
                std::vector(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(at)));
    }
  }
}

// Interfaces the simulator cannot vary: chosen properties, and reads that return canned
// answers in turn (the last repeats). Events read "<interface> open|close|GET|SET <2 bytes>, …".
struct CannedBackend : hid::Backend {
  struct Interface {
    std::optional<std::int64_t> page, size;  // PrimaryUsagePage, MaxFeatureReportSize
    std::vector<Bytes> answers{Bytes(64)};
    std::size_t claimed = 0;  // the read length it admits to; 0: the answer's size
  };
  struct Device : hid::Device {
    CannedBackend& owner;
    std::size_t index, reads = 0;
    Device(CannedBackend& o, std::size_t i) : owner(o), index(i) {}
    const Interface& setup() const { return owner.interfaces[index]; }
    std::optional<std::int64_t> property(std::string_view key) const override {
      if (key == "PrimaryUsagePage") return setup().page;
      return key == "MaxFeatureReportSize" ? setup().size : std::nullopt;
    }
    hid::IOReturn open() override {
      note("open");
      return hid::kIOReturnSuccess;
    }
    void close() override { note("close"); }
    hid::IOReturn setReport(hid::ReportType, std::uint8_t,
                            std::span<const std::uint8_t> r) override {
      note("SET " + hexBytes({r.begin(), r.end()}, 2));
      return hid::kIOReturnSuccess;
    }
    hid::IOReturn getReport(hid::ReportType, std::uint8_t, std::span<std::uint8_t> buffer,
                            std::size_t& length) override {
      const Bytes& a = setup().answers.at(std::min(reads++, setup().answers.size() - 1));
      std::copy_n(a.begin(), std::min(a.size(), buffer.size()), buffer.begin());
      length = setup().claimed ? setup().claimed : a.size();
      note("GET");
      return hid::kIOReturnSuccess;
    }
    void note(const std::string& what) {
      owner.events += (owner.events.empty() ? "" : ", ") + std::to_string(index) + " " + what;
    }
  };

  std::vector<Interface> interfaces;
  std::string events;

  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t, std::uint16_t) override {
    std::vector<std::unique_ptr<hid::Device>> out;
    for (std::size_t i = 0; i < interfaces.size(); ++i)
      out.push_back(std::make_unique<Device>(*this, i));
    return out;
  }
};

inline std::shared_ptr<CannedBackend> canned(std::vector<CannedBackend::Interface> interfaces) {
  auto backend = std::make_shared<CannedBackend>();
  backend->interfaces = std::move(interfaces);
  return backend;
}

// Test names from row names: letters and digits, everything else an underscore.
inline std::string testName(std::string_view name) {
  std::string out;
  for (char c : name) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return out;
}

}  // namespace zepa::test
