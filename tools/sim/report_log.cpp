// SPDX-License-Identifier: MIT
#include "tools/sim/report_log.hpp"

#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "tools/sim/hex.hpp"

namespace zepa::sim {

namespace {
bool isKeycodeOp(std::string_view op) {
  return op == "SETKEYCODE" || op == "GETKEYCODE";
}
}  // namespace

std::string formatLogLine(const LogEntry& entry) {
  char id[16];
  std::snprintf(id, sizeof id, isKeycodeOp(entry.op) ? "0x%" PRIx32 : "%" PRIu32, entry.id);
  std::string line = std::to_string(entry.micros) + ' ' + entry.node + ' ' + entry.op + ' ' + id;
  if (!entry.bytes.empty()) line += ' ' + hexBytes(entry.bytes);
  return line;
}

std::optional<LogEntry> parseLogLine(std::string_view line) {
  std::istringstream in{std::string(line)};
  LogEntry entry;
  std::string id;
  if (!(in >> entry.micros >> entry.node >> entry.op >> id)) return std::nullopt;
  if (entry.op != "SET" && entry.op != "GET" && !isKeycodeOp(entry.op)) return std::nullopt;
  try {
    std::size_t used = 0;
    const bool hex = id.rfind("0x", 0) == 0;
    unsigned long value = std::stoul(id, &used, hex ? 16 : 10);
    if (used != id.size() || value > UINT32_MAX) return std::nullopt;
    entry.id = static_cast<std::uint32_t>(value);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  std::string rest;
  std::getline(in, rest);
  auto bytes = parseHexBytes(rest);
  if (!bytes) return std::nullopt;
  entry.bytes = std::move(*bytes);
  return entry;
}

ReportLog::ReportLog() : start_(std::chrono::steady_clock::now()) {}

ReportLog::~ReportLog() {
  if (file_) std::fclose(file_);
}

void ReportLog::writeTo(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) throw std::runtime_error("cannot write the report log " + path.string());
  if (file_) std::fclose(file_);
  file_ = file;
}

void ReportLog::add(std::string node, std::string op, std::uint32_t id,
                    std::vector<std::uint8_t> bytes) {
  LogEntry entry{std::chrono::duration_cast<std::chrono::microseconds>(
                     std::chrono::steady_clock::now() - start_)
                     .count(),
                 std::move(node), std::move(op), id, std::move(bytes)};
  if (file_) {
    // Flushed per line: a test reads the file while the simulator runs.
    std::fputs((formatLogLine(entry) + '\n').c_str(), file_);
    std::fflush(file_);
  }
  entries_.push_back(std::move(entry));
}

}  // namespace zepa::sim
