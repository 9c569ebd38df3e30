// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// Strict field reading shared by the record decoders: a field is there with exactly the JSON
// type asked for, or the whole document is rejected.
namespace zepa::json_fields {

inline const nlohmann::json* member(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

// A JSON number with an integral value within [low, high]. The stores' original writer reads
// 5.0 and 5e0 as 5, so those decode; 5.5, strings and booleans do not.
inline std::optional<std::int64_t> integerIn(const nlohmann::json& value, std::int64_t low,
                                             std::int64_t high) {
  if (value.is_number_float()) {
    const double number = value.get<double>();
    // Compared as doubles, then converted only when certainly in range: 2^63 itself would
    // pass a comparison with INT64_MAX but not fit.
    if (!std::isfinite(number) || std::trunc(number) != number) return std::nullopt;
    if (number < -9223372036854775808.0 || number >= 9223372036854775808.0) return std::nullopt;
    const auto integral = static_cast<std::int64_t>(number);
    if (integral < low || integral > high) return std::nullopt;
    return integral;
  }
  if (value.is_number_unsigned()) {
    auto number = value.get<std::uint64_t>();
    if (high < 0 || number > static_cast<std::uint64_t>(high)) return std::nullopt;
    auto signedNumber = static_cast<std::int64_t>(number);
    if (signedNumber < low) return std::nullopt;
    return signedNumber;
  }
  if (value.is_number_integer()) {
    auto number = value.get<std::int64_t>();
    if (number < low || number > high) return std::nullopt;
    return number;
  }
  return std::nullopt;
}

inline std::optional<std::int64_t> integerField(const nlohmann::json& object, const char* key,
                                                std::int64_t low, std::int64_t high) {
  const nlohmann::json* value = member(object, key);
  return value ? integerIn(*value, low, high) : std::nullopt;
}

inline std::optional<std::uint8_t> byteField(const nlohmann::json& object, const char* key) {
  auto value = integerField(object, key, 0, 255);
  if (!value) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

inline std::optional<bool> boolField(const nlohmann::json& object, const char* key) {
  const nlohmann::json* value = member(object, key);
  if (!value || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

inline std::optional<std::string> stringField(const nlohmann::json& object, const char* key) {
  const nlohmann::json* value = member(object, key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

// Stored documents are a few kilobytes; anything near this size is not one of ours.
inline constexpr std::size_t maxDocumentSize = 1024 * 1024;
// Our documents nest four deep; deeper text is rejected before the parser builds it.
inline constexpr int maxNesting = 64;

// True when the nesting of arrays and objects, outside strings, stays within maxNesting.
inline bool nestingWithinLimit(std::string_view text) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > maxNesting) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

// Parses without throwing; malformed text gives a discarded value. The parser takes a NUL
// byte for the end of the input, so text with one is malformed here rather than cut short.
inline nlohmann::json parse(std::string_view text) {
  if (text.size() > maxDocumentSize || text.find('\0') != std::string_view::npos ||
      !nestingWithinLimit(text)) {
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
  try {
    return nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  } catch (const nlohmann::json::exception&) {
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
}

// Compact UTF-8. Text that is not valid UTF-8 cannot go into JSON as it is; its broken bytes
// become U+FFFD rather than making the encoder throw.
inline std::string dump(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zepa::json_fields
