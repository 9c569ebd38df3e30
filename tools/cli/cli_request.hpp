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
struct ListRequest {};
struct ZepaLightingRequest {
  LightingConfig config;
};
struct ZepaClockRequest {
  std::optional<std::chrono::system_clock::time_point> at;  // nothing: now, when it runs
};
struct ZepaKeysRequest {
  std::vector<KeyColor> colors;  // ascending by index, one entry per index
  std::uint8_t brightness;
};
struct ZepaRemapRequest {
  std::vector<KeyRemap> remaps;  // in the order given, one entry per source
  bool fnLayer;
};
enum class HalvernQuery { model, config, verify };
struct HalvernQueryRequest {
  HalvernQuery query;
};
struct HalvernLightingRequest {
  HalvernLightingConfig config;
};
struct RestoreRequest {};

using Command =
    std::variant<HelpRequest, ListRequest, ZepaLightingRequest, ZepaClockRequest, ZepaKeysRequest,
                 ZepaRemapRequest, HalvernQueryRequest, HalvernLightingRequest, RestoreRequest>;

struct Invocation {
  std::optional<std::filesystem::path> deviceRoot;
  Command command;
};

// The arguments after the program name. Throws UsageError.
Invocation parseArguments(std::span<const std::string_view> arguments);

// The full help of a topic, and the one line that follows a usage error.
std::string helpText(Topic topic);
std::string usageLine(Topic topic);

// The names a mode or effect is given by on the command line ("staticColor").
const char* caseName(LightingMode mode);
const char* caseName(HalvernEffect effect);

}  // namespace zepa::cli
