// SPDX-License-Identifier: MIT
#include "protocol/effect_maps.hpp"

#include <charconv>
#include <limits>

#include <nlohmann/json.hpp>

#include "protocol/json_fields.hpp"

namespace zepa {

using nlohmann::json;

namespace {

// Member names are IDs converted as the stores' original writer converts them: a plain
// decimal integer with an optional sign and any leading zeros ("07" and "+7" are 7), nothing
// else (" 7", "7x", "0x7"). The range is not checked beyond int: stored IDs and modes are not
// validated on load, and look-ups treat an unknown mode as absent.
std::optional<int> idFromMemberName(const std::string& text) {
  std::size_t digitsStart = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (digitsStart == text.size()) return std::nullopt;
  for (std::size_t i = digitsStart; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  // from_chars takes no '+'; a '-' it reads itself, so overflow is checked in both directions.
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  int id = 0;
  auto [end, error] = std::from_chars(first, text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return id;
}

template <typename Value, typename DecodeValue>
std::optional<std::map<int, Value>> decodeMap(std::string_view text, DecodeValue decodeValue) {
  json document = json_fields::parse(text);
  if (!document.is_object()) return std::nullopt;
  std::map<int, Value> map;
  for (const auto& [memberName, memberValue] : document.items()) {
    auto id = idFromMemberName(memberName);
    auto value = decodeValue(memberValue);
    if (!id || !value) return std::nullopt;
    // "7" and "07" name one ID; which of the two was meant cannot be known, so the document
    // is not read rather than one of them dropped.
    if (!map.emplace(*id, std::move(*value)).second) return std::nullopt;
  }
  return map;
}

}  // namespace

std::string encodeEffectNames(const EffectNames& names) {
  json object = json::object();
  for (const auto& [id, name] : names) object[std::to_string(id)] = name;
  return json_fields::dump(object);
}

std::optional<EffectNames> decodeEffectNames(std::string_view text) {
  return decodeMap<std::string>(text, [](const json& value) -> std::optional<std::string> {
    if (!value.is_string()) return std::nullopt;
    return value.get<std::string>();
  });
}

std::string encodeEffectSemanticMap(const EffectSemanticMap& map) {
  json object = json::object();
  for (const auto& [id, mode] : map) object[std::to_string(id)] = mode;
  return json_fields::dump(object);
}

std::optional<EffectSemanticMap> decodeEffectSemanticMap(std::string_view text) {
  return decodeMap<int>(text, [](const json& value) -> std::optional<int> {
    auto number = json_fields::integerIn(value, std::numeric_limits<int>::min(),
                                         std::numeric_limits<int>::max());
    if (!number) return std::nullopt;
    return static_cast<int>(*number);
  });
}

}  // namespace zepa
