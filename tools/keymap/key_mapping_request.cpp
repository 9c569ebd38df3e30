// SPDX-License-Identifier: MIT
#include "tools/keymap/key_mapping_request.hpp"

#include <array>
#include <cstdio>
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

#include "protocol/hid/linux_keycodes.hpp"

namespace zepa::keymap {

namespace {

using nlohmann::json;

constexpr const char* matchName = "Die Geräteauswahl (--matching)";
constexpr const char* propertyName = "Die Tastenbelegung (--set)";
constexpr const char* mappingKey = "UserKeyMapping";
constexpr const char* sourceKey = "HIDKeyboardModifierMappingSrc";
constexpr const char* targetKey = "HIDKeyboardModifierMappingDst";

std::string keyName(std::string_view text) {
  return "„" + quotedForMessage(text) + "“";
}

json parseDocument(std::string_view text, const char* what) {
  try {
    return json::parse(text);
  } catch (const json::parse_error& e) {
    throw KeymapError(std::string(what) + " ist kein gültiges JSON (Fehler bei Zeichen " +
                      std::to_string(e.byte) + ").");
  } catch (const json::out_of_range&) {
    // A number such as 1E777 that no double holds.
    throw KeymapError(std::string(what) + " enthält eine Zahl, die zu groß ist.");
  }
}

// The keyboard usage of a Src/Dst value, or an error naming the entry.
std::uint8_t keyboardUsage(const json& entry, const char* key, std::size_t number) {
  const json& value = entry.at(key);
  const std::string prefix = "Eintrag " + std::to_string(number) + " der Tastenbelegung: ";
  // Floats, strings and booleans are not usages, even when they look like one.
  if (!value.is_number_integer()) {
    throw KeymapError(prefix + keyName(key) + " muss eine ganze Zahl sein.");
  }
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() < keyboardPageBase ||
      value.get<std::uint64_t>() > keyboardPageBase + 0xFF) {
    throw KeymapError(prefix + value.dump() + " in " + keyName(key) +
                      " ist keine Taste der Tastaturseite (0x700000000 bis 0x7000000ff).");
  }
  return static_cast<std::uint8_t>(value.get<std::uint64_t>() - keyboardPageBase);
}

}  // namespace

std::string usageText(std::uint8_t usage) {
  std::array<char, 8> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "0x%02x", usage);
  return buffer.data();
}

std::string quotedForMessage(std::string_view text) {
  constexpr std::size_t limit = 60;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // Cut on a character boundary so the line stays valid UTF-8.
    if (out.size() >= limit && (c & 0xC0) != 0x80) {
      out += "…";
      break;
    }
    out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
  }
  return out;
}

DeviceMatch parseDeviceMatch(std::string_view text) {
  const json document = parseDocument(text, matchName);
  if (!document.is_object()) {
    throw KeymapError(std::string(matchName) + " muss ein JSON-Objekt sein.");
  }
  struct Field {
    const char* key;
    std::int64_t DeviceMatch::*member;
  };
  static constexpr Field fields[] = {
      {"VendorID", &DeviceMatch::vendorID},
      {"ProductID", &DeviceMatch::productID},
      {"PrimaryUsagePage", &DeviceMatch::primaryUsagePage},
      {"PrimaryUsage", &DeviceMatch::primaryUsage},
  };
  for (const auto& [key, value] : document.items()) {
    bool known = false;
    for (const auto& field : fields) known = known || key == field.key;
    if (!known) {
      throw KeymapError(std::string(matchName) + " enthält den unbekannten Schlüssel " +
                        keyName(key) + ".");
    }
  }
  DeviceMatch match;
  for (const auto& field : fields) {
    if (!document.contains(field.key)) {
      throw KeymapError(std::string(matchName) + " braucht den Schlüssel " + keyName(field.key) +
                        ".");
    }
    const json& value = document.at(field.key);
    if (!value.is_number_integer()) {
      throw KeymapError(std::string(matchName) + ": " + keyName(field.key) +
                        " muss eine ganze Zahl sein.");
    }
    // IDs and usages are unsigned and at most 32 bits wide; anything else cannot match.
    if (!value.is_number_unsigned() ||
        value.get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()) {
      throw KeymapError(std::string(matchName) + ": " + keyName(field.key) +
                        " liegt außerhalb von 0 bis 4294967295.");
    }
    match.*field.member = value.get<std::int64_t>();
  }
  return match;
}

std::vector<KeyPair> parseUserKeyMapping(std::string_view text) {
  const json document = parseDocument(text, propertyName);
  if (!document.is_object() || !document.contains(mappingKey) ||
      !document.at(mappingKey).is_array()) {
    throw KeymapError(std::string(propertyName) + " braucht eine Liste " + keyName(mappingKey) +
                      ".");
  }
  // Any other property would be silently ignored, which the caller would take for success.
  for (const auto& [key, value] : document.items()) {
    if (key != mappingKey) {
      throw KeymapError(std::string(propertyName) + " enthält den nicht unterstützten Schlüssel " +
                        keyName(key) + ".");
    }
  }
  std::vector<KeyPair> pairs;
  std::size_t number = 0;
  for (const json& entry : document.at(mappingKey)) {
    ++number;
    const std::string prefix = "Eintrag " + std::to_string(number) + " der Tastenbelegung";
    if (!entry.is_object() || !entry.contains(sourceKey) || !entry.contains(targetKey)) {
      throw KeymapError(prefix + " braucht " + keyName(sourceKey) + " und " + keyName(targetKey) +
                        ".");
    }
    for (const auto& [key, value] : entry.items()) {
      if (key != sourceKey && key != targetKey) {
        throw KeymapError(prefix + " enthält den unbekannten Schlüssel " + keyName(key) + ".");
      }
    }
    KeyPair pair;
    pair.sourceUsage = keyboardUsage(entry, sourceKey, number);
    pair.targetUsage = keyboardUsage(entry, targetKey, number);
    for (const auto usage : {pair.sourceUsage, pair.targetUsage}) {
      if (!hid::linuxKeycode(usage)) {
        throw KeymapError(prefix + ": Linux kennt für die HID-Taste " + usageText(usage) +
                          " keinen Tastencode.");
      }
    }
    pair.keycode = *hid::linuxKeycode(pair.targetUsage);
    pairs.push_back(pair);
  }
  return pairs;
}

KeyMappingRequest parseArguments(std::span<const std::string_view> args) {
  const KeymapError usageError(
      "Ungültiger Aufruf. Erwartet: zepa-keymap [--device-root VERZEICHNIS] property "
      "--matching JSON --set JSON");
  KeyMappingRequest request;
  std::size_t i = 0;
  if (args.size() >= 2 && args[0] == "--device-root") {
    if (args[1].empty()) throw usageError;
    request.deviceRoot = std::filesystem::path(args[1]);
    i = 2;
  }
  if (i >= args.size() || args[i] != "property") throw usageError;
  ++i;
  std::optional<std::string_view> matching, property;
  while (i < args.size()) {
    auto& slot = args[i] == "--matching" ? matching : property;
    if ((args[i] != "--matching" && args[i] != "--set") || slot || i + 1 >= args.size()) {
      throw usageError;
    }
    slot = args[i + 1];
    i += 2;
  }
  if (!matching || !property) throw usageError;
  request.match = parseDeviceMatch(*matching);
  request.pairs = parseUserKeyMapping(*property);
  return request;
}

}  // namespace zepa::keymap
