#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "protocol/pacing.hpp"
#include "protocol/zepa_error.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa::testing {

using Bytes = std::vector<std::uint8_t>;

// "04 18 @62 aa 55": hex bytes, "@N" goes on at offset N; zero-padded to `length`.
inline Bytes bytes(std::string_view text, std::size_t length = 0) {
  Bytes out(length);
  std::istringstream in{std::string(text)};
  std::size_t at = 0;
  for (std::string word; in >> word;) {
    if (word[0] == '@') {
      at = std::stoul(word.substr(1));
      continue;
    }
    if (out.size() <= at) out.resize(at + 1);
    out[at++] = static_cast<std::uint8_t>(std::stoul(word, nullptr, 16));
  }
  return out;
}

// The inverse, readable for long reports: non-zero runs at their offsets, then the length.
inline std::string sparse(const Bytes& b) {
  std::string out;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (b[i]) out += (i && b[i - 1] ? "" : "@" + std::to_string(i) + " ") + hexBytes({b[i]}) + " ";
  }
  return out + "/" + std::to_string(b.size());
}

// The error text an operation ends in, or "" when it completed.
inline std::string failureOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const ZEPAError& error) {
    return error.description();
  }
  return "";
}

// The in-process keyboards and what reached them, in order: "SET <sparse report>",
// "GET <answer length>" and "pause <µs>" from the sleeper it hands out.
struct Trace {
  std::shared_ptr<sim::InProcessBackend> backend = std::make_shared<sim::InProcessBackend>();
  std::vector<std::string> lines;
  std::size_t logged = 0;

  const std::vector<std::string>& get() {
    for (const auto log = backend->log(); logged < log.size(); ++logged) {
      const sim::LogEntry& e = log[logged];
      lines.push_back(e.op + " " +
                      (e.op == "SET" ? sparse(e.bytes) : std::to_string(e.bytes.size())));
    }
    return lines;
  }
  Sleeper sleeper() {
    return [this](std::chrono::microseconds pause) {
      get();
      lines.push_back("pause " + std::to_string(pause.count()));
    };
  }
};

// Runs `run` on a fresh Rig (a Trace): once without faults, which must give the expected
// trace and end in `ending` ("" for success); then once per fault the simulator can put on
// each call of `expected` ("GET … unchecked": a read whose answer is not examined). A fault
// must end in its error ("" none; a refused answer matches by its opening words) and cut the
// trace at the failed call, which may or may not show: no pause and nothing sent after it.
template <typename Rig>
void expectTraceAndEachFaultStops(const std::vector<std::string>& expected,
                                  const std::function<std::string(Rig&)>& run,
                                  const std::string& ending = "") {
  std::vector<std::string> want = expected;
  for (std::string& line : want) line = line.substr(0, line.find(" unchecked"));
  Rig clean;
  EXPECT_EQ(run(clean), ending);
  EXPECT_EQ(clean.get(), want);
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  int sets = 0, gets = 0, call = 0;
  for (std::size_t at = 0; at < expected.size(); ++at) {
    if (expected[at].starts_with("pause")) continue;
    const bool set = expected[at].starts_with("SET");
    const std::string n = (set ? "set:" : "get:") + std::to_string(set ? ++sets : ++gets);
    const std::string broke = set ? "Senden fehlgeschlagen (0x" : "Bestätigung fehlgeschlagen (0x";
    const std::string unanswered = expected[at].ends_with(" unchecked") ? "" : refused;
    std::vector<std::pair<std::string, std::string>> faults = {
        {"unplug:" + std::to_string(++call), broke + "e00002c0)."},
        {n + (set ? ":EPIPE" : ":EIO"), broke + (set ? "e000404f)." : "e00002ca).")}};
    if (!set) faults.insert(faults.end(), {{n + ":nak", unanswered}, {n + ":short:3", unanswered}});
    for (const auto& [fault, error] : faults) {
      SCOPED_TRACE(fault);
      Rig rig;
      rig.backend->addFault(fault);
      const std::string failure = run(rig);
      const std::vector<std::string>& trace = rig.get();
      EXPECT_TRUE(error.empty() ? failure.empty() : failure.starts_with(error)) << failure;
      if (error.empty()) continue;
      ASSERT_TRUE(trace.size() == at || trace.size() == at + 1) << trace.size();
      EXPECT_EQ(std::vector(trace.begin(), trace.begin() + at),
                std::vector(want.begin(), want.begin() + at));
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
    hid::IOReturn open() override { return note("open"), hid::kIOReturnSuccess; }
    void close() override { note("close"); }
    hid::IOReturn setReport(hid::ReportType, std::uint8_t,
                            std::span<const std::uint8_t> r) override {
      return note("SET " + hexBytes({r.begin(), r.end()}, 2)), hid::kIOReturnSuccess;
    }
    hid::IOReturn getReport(hid::ReportType, std::uint8_t, std::span<std::uint8_t> buffer,
                            std::size_t& length) override {
      const Bytes& a = setup().answers.at(std::min(reads++, setup().answers.size() - 1));
      std::copy_n(a.begin(), std::min(a.size(), buffer.size()), buffer.begin());
      length = setup().claimed ? setup().claimed : a.size();
      return note("GET"), hid::kIOReturnSuccess;
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

}  // namespace zepa::testing
