// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Every feature report and key-map call the simulated keyboards answered, in order, with
// the time since the simulator started. Optionally mirrored to a text file, one line each.
namespace zepa::sim {

struct LogEntry {
  std::int64_t micros = 0;
  std::string node;      // "hidraw3", "event0"
  std::string op;        // SET GET SETKEYCODE GETKEYCODE
  std::uint32_t id = 0;  // report ID or scancode
  std::vector<std::uint8_t> bytes;

  friend bool operator==(const LogEntry&, const LogEntry&) = default;
};

// "<micros> <node> <op> <id> <bytes>": report IDs in decimal, scancodes as 0x hex, bytes as
// two lower-case hex digits separated by spaces. Keycode calls carry the keycode as the
// four bytes of the kernel's structure (native order).
std::string formatLogLine(const LogEntry& entry);
// The inverse, for tools reading a log file; nothing for a malformed line.
std::optional<LogEntry> parseLogLine(std::string_view line);

class ReportLog {
 public:
  ReportLog();
  ~ReportLog();
  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;

  // Mirrors every later entry to `path` (truncated). Throws std::runtime_error.
  void writeTo(const std::filesystem::path& path);

  void add(std::string node, std::string op, std::uint32_t id, std::vector<std::uint8_t> bytes);
  const std::vector<LogEntry>& entries() const { return entries_; }
  void clear() { entries_.clear(); }

 private:
  std::chrono::steady_clock::time_point start_;
  std::vector<LogEntry> entries_;
  std::FILE* file_ = nullptr;
};

}  // namespace zepa::sim
