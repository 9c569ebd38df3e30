#pragma once

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/hid/hid.hpp"
#include "protocol/zepa_error.hpp"

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

// Every fault the simulator can put on each of `calls` ("SET …", "GET …", "GET unchecked"
// for a read whose answer is not examined), the error it must end in ("" none) and the call.
struct Fault {
  std::string fault, error;
  std::size_t call;
};
inline std::vector<Fault> faultsAlong(const std::vector<std::string>& calls) {
  const std::string refused = "Keyboard hat den Befehl nicht bestätigt: ";
  std::vector<Fault> out;
  int sets = 0, gets = 0;
  for (std::size_t call = 1; call <= calls.size(); ++call) {
    const std::string unplug = "unplug:" + std::to_string(call);
    if (calls[call - 1].starts_with("SET")) {
      const std::string n = std::to_string(++sets);
      out.push_back({"set:" + n + ":EPIPE", "Senden fehlgeschlagen (0xe000404f).", call});
      out.push_back({unplug, "Senden fehlgeschlagen (0xe00002c0).", call});
      continue;
    }
    const std::string n = std::to_string(++gets);
    const std::string unanswered = calls[call - 1] == "GET unchecked" ? "" : refused;
    out.push_back({"get:" + n + ":EIO", "Bestätigung fehlgeschlagen (0xe00002ca).", call});
    out.push_back({"get:" + n + ":nak", unanswered, call});
    out.push_back({"get:" + n + ":short:3", unanswered, call});
    out.push_back({unplug, "Bestätigung fehlgeschlagen (0xe00002c0).", call});
  }
  return out;
}

// Whether `failure` is `error`; acknowledgement errors match by their opening words.
inline bool endsIn(const std::string& failure, const std::string& error) {
  return error.empty() ? failure.empty() : failure.starts_with(error);
}

// Interfaces the simulator cannot vary: chosen properties, and reads that return canned
// answers in turn (the last repeats). Events read "<interface> open|close|GET|SET <2 bytes>".
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
    const Interface& spec() const { return owner.interfaces[index]; }
    std::optional<std::int64_t> property(std::string_view key) const override {
      if (key == "PrimaryUsagePage") return spec().page;
      return key == "MaxFeatureReportSize" ? spec().size : std::nullopt;
    }
    hid::IOReturn open() override { return note("open"), owner.openStatus; }
    void close() override { note("close"); }
    hid::IOReturn setReport(hid::ReportType, std::uint8_t,
                            std::span<const std::uint8_t> r) override {
      return note("SET " + hexBytes({r.begin(), r.end()}, 2)), hid::kIOReturnSuccess;
    }
    hid::IOReturn getReport(hid::ReportType, std::uint8_t, std::span<std::uint8_t> buffer,
                            std::size_t& length) override {
      const Bytes& a = spec().answers.at(std::min(reads++, spec().answers.size() - 1));
      std::copy_n(a.begin(), std::min(a.size(), buffer.size()), buffer.begin());
      length = spec().claimed ? spec().claimed : a.size();
      return note("GET"), hid::kIOReturnSuccess;
    }
    void note(const std::string& what) {
      owner.events.push_back(std::to_string(index) + " " + what);
    }
  };

  std::vector<Interface> interfaces;
  hid::IOReturn openStatus = hid::kIOReturnSuccess;
  std::vector<std::string> events;

  std::vector<std::unique_ptr<hid::Device>> copyDevices(std::uint16_t, std::uint16_t) override {
    std::vector<std::unique_ptr<hid::Device>> out;
    for (std::size_t i = 0; i < interfaces.size(); ++i)
      out.push_back(std::make_unique<Device>(*this, i));
    return out;
  }
};

}  // namespace zepa::testing
