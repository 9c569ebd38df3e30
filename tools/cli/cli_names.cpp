// SPDX-License-Identifier: MIT
#include "tools/cli/cli_names.hpp"

#include <array>
#include <charconv>
#include <cstdio>
#include <span>

#include "protocol/hid/linux_keycodes.hpp"
#include "protocol/zepa_reports.hpp"

namespace zepa::cli {

namespace {

// Lower case; umlauts either spelled out ("ae") or dropped to their vowel ("a"); ß as "ss".
std::string folded(std::string_view text, bool spellOut) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> umlautSpellings{
      {{"ä", "a"}, {"ö", "o"}, {"ü", "u"}, {"ß", "ss"}}};
  std::string lower = lowercased(text);
  std::string out;
  for (std::size_t i = 0; i < lower.size();) {
    bool replaced = false;
    for (const auto& [umlaut, plain] : umlautSpellings) {
      if (std::string_view(lower).substr(i).starts_with(umlaut)) {
        out += plain;
        if (spellOut && plain.size() == 1) out += 'e';
        i += umlaut.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += lower[i++];
  }
  return out;
}

bool sameName(std::string_view given, std::string_view name) {
  return folded(given, true) == folded(name, true) || folded(given, false) == folded(name, false);
}

std::optional<unsigned> decimal(std::string_view text) {
  unsigned value = 0;
  if (text.empty() || text.size() > 9) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

template <typename Value, typename Names>
std::optional<Value> named(std::span<const Value> all, std::string_view text, Names names) {
  if (const auto raw = decimal(text)) {
    if (*raw < all.size()) return all[*raw];
    return std::nullopt;
  }
  for (const Value value : all) {
    const auto [cli, german] = names(value);
    if (lowercased(text) == lowercased(cli) || sameName(text, german)) return value;
  }
  return std::nullopt;
}

// Short forms people type for a few kernel names.
constexpr std::pair<std::string_view, std::string_view> abbreviations[] = {
    {"escape", "esc"}, {"pgup", "pageup"}, {"pgdn", "pagedown"},
    {"del", "delete"}, {"ins", "insert"},  {"return", "enter"},
};

std::optional<std::uint8_t> usageByLinuxName(std::string_view text) {
  std::string wanted = lowercased(text);
  if (wanted.starts_with("key_")) wanted.erase(0, 4);
  for (const auto& [shortForm, full] : abbreviations) {
    if (wanted == shortForm) wanted = full;
  }
  for (const hid::KeycodeEntry& entry : hid::keyboardKeycodes()) {
    if (linuxKeyName(entry.usage) && lowercased(std::string_view(entry.name).substr(4)) == wanted) {
      return entry.usage;
    }
  }
  return std::nullopt;
}

bool continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence at the start of `text`, 0 when it is not one.
std::size_t sequenceLength(std::string_view text) {
  const auto first = static_cast<unsigned char>(text[0]);
  std::size_t length = first < 0x80                     ? 1
                       : first >= 0xC2 && first <= 0xDF ? 2
                       : first >= 0xE0 && first <= 0xEF ? 3
                       : first >= 0xF0 && first <= 0xF4 ? 4
                                                        : 0;
  if (length == 0 || length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if (!continuation(static_cast<unsigned char>(text[i]))) return 0;
  }
  const auto second = static_cast<unsigned char>(length > 1 ? text[1] : 0);
  // Overlong forms, surrogates and values past U+10FFFF.
  if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second > 0x9F) ||
      (first == 0xF0 && second < 0x90) || (first == 0xF4 && second > 0x8F)) {
    return 0;
  }
  // C1 controls (U+0080 to U+009F) are shown escaped as well.
  if (first == 0xC2 && second < 0xA0) return 0;
  return length;
}

}  // namespace

std::optional<LightingMode> lightingModeNamed(std::string_view text) {
  return named(allLightingModes(), text, [](LightingMode mode) {
    return std::pair<std::string_view, std::string_view>{cliName(mode), name(mode)};
  });
}

std::optional<HalvernEffect> halvernEffectNamed(std::string_view text) {
  return named(allHalvernEffects(), text, [](HalvernEffect effect) {
    return std::pair<std::string_view, std::string_view>{cliName(effect), name(effect)};
  });
}

std::optional<std::string_view> linuxKeyName(std::uint8_t usage) {
  for (const hid::KeycodeEntry& entry : hid::keyboardKeycodes()) {
    // KEY_UNKNOWN marks a usage the kernel reports without a key of its own.
    if (entry.usage == usage && std::string_view(entry.name) != "KEY_UNKNOWN") return entry.name;
  }
  return std::nullopt;
}

std::optional<std::uint8_t> zepaKeyNamed(std::string_view text) {
  if (text.starts_with('#')) {
    const auto index = decimal(text.substr(1));
    if (!index || *index == 0 || *index > ZEPAReports::highestKeyIndex) return std::nullopt;
    return static_cast<std::uint8_t>(*index);
  }
  if (const ZEPAKey* key = ZEPAKeyMap::key(text)) return key->index;
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
    if (sameName(text, key.name)) return key.index;  // "Menue", "menu"
  }
  if (const auto usage = usageByLinuxName(text)) {
    for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
      if (key.hid == *usage) return key.index;
    }
  }
  return std::nullopt;
}

std::optional<std::uint8_t> halvernUsageNamed(std::string_view text) {
  if (text.starts_with('#')) return std::nullopt;
  // The kernel has no code for the ZEPA's Fn key; its key map cannot hold it.
  if (const ZEPAKey* key = ZEPAKeyMap::key(text); key && linuxKeyName(key->hid)) return key->hid;
  return usageByLinuxName(text);
}

std::string printable(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t length = sequenceLength(text);
    const auto first = static_cast<unsigned char>(text[0]);
    if (length == 0 || (length == 1 && (first < 0x20 || first == 0x7F))) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", first);
      out += escape;
      text.remove_prefix(1);
      continue;
    }
    out += text.substr(0, length);
    text.remove_prefix(length);
  }
  return out;
}

}  // namespace zepa::cli
