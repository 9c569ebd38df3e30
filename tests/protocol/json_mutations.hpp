#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Damaged copies of a valid document, for checking that strict decoders reject each one.
namespace zepa::testing {

struct Mutation {
  std::string description;
  nlohmann::json document;
};

namespace detail {

inline void collectPaths(const nlohmann::json& value, const nlohmann::json::json_pointer& path,
                         std::vector<nlohmann::json::json_pointer>& out) {
  if (!path.empty()) out.push_back(path);
  if (value.is_object()) {
    for (const auto& [key, child] : value.items()) collectPaths(child, path / key, out);
  } else if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) collectPaths(value[i], path / i, out);
  }
}

inline std::vector<nlohmann::json::json_pointer> allPaths(const nlohmann::json& document) {
  std::vector<nlohmann::json::json_pointer> paths;
  collectPaths(document, nlohmann::json::json_pointer(), paths);
  return paths;
}

// Values of the wrong JSON type, or out of every 8-bit range, for a value of this kind.
inline std::vector<nlohmann::json> wrongValuesFor(const nlohmann::json& original) {
  using nlohmann::json;
  if (original.is_number_integer()) {
    return {json(1.5),     json(1.0),      json(true), json("1"), json(nullptr),
            json::array(), json::object(), json(-1),   json(256)};
  }
  if (original.is_boolean()) return {json(1), json(0), json("true"), json(nullptr)};
  if (original.is_string()) return {json(5), json(nullptr), json(true), json::array()};
  if (original.is_object()) return {json::array(), json(nullptr), json("x"), json(1)};
  if (original.is_array()) return {json::object(), json(nullptr), json("x"), json::array({1})};
  return {};
}

}  // namespace detail

// One copy per object member anywhere in the document, with that member removed.
inline std::vector<Mutation> withEachKeyRemoved(const nlohmann::json& base) {
  std::vector<Mutation> mutations;
  for (const auto& path : detail::allPaths(base)) {
    const nlohmann::json& parent = base.at(path.parent_pointer());
    if (!parent.is_object()) continue;
    nlohmann::json copy = base;
    copy.at(path.parent_pointer()).erase(path.back());
    mutations.push_back({"without " + path.to_string(), std::move(copy)});
  }
  return mutations;
}

// One copy per value anywhere in the document and per wrong value for it.
inline std::vector<Mutation> withEachWrongValue(const nlohmann::json& base) {
  std::vector<Mutation> mutations;
  for (const auto& path : detail::allPaths(base)) {
    for (const nlohmann::json& wrong : detail::wrongValuesFor(base.at(path))) {
      nlohmann::json copy = base;
      copy.at(path) = wrong;
      mutations.push_back({path.to_string() + " = " + wrong.dump(), std::move(copy)});
    }
  }
  return mutations;
}

}  // namespace zepa::testing
