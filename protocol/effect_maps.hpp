// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

// The user's names for firmware effect IDs and the semantic effect recorded for each ID, as
// stored: JSON objects keyed by the decimal ID.
namespace zepa {

using EffectNames = std::map<int, std::string>;
using EffectSemanticMap = std::map<int, int>;

std::string encodeEffectNames(const EffectNames& names);
std::optional<EffectNames> decodeEffectNames(std::string_view text);
std::string encodeEffectSemanticMap(const EffectSemanticMap& map);
std::optional<EffectSemanticMap> decodeEffectSemanticMap(std::string_view text);

}  // namespace zepa
