#include "tools/cli/cli_request.hpp"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <map>
#include <utility>

#include "protocol/zepa_key_map.hpp"
#include "protocol/zepa_reports.hpp"

namespace zepa::cli {

namespace {

// Case names as the code spells them, in raw order (a raw value indexes its row); the raw
// number works on the command line as well.
constexpr std::pair<const char*, LightingMode> kLightingModes[] = {
    {"off", LightingMode::off},
    {"staticColor", LightingMode::staticColor},
    {"singleOn", LightingMode::singleOn},
    {"singleOff", LightingMode::singleOff},
    {"glittering", LightingMode::glittering},
    {"falling", LightingMode::falling},
    {"colourful", LightingMode::colourful},
    {"breath", LightingMode::breath},
    {"spectrum", LightingMode::spectrum},
    {"outward", LightingMode::outward},
    {"scrolling", LightingMode::scrolling},
    {"rolling", LightingMode::rolling},
    {"rotating", LightingMode::rotating},
    {"explode", LightingMode::explode},
    {"launch", LightingMode::launch},
    {"ripples", LightingMode::ripples},
    {"flowing", LightingMode::flowing},
    {"pulsating", LightingMode::pulsating},
    {"tilt", LightingMode::tilt},
    {"shuttle", LightingMode::shuttle},
};

constexpr std::pair<const char*, HalvernEffect> kHalvernEffects[] = {
    {"off", HalvernEffect::off},
    {"staticColor", HalvernEffect::staticColor},
    {"breathing", HalvernEffect::breathing},
    {"wave", HalvernEffect::wave},
    {"spectrum", HalvernEffect::spectrum},
    {"rain", HalvernEffect::rain},
    {"colorShift", HalvernEffect::colorShift},
    {"ripple", HalvernEffect::ripple},
    {"starlight", HalvernEffect::starlight},
    {"snake", HalvernEffect::snake},
    {"marquee", HalvernEffect::marquee},
    {"aurora", HalvernEffect::aurora},
    {"reactive", HalvernEffect::reactive},
    {"firework", HalvernEffect::firework},
    {"gradient", HalvernEffect::gradient},
    {"rainbowWave", HalvernEffect::rainbowWave},
    {"prism", HalvernEffect::prism},
    {"cycle", HalvernEffect::cycle},
    {"tidal", HalvernEffect::tidal},
};

constexpr RGBColor kDefaultColor{0x00, 0xD2, 0xFF};

std::string inQuotes(std::string_view text) {
  return "„" + std::string(text) + "“";
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
  if (text.size() != 6) return std::nullopt;
  std::uint8_t parts[3];
  for (int i = 0; i < 3; ++i) {
    const char* first = text.data() + 2 * i;
    const auto [end, error] = std::from_chars(first, first + 2, parts[i], 16);
    if (error != std::errc() || end != first + 2) return std::nullopt;
  }
  return RGBColor{parts[0], parts[1], parts[2]};
}

template <typename Value, std::size_t N>
std::optional<Value> caseValue(const std::pair<const char*, Value> (&table)[N],
                               std::string_view text, int highest) {
  if (auto raw = decimal(text, static_cast<unsigned>(highest))) {
    return static_cast<Value>(static_cast<int>(*raw));
  }
  const std::string wanted = lowercased(text);
  for (const auto& [caseName, value] : table) {
    if (lowercased(caseName) == wanted) return value;
  }
  return std::nullopt;
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
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (!argument.starts_with("--")) {
      parsed.positional.push_back(argument);
      continue;
    }
    if (argument == "--help") {
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

std::uint8_t byteOption(Topic topic, const ParsedOptions& parsed, std::string_view name,
                        std::uint8_t fallback) {
  const std::string* text = parsed.value(name);
  if (!text) return fallback;
  // The device checks its own ranges and says so in its words; here only the byte must fit.
  const auto value = decimal(*text, 255);
  if (!value) {
    throw UsageError(topic, "Die Option " + inQuotes(name) + " erwartet eine Zahl von 0 bis 255, " +
                                "nicht " + inQuotes(*text) + ".");
  }
  return static_cast<std::uint8_t>(*value);
}

RGBColor colorValue(Topic topic, std::string_view text) {
  const auto value = color(text);
  if (!value) {
    throw UsageError(topic, "Die Farbe " + inQuotes(text) +
                                " ist ungültig; erwartet werden sechs Hex-Ziffern RRGGBB, etwa "
                                "00d2ff.");
  }
  return *value;
}

RGBColor colorOption(Topic topic, const ParsedOptions& parsed) {
  const std::string* text = parsed.value("--color");
  return text ? colorValue(topic, *text) : kDefaultColor;
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

// A key by table name (any letter case) or "#N" with N from 1 to 142.
std::optional<std::uint8_t> keyIndex(std::string_view text) {
  if (text.starts_with('#')) {
    const auto index = decimal(text.substr(1), ZEPAReports::highestKeyIndex);
    if (!index || *index == 0) return std::nullopt;
    return static_cast<std::uint8_t>(*index);
  }
  if (const ZEPAKey* key = ZEPAKeyMap::key(text)) return key->index;
  return std::nullopt;
}

std::uint8_t keyOrThrow(Topic topic, std::string_view text) {
  if (auto index = keyIndex(text)) return *index;
  if (text.starts_with('#')) {
    throw UsageError(topic, "Die Tastennummer " + inQuotes(text) +
                                " liegt nicht zwischen #1 und #" +
                                std::to_string(ZEPAReports::highestKeyIndex) + ".");
  }
  throw UsageError(topic, "Unbekannte Taste " + inQuotes(text) + ".");
}

// 2025-03-09T14:05:07 in the local time zone; a date or time that does not exist there is
// refused rather than silently moved.
std::chrono::system_clock::time_point localTime(Topic topic, std::string_view text) {
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
  return std::chrono::system_clock::from_time_t(seconds);
}

Command zepaLighting(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaLighting;
  static constexpr OptionRule rules[] = {{"--color", true},
                                         {"--brightness", true},
                                         {"--speed", true},
                                         {"--direction", true},
                                         {"--colorful", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  const std::string_view modeText = onlyPositional(topic, parsed, "Der Modus");
  const auto mode = caseValue(kLightingModes, modeText, 19);
  if (!mode) {
    throw UsageError(topic, "Unbekannter Modus " + inQuotes(modeText) +
                                "; erlaubt sind 0 bis 19 oder ein Modusname.");
  }
  return ZepaLightingRequest{LightingConfig{
      *mode, colorOption(topic, parsed), byteOption(topic, parsed, "--brightness", 5),
      byteOption(topic, parsed, "--speed", 3), byteOption(topic, parsed, "--direction", 0),
      parsed.has("--colorful")}};
}

Command zepaClock(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaClock;
  static constexpr OptionRule rules[] = {{"--at", true}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  noPositional(topic, parsed);
  ZepaClockRequest request;
  if (const std::string* at = parsed.value("--at")) request.at = localTime(topic, *at);
  return request;
}

Command zepaKeys(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaKeys;
  static constexpr OptionRule rules[] = {{"--brightness", true}};
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
  ZepaKeysRequest request{{}, byteOption(topic, parsed, "--brightness", 5)};
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
  const auto index = keyIndex(text);
  return index ? ZEPAKeyMap::key(*index) : nullptr;
}

KeyRemap remapPair(Topic topic, std::string_view pair) {
  // "=" is itself a key name, so every "=" is tried as the separator; exactly one split may
  // name two keys.
  std::optional<KeyRemap> found;
  std::size_t splits = 0;
  for (std::size_t at = pair.find('='); at != std::string_view::npos; at = pair.find('=', at + 1)) {
    ++splits;
    const auto source = keyIndex(pair.substr(0, at));
    const ZEPAKey* target = targetKey(pair.substr(at + 1));
    if (!source || !target) continue;
    if (found) throw UsageError(topic, "Das Paar " + inQuotes(pair) + " ist mehrdeutig.");
    found = remapTo(*source, *target);
  }
  if (found) return *found;
  if (splits == 0) throw UsageError(topic, inQuotes(pair) + " ist kein Paar QUELLE=ZIEL.");
  // Explain with the split at the last "=", which is right unless a name holds one.
  const std::size_t at = pair.rfind('=');
  keyOrThrow(topic, pair.substr(0, at));
  const std::string_view target = pair.substr(at + 1);
  keyOrThrow(topic, target);
  throw UsageError(topic, "Das Ziel " + inQuotes(target) + " ist keine Taste der Tastentabelle.");
}

Command zepaRemap(std::span<const std::string_view> arguments) {
  constexpr Topic topic = Topic::zepaRemap;
  static constexpr OptionRule rules[] = {{"--fn", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  ZepaRemapRequest request{{}, parsed.has("--fn")};
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
  static constexpr OptionRule rules[] = {
      {"--color", true}, {"--brightness", true}, {"--speed", true}, {"--colorful", false}};
  const ParsedOptions parsed = parseOptions(topic, arguments, rules);
  if (parsed.help) return HelpRequest{topic};
  const std::string_view effectText = onlyPositional(topic, parsed, "Der Effekt");
  const auto effect = caseValue(kHalvernEffects, effectText, 18);
  if (!effect) {
    throw UsageError(topic, "Unbekannter Effekt " + inQuotes(effectText) +
                                "; erlaubt sind 0 bis 18 oder ein Effektname.");
  }
  return HalvernLightingRequest{HalvernLightingConfig{
      *effect, colorOption(topic, parsed), byteOption(topic, parsed, "--brightness", 4),
      byteOption(topic, parsed, "--speed", 4), parsed.has("--colorful")}};
}

Command withoutArguments(Topic topic, std::span<const std::string_view> arguments,
                         Command command) {
  const ParsedOptions parsed = parseOptions(topic, arguments, {});
  if (parsed.help) return HelpRequest{topic};
  noPositional(topic, parsed);
  return command;
}

Command zepaCommand(std::span<const std::string_view> arguments) {
  if (arguments.empty()) throw UsageError(Topic::zepa, "Der Unterbefehl fehlt.");
  const std::string_view name = arguments.front();
  const auto rest = arguments.subspan(1);
  if (name == "--help") return HelpRequest{Topic::zepa};
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
  if (name == "--help") return HelpRequest{Topic::halvern};
  if (name == "model") {
    return withoutArguments(Topic::halvernQuery, rest, HalvernQueryRequest{HalvernQuery::model});
  }
  if (name == "config") {
    return withoutArguments(Topic::halvernQuery, rest, HalvernQueryRequest{HalvernQuery::config});
  }
  if (name == "verify") {
    return withoutArguments(Topic::halvernQuery, rest, HalvernQueryRequest{HalvernQuery::verify});
  }
  if (name == "lighting") return halvernLighting(rest);
  throw UsageError(Topic::halvern, "Unbekannter Unterbefehl " + inQuotes(name) + ".");
}

}  // namespace

const char* caseName(LightingMode mode) {
  return kLightingModes[rawValue(mode)].first;
}

const char* caseName(HalvernEffect effect) {
  return kHalvernEffects[rawValue(effect)].first;
}

Invocation parseArguments(std::span<const std::string_view> arguments) {
  Invocation invocation{std::nullopt, HelpRequest{Topic::general}};
  std::size_t next = 0;
  // Global options come before the command.
  while (next < arguments.size() && arguments[next].starts_with("--")) {
    const std::string_view option = arguments[next];
    if (option == "--help") return invocation;
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
    invocation.command = withoutArguments(Topic::list, rest, ListRequest{});
  } else if (name == "zepa") {
    invocation.command = zepaCommand(rest);
  } else if (name == "halvern") {
    invocation.command = halvernCommand(rest);
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
