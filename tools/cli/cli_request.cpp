// SPDX-License-Identifier: MIT
#include "tools/cli/cli_request.hpp"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <map>
#include <utility>

#include "protocol/zepa_key_map.hpp"
#include "protocol/zepa_reports.hpp"
#include "tools/cli/cli_names.hpp"

namespace zepa::cli {

namespace {

constexpr RGBColor defaultColor{0x00, 0xD2, 0xFF};

std::string inQuotes(std::string_view text) {
  return "„" + printable(text) + "“";
}

// Decimal digits only: no sign, no blanks, no hex.
std::optional<unsigned> decimal(std::string_view text, unsigned high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<RGBColor> color(std::string_view text) {
  if (text.starts_with('#')) text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  std::uint8_t parts[3];
  for (int i = 0; i < 3; ++i) {
    const char* first = text.data() + 2 * i;
    const auto [end, error] = std::from_chars(first, first + 2, parts[i], 16);
    if (error != std::errc() || end != first + 2) return std::nullopt;
  }
  return RGBColor{parts[0], parts[1], parts[2]};
}

// The arguments of one command: its options (with or without a value) and the rest in order.
struct ParsedOptions {
  std::map<std::string, std::string, std::less<>> values;
  std::vector<std::string_view> positional;
  bool help = false;

  bool has(std::string_view name) const { return values.find(name) != values.end(); }
  const std::string* value(std::string_view name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
};

struct OptionRule {
  const char* name;
  bool takesValue;
};

ParsedOptions parseOptions(Topic topic, std::span<const std::string_view> arguments,
                           std::span<const OptionRule> rules) {
  ParsedOptions parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (optionsEnded || !argument.starts_with("-") || argument == "-") {
      parsed.positional.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      parsed.help = true;
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [&](const OptionRule& r) { return name == r.name; });
    if (rule == rules.end()) {
      throw UsageError(topic, "Unbekannte Option " + inQuotes(name) + ".");
    }
    if (parsed.has(name)) {
      throw UsageError(topic, "Die Option " + inQuotes(name) + " ist mehrfach angegeben.");
    }
    std::string value;
    if (rule->takesValue) {
      if (equals != std::string_view::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        throw UsageError(topic, "Die Option " + inQuotes(name) + " braucht einen Wert.");
      }
    } else if (equals != std::string_view::npos) {
      throw UsageError(topic, "Die Option " + inQuotes(name) + " nimmt keinen Wert.");
    }
    parsed.values.emplace(std::string(name), std::move(value));
  }
  return parsed;
}

// The keyboards check their ranges too; checking here as well makes a value out of range a
// bad call that sends nothing.
std::uint8_t numberOption(Topic topic, const ParsedOptions& parsed, std::string_view name,
                          std::uint8_t fallback, std::uint8_t high) {
  const std::string* text = parsed.value(name);
  if (!text) return fallback;
  const auto value = decimal(*text, high);
  if (!value) {
    throw UsageError(topic, "Die Option " + inQuotes(name) + " erwartet eine Zahl von 0 bis " +
                                std::to_string(high) + ", nicht " + inQuotes(*text) + ".");
  }
  return static_cast<std::uint8_t>(*value);
}

RGBColor colorValue(Topic topic, std::string_view text) {
  const auto value = color(text);
  if (!value) {
    throw UsageError(topic, "Die Farbe " + inQuotes(text) +
                                " ist ungültig; erwartet werden sechs Hex-Ziffern RRGGBB oder "
                                "#RRGGBB, etwa 00d2ff.");
  }
  return *value;
}

RGBColor colorOption(Topic topic, const ParsedOptions& parsed) {
  const std::string* text = parsed.value("--color");
  return text ? colorValue(topic, *text) : defaultColor;
}

std::string_view onlyPositional(Topic topic, const ParsedOptions& parsed, const char* what) {
  if (parsed.positional.empty()) throw UsageError(topic, std::string(what) + " fehlt.");
  if (parsed.positional.size() > 1) {
    throw UsageError(topic, "Unerwartetes Argument " + inQuotes(parsed.positional[1]) + ".");
  }
  return parsed.positional.front();
}

void noPositional(Topic topic, const ParsedOptions& parsed) {
  if (!parsed.positional.empty()) {
    throw UsageError(topic, "Unerwartetes Argument " + inQuotes(parsed.positional.front()) + ".");
  }
}

std::uint8_t keyOrThrow(Topic topic, std::string_view text) {
  if (auto index = zepaKeyNamed(text)) return *index;
  if (text.starts_with('#')) {
    throw UsageError(topic, "Die Tastennummer " + inQuotes(text) +
                                " liegt nicht zwischen #1 und #" +
                                std::to_string(ZEPAReports::highestKeyIndex) + ".");
  }
  throw UsageError(topic,
                   "Unbekannte Taste " + inQuotes(text) + "; „zepactl keys“ zeigt alle Namen.");
}

// 2025-03-09T14:05:07 in the local time zone; a date or time that does not exist there is
// refused rather than silently moved. Whether the keyboard takes the year is its own check.
DateParts localTime(Topic topic, std::string_view text) {
  const auto refuse = [&] {
    throw UsageError(topic, "Die Zeit " + inQuotes(text) +
                                " ist ungültig; erwartet wird JJJJ-MM-TTTHH:MM:SS in Ortszeit.");
  };
  constexpr std::string_view shape = "dddd-dd-ddTdd:dd:dd";
  if (text.size() != shape.size()) refuse();
  for (std::size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != shape[i]) refuse();
  }
  const auto field = [&](std::size_t at, std::size_t length) {
    return static_cast<int>(*decimal(text.substr(at, length), 9999));
  };
  std::tm wanted{};
  wanted.tm_year = field(0, 4) - 1900;
  wanted.tm_mon = field(5, 2) - 1;
  wanted.tm_mday = field(8, 2);
  wanted.tm_hour = field(11, 2);
  wanted.tm_min = field(14, 2);
  wanted.tm_sec = field(17, 2);
  wanted.tm_isdst = -1;
  std::tm normalised = wanted;
  const std::time_t seconds = std::mktime(&normalised);
  // mktime moves 31 April to 1 May and a time in a daylight-saving gap forward.
  if (seconds == static_cast<std::time_t>(-1) || normalised.tm_year != wanted.tm_year ||
      normalised.tm_mon != wanted.tm_mon || normalised.tm_mday != wanted.tm_mday ||
      normalised.tm_hour != wanted.tm_hour || normalised.tm_min != wanted.tm_min ||
      normalised.tm_sec != wanted.tm_sec) {
    refuse();
  }
  return DateParts{wanted.tm_year + 1900, wanted.tm_mon + 1, wanted.tm_mday,        wanted.tm_hour,
                   wanted.tm_min,         wanted.tm_sec,     normalised.tm_wday + 1};
}

Command zepaLighting(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaLighting;
  static constexpr OptionRule rules[] = {{"--color", true},     {"--brightness", true},
                                         {"--speed", true},     {"--direction", true},
                                         {"--colorful", false}, {"--save", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  const std::string_view modeText = onlyPositional(topic, parsed, "Der Modus");
  const auto mode = lightingModeNamed(modeText);
  if (!mode) {
    throw UsageError(topic, "Unbekannter Modus " + inQuotes(modeText) + "; erlaubt sind 0 bis " +
                                std::to_string(allLightingModes().size() - 1) +
                                " oder ein Name aus „zepactl zepa lighting --help“.");
  }
  return ZEPALightingRequest{
      LightingConfig{*mode, colorOption(topic, parsed),
                     numberOption(topic, parsed, "--brightness", 5, 5),
                     numberOption(topic, parsed, "--speed", 3, 5),
                     numberOption(topic, parsed, "--direction", 0, 1), parsed.has("--colorful")},
      parsed.has("--save")};
}

Command zepaClock(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaClock;
  static constexpr OptionRule rules[] = {{"--at", true}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  noPositional(topic, parsed);
  ZEPAClockRequest request;
  if (const std::string* at = parsed.value("--at")) request.at = localTime(topic, *at);
  return request;
}

Command zepaKeys(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaKeys;
  static constexpr OptionRule rules[] = {{"--brightness", true}, {"--save", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  std::map<std::uint8_t, RGBColor> colors;
  for (const std::string_view pair : parsed.positional) {
    // A colour never holds "=", so the last one separates: "==ff0000" colours the "=" key.
    const std::size_t equals = pair.rfind('=');
    if (equals == std::string_view::npos) {
      throw UsageError(topic, inQuotes(pair) + " ist kein Paar TASTE=RRGGBB.");
    }
    const std::uint8_t index = keyOrThrow(topic, pair.substr(0, equals));
    colors[index] = colorValue(topic, pair.substr(equals + 1));
  }
  ZEPAKeysRequest request{
      {}, numberOption(topic, parsed, "--brightness", 5, 5), parsed.has("--save")};
  for (const auto& [index, value] : colors) request.colors.push_back(KeyColor{index, value});
  return request;
}

// The target's parameters as the application gives them: a modifier as its bit, any other
// key as its HID usage.
KeyRemap remapTo(std::uint8_t source, const ZEPAKey& target) {
  if (auto bit = ZEPAKeyMap::modifierBit(target.hid)) {
    return KeyRemap{source, RemapAction::key, *bit, 0, 0};
  }
  return KeyRemap{source, RemapAction::key, 0, target.hid, 0};
}

const ZEPAKey* targetKey(std::string_view text) {
  const auto index = zepaKeyNamed(text);
  return index ? ZEPAKeyMap::key(*index) : nullptr;
}

// "=" is itself a key name, so every "=" is tried as the separator; exactly one split may
// name two keys. `resolve` gives what a side names, or nothing.
template <typename Resolve>
auto splitPair(Topic topic, std::string_view pair, Resolve resolve) {
  using Value = decltype(resolve(pair));
  std::optional<std::pair<typename Value::value_type, typename Value::value_type>> found;
  for (std::size_t at = pair.find('='); at != std::string_view::npos; at = pair.find('=', at + 1)) {
    const auto source = resolve(pair.substr(0, at));
    const auto target = resolve(pair.substr(at + 1));
    if (!source || !target) continue;
    if (found) throw UsageError(topic, "Das Paar " + inQuotes(pair) + " ist mehrdeutig.");
    found.emplace(*source, *target);
  }
  if (!found && pair.find('=') == std::string_view::npos) {
    throw UsageError(topic, inQuotes(pair) + " ist kein Paar QUELLE=ZIEL.");
  }
  return found;
}

KeyRemap remapPair(Topic topic, std::string_view pair) {
  const auto found = splitPair(topic, pair, [](std::string_view side) {
    const ZEPAKey* key = targetKey(side);
    const auto index = zepaKeyNamed(side);
    // A source may be any firmware index; a target must be a key of the table.
    return index ? std::optional<std::pair<std::uint8_t, const ZEPAKey*>>({*index, key})
                 : std::nullopt;
  });
  if (found && found->second.second) return remapTo(found->first.first, *found->second.second);
  // Explain with the split at the last "=", which is right unless a name holds one.
  const std::size_t at = pair.rfind('=');
  keyOrThrow(topic, pair.substr(0, at));
  const std::string_view target = pair.substr(at + 1);
  keyOrThrow(topic, target);
  throw UsageError(topic, "Das Ziel " + inQuotes(target) + " ist keine Taste der Tastentabelle.");
}

Command zepaRemap(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaRemap;
  static constexpr OptionRule rules[] = {{"--fn", false}, {"--save", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  // The stored profile holds the base layer only, as the window does.
  if (parsed.has("--fn") && parsed.has("--save")) {
    throw UsageError(topic, "„--save“ speichert nur die Grundebene, nicht die Fn-Ebene.");
  }
  ZEPARemapRequest request{{}, parsed.has("--fn"), parsed.has("--save")};
  for (const std::string_view pair : parsed.positional) {
    const KeyRemap remap = remapPair(topic, pair);
    // A later pair for the same source replaces the earlier one, as in the application.
    std::erase_if(request.remaps,
                  [&](const KeyRemap& r) { return r.sourceIndex == remap.sourceIndex; });
    request.remaps.push_back(remap);
  }
  return request;
}

Command halvernLighting(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::halvernLighting;
  static constexpr OptionRule rules[] = {{"--color", true},
                                         {"--brightness", true},
                                         {"--speed", true},
                                         {"--colorful", false},
                                         {"--save", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  const std::string_view effectText = onlyPositional(topic, parsed, "Der Effekt");
  const auto effect = halvernEffectNamed(effectText);
  if (!effect) {
    throw UsageError(topic, "Unbekannter Effekt " + inQuotes(effectText) + "; erlaubt sind 0 bis " +
                                std::to_string(allHalvernEffects().size() - 1) +
                                " oder ein Name aus „zepactl halvern lighting --help“.");
  }
  return HalvernLightingRequest{
      HalvernLightingConfig{*effect, colorOption(topic, parsed),
                            numberOption(topic, parsed, "--brightness", 4, 4),
                            numberOption(topic, parsed, "--speed", 4, 4), parsed.has("--colorful")},
      parsed.has("--save")};
}

std::uint8_t usageOrThrow(Topic topic, std::string_view text) {
  if (const auto usage = halvernUsageNamed(text)) return *usage;
  throw UsageError(topic,
                   "Unbekannte Taste " + inQuotes(text) + "; „zepactl keys“ zeigt alle Namen.");
}

Command halvernRemap(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::halvernRemap;
  static constexpr OptionRule rules[] = {{"--save", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  HalvernRemapRequest request{{}, parsed.has("--save")};
  for (const std::string_view pair : parsed.positional) {
    const auto found =
        splitPair(topic, pair, [](std::string_view side) { return halvernUsageNamed(side); });
    if (!found) {
      const std::size_t at = pair.rfind('=');
      usageOrThrow(topic, pair.substr(0, at));
      usageOrThrow(topic, pair.substr(at + 1));
      throw UsageError(topic, "Das Paar " + inQuotes(pair) + " ist ungültig.");
    }
    std::erase_if(request.remaps, [&](const KeyRemap& r) { return r.sourceIndex == found->first; });
    request.remaps.push_back(KeyRemap{found->first, RemapAction::key, 0, found->second, 0});
  }
  // Ordered by source, as the window stores them.
  std::stable_sort(
      request.remaps.begin(), request.remaps.end(),
      [](const KeyRemap& a, const KeyRemap& b) { return a.sourceIndex < b.sourceIndex; });
  return request;
}

// Commands whose only option is --json.
template <typename Request>
Command withJson(Topic topic, std::span<const std::string_view> arguments, Request request) {
  static constexpr OptionRule rules[] = {{"--json", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  noPositional(topic, parsed);
  request.json = parsed.has("--json");
  return request;
}

Command withoutArguments(Topic topic, std::span<const std::string_view> arguments,
                         Command command) {
  const ParsedOptions parsed = parseOptions(topic, arguments, {});
  if (parsed.help) return HelpRequest{topic};
  noPositional(topic, parsed);
  return command;
}

bool isHelp(std::string_view argument) {
  return argument == "--help" || argument == "-h";
}

Command zepaCommand(std::span<const std::string_view> arguments) {
  if (arguments.empty()) throw UsageError(Topic::zepa, "Der Unterbefehl fehlt.");
  const std::string_view name = arguments.front();
  const auto rest = arguments.subspan(1);
  if (isHelp(name)) return HelpRequest{Topic::zepa};
  if (name == "lighting") return zepaLighting(rest);
  if (name == "clock") return zepaClock(rest);
  if (name == "keys") return zepaKeys(rest);
  if (name == "remap") return zepaRemap(rest);
  throw UsageError(Topic::zepa, "Unbekannter Unterbefehl " + inQuotes(name) + ".");
}

Command halvernCommand(std::span<const std::string_view> arguments) {
  if (arguments.empty()) throw UsageError(Topic::halvern, "Der Unterbefehl fehlt.");
  const std::string_view name = arguments.front();
  const auto rest = arguments.subspan(1);
  if (isHelp(name)) return HelpRequest{Topic::halvern};
  if (name == "model")
    return withJson(Topic::halvernQuery, rest, HalvernQueryRequest{HalvernQuery::model});
  if (name == "config")
    return withJson(Topic::halvernQuery, rest, HalvernQueryRequest{HalvernQuery::config});
  if (name == "verify")
    return withJson(Topic::halvernQuery, rest, HalvernQueryRequest{HalvernQuery::verify});
  if (name == "lighting") return halvernLighting(rest);
  if (name == "remap") return halvernRemap(rest);
  throw UsageError(Topic::halvern, "Unbekannter Unterbefehl " + inQuotes(name) + ".");
}

std::filesystem::path onlyFile(Topic topic, std::span<const std::string_view> arguments) {
  const ParsedOptions parsed = parseOptions(topic, arguments, {});
  const std::string_view file = onlyPositional(topic, parsed, "Die Datei");
  if (file.empty()) throw UsageError(topic, "Die Datei fehlt.");
  return std::filesystem::path(file);
}

Command profileCommand(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::profile;
  if (arguments.empty()) throw UsageError(topic, "Der Unterbefehl fehlt.");
  const std::string_view name = arguments.front();
  const auto rest = arguments.subspan(1);
  if (isHelp(name) || std::any_of(rest.begin(), rest.end(), isHelp)) return HelpRequest{topic};
  if (name == "export") return ProfileExportRequest{onlyFile(topic, rest)};
  if (name == "import") return ProfileImportRequest{onlyFile(topic, rest)};
  throw UsageError(topic, "Unbekannter Unterbefehl " + inQuotes(name) + ".");
}

}  // namespace

Invocation parseArguments(std::span<const std::string_view> arguments) {
  Invocation invocation{std::nullopt, HelpRequest{Topic::general}};
  std::size_t next = 0;
  // Global options come before the command; "--" ends them.
  while (next < arguments.size() && arguments[next].starts_with("-")) {
    const std::string_view option = arguments[next];
    if (option == "--") {
      ++next;
      break;
    }
    if (isHelp(option)) return invocation;
    if (option == "--version") {
      invocation.command = VersionRequest{};
      return invocation;
    }
    if (option == "--device-root" || option.starts_with("--device-root=")) {
      if (invocation.deviceRoot) {
        throw UsageError(Topic::general, "Die Option „--device-root“ ist mehrfach angegeben.");
      }
      std::string_view value;
      if (option.size() > std::string_view("--device-root").size()) {
        value = option.substr(std::string_view("--device-root=").size());
      } else if (next + 1 < arguments.size()) {
        value = arguments[++next];
      } else {
        throw UsageError(Topic::general, "Die Option „--device-root“ braucht einen Wert.");
      }
      if (value.empty()) {
        throw UsageError(Topic::general, "Die Option „--device-root“ braucht ein Verzeichnis.");
      }
      invocation.deviceRoot = std::filesystem::path(value);
      ++next;
      continue;
    }
    throw UsageError(Topic::general, "Unbekannte Option " + inQuotes(option) + ".");
  }
  if (next == arguments.size()) throw UsageError(Topic::general, "Der Befehl fehlt.");
  const std::string_view name = arguments[next];
  const auto rest = arguments.subspan(next + 1);
  if (name == "list") {
    invocation.command = withJson(Topic::list, rest, ListRequest{});
  } else if (name == "keys") {
    invocation.command = withJson(Topic::keys, rest, KeysRequest{});
  } else if (name == "zepa") {
    invocation.command = zepaCommand(rest);
  } else if (name == "halvern") {
    invocation.command = halvernCommand(rest);
  } else if (name == "profile") {
    invocation.command = profileCommand(rest);
  } else if (name == "diagnose") {
    invocation.command = withJson(Topic::diagnose, rest, DiagnoseRequest{});
  } else if (name == "restore") {
    invocation.command = withoutArguments(Topic::restore, rest, RestoreRequest{});
  } else if (name == "help") {
    invocation.command = HelpRequest{Topic::general};
  } else {
    throw UsageError(Topic::general, "Unbekannter Befehl " + inQuotes(name) + ".");
  }
  return invocation;
}

}  // namespace zepa::cli
