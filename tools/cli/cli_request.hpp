// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/halvern_records.hpp"
#include "protocol/pacing.hpp"
#include "protocol/records.hpp"

// zepactl's command line, parsed completely before any device is looked at, so a bad call
// never sends a single report.
namespace zepa::cli {

// What the help and usage texts are about.
enum class Topic {
  general,
  list,
  zepa,
  zepaLighting,
  zepaClock,
  zepaKeys,
  zepaRemap,
  halvern,
  halvernQuery,
  halvernLighting,
  halvernRemap,
  keys,
  profile,
  diagnose,
  restore,
};

// A malformed call: exit status 2, `what()` is the German sentence naming the problem.
class UsageError : public std::runtime_error {
 public:
  UsageError(Topic topic, const std::string& problem)
      : std::runtime_error(problem), topic_(topic) {}
  Topic topic() const { return topic_; }

 private:
  Topic topic_;
};

struct HelpRequest {
  Topic topic;
};
struct VersionRequest {};
struct ListRequest {
  bool json = false;
};
struct KeysRequest {
  bool json = false;
};
struct ZEPALightingRequest {
  LightingConfig config;
  bool save = false;
};
struct ZEPAClockRequest {
  // The local date as given; nothing: now, when it runs. Kept as parts, so no year can
  // overflow a clock's range before the keyboard's own check refuses it.
  std::optional<DateParts> at;
};
struct ZEPAKeysRequest {
  std::vector<KeyColor> colors;  // ascending by index, one entry per index
  std::uint8_t brightness;
  bool save = false;
};
struct ZEPARemapRequest {
  std::vector<KeyRemap> remaps;  // in the order given, one entry per source
  bool fnLayer;
  bool save = false;
};
enum class HalvernQuery { model, config, verify };
struct HalvernQueryRequest {
  HalvernQuery query;
  bool json = false;
};
struct HalvernLightingRequest {
  HalvernLightingConfig config;
  bool save = false;
};
struct HalvernRemapRequest {
  std::vector<KeyRemap> remaps;  // source and target usages, ascending by source
  bool save = false;
};
struct ProfileExportRequest {
  std::filesystem::path file;
};
struct ProfileImportRequest {
  std::filesystem::path file;
};
struct DiagnoseRequest {
  bool json = false;
};
struct RestoreRequest {};

using Command =
    std::variant<HelpRequest, VersionRequest, ListRequest, KeysRequest, ZEPALightingRequest,
                 ZEPAClockRequest, ZEPAKeysRequest, ZEPARemapRequest, HalvernQueryRequest,
                 HalvernLightingRequest, HalvernRemapRequest, ProfileExportRequest,
                 ProfileImportRequest, DiagnoseRequest, RestoreRequest>;

struct Invocation {
  std::optional<std::filesystem::path> deviceRoot;
  Command command;
};

// The arguments after the program name. Throws UsageError.
Invocation parseArguments(std::span<const std::string_view> arguments);

// The full help of a topic, and the one line that follows a usage error.
std::string helpText(Topic topic);
std::string usageLine(Topic topic);

}  // namespace zepa::cli
