// SPDX-License-Identifier: MIT
#include "tools/cli/device_commands.hpp"

#include <exception>
#include <new>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "protocol/halvern_device.hpp"
#include "protocol/hid/linux_keycodes.hpp"
#include "protocol/zepa_device.hpp"
#include "protocol/zepa_key_map.hpp"
#include "tools/cli/cli_names.hpp"
#include "tools/cli/node_survey.hpp"
#include "tools/cli/transfer_progress.hpp"

namespace zepa::cli {

namespace {

using nlohmann::json;

constexpr int failureStatus = 1;

// Runs `work`, writing its failure to `err`; the exit status.
int guarded(DeviceContext& context, const std::function<void()>& work) {
  if (auto failure = failureText(work)) {
    context.err << *failure << '\n';
    return failureStatus;
  }
  return 0;
}

// A long transfer with a progress line on a terminal; without one it is just `work`.
template <typename Work>
void withProgress(DeviceContext& context, const char* label, int pauses, Work&& work) {
  if (!context.showProgress) {
    work(context.sleeper);
    return;
  }
  TransferProgress progress(context.err, label, pauses);
  try {
    work(progress.wrap(context.sleeper));
  } catch (...) {
    progress.finish(false);
    throw;
  }
  progress.finish(true);
}

json nullable(const std::optional<std::string_view>& text) {
  return text ? json(std::string(*text)) : json(nullptr);
}

json nodeJson(const SurveyedNode& node) {
  return json{{"path", node.path},
              {"kind", node.event ? "event" : "hidraw"},
              {"interface", node.usbInterface ? json(*node.usbInterface) : json(nullptr)},
              {"usagePage", node.usagePage ? json(*node.usagePage) : json(nullptr)},
              {"usage", node.usage ? json(*node.usage) : json(nullptr)},
              {"canOpen", node.canOpen},
              {"problem", node.canOpen ? json(nullptr) : json(node.problem)}};
}

// The nodes a keyboard's operations open: its configuration interface, and the Halvern's
// input node for the key map.
bool needed(const SurveyedNode& node) {
  return node.configuration() || node.event;
}

}  // namespace

std::string document(const nlohmann::json& value, int indent) {
  // A path from the environment need not be UTF-8; it must not end the program.
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

int run(DeviceContext& context, const ListRequest& request) {
  const NodeSurvey survey = surveyNodes(context.deviceRoot);
  const bool present[] = {ZEPADevice::isConnected(context.backend),
                          HalvernDevice::isConnected(context.backend)};
  json keyboards = json::array();
  std::ostringstream lines, problems;
  for (std::size_t i = 0; i < std::size(knownKeyboards); ++i) {
    if (!present[i]) continue;
    const KnownKeyboard& keyboard = knownKeyboards[i];
    json nodes = json::array();
    std::optional<std::string> problem;
    for (const SurveyedNode& node : survey.nodes) {
      if (node.keyboard != &keyboard) continue;
      nodes.push_back(nodeJson(node));
      if (needed(node) && !node.canOpen && !problem) {
        problem = node.path + " kann nicht geöffnet werden: " + node.problem;
      }
    }
    keyboards.push_back(json{{"keyboard", keyboard.id},
                             {"name", keyboard.name},
                             {"canOpen", !problem},
                             {"problem", problem ? json(*problem) : json(nullptr)},
                             {"nodes", nodes}});
    lines << keyboard.id << ' ' << keyboard.name << '\n';
    if (problem) problems << keyboard.name << ": " << *problem << '\n';
  }
  if (request.json) {
    context.out << document(json{{"keyboards", keyboards}}, 2) << '\n';
  } else {
    context.out << lines.str();
    context.err << problems.str();
  }
  return 0;
}

int run(DeviceContext& context, const KeysRequest& request) {
  json zepa = json::array(), halvern = json::array();
  std::ostringstream text;
  text << "ZEPA VX10 (TASTE: Name, #Nummer oder Linux-Name)\n";
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
    const auto kernelName = linuxKeyName(key.hid);
    zepa.push_back(json{{"index", key.index},
                        {"usage", key.hid},
                        {"name", key.name},
                        {"linux", nullable(kernelName)}});
    char line[160];
    std::snprintf(line, sizeof line, "  #%-4d 0x%02x  %-12s %s\n", key.index, key.hid,
                  key.name.c_str(), kernelName ? std::string(*kernelName).c_str() : "–");
    text << line;
  }
  text << "\nHalvern Corvane Pro 108 (QUELLE/ZIEL: Linux-Name oder Name der Tastentabelle)\n";
  for (const hid::KeycodeEntry& entry : hid::keyboardKeycodes()) {
    if (!linuxKeyName(entry.usage)) continue;
    const ZEPAKey* named = nullptr;
    for (const ZEPAKey& key : ZEPAKeyMap::keys()) {
      if (key.hid == entry.usage) named = &key;
    }
    halvern.push_back(json{{"usage", entry.usage},
                           {"keycode", entry.keycode},
                           {"linux", entry.name},
                           {"name", named ? json(named->name) : json(nullptr)}});
    char line[160];
    std::snprintf(line, sizeof line, "  0x%02x  %-20s %s\n", entry.usage, entry.name,
                  named ? named->name.c_str() : "");
    text << line;
  }
  if (request.json) {
    context.out << document(json{{"zepa", zepa}, {"halvern", halvern}}, 2) << '\n';
  } else {
    context.out << text.str();
  }
  return 0;
}

int run(DeviceContext& context, const ZEPALightingRequest& request) {
  return guarded(context, [&] {
    ZEPADevice(context.backend, context.sleeper, context.calendar).setLighting(request.config);
  });
}

int run(DeviceContext& context, const ZEPAClockRequest& request) {
  return guarded(context, [&] {
    // A given date goes to the keyboard as given; no time point is made from it.
    Calendar calendar = context.calendar;
    if (request.at) calendar = [parts = *request.at](auto) { return parts; };
    ZEPADevice device(context.backend, context.sleeper, std::move(calendar));
    device.syncClock(std::chrono::system_clock::now(), 1);
  });
}

int run(DeviceContext& context, const ZEPAKeysRequest& request) {
  return guarded(context, [&] {
    withProgress(context, "Einzeltastenfarben werden übertragen", perKeyPauses,
                 [&](Sleeper sleeper) {
                   ZEPADevice(context.backend, std::move(sleeper), context.calendar)
                       .setPerKeyRGB(request.colors, request.brightness);
                 });
  });
}

int run(DeviceContext& context, const ZEPARemapRequest& request) {
  return guarded(context, [&] {
    withProgress(context, "Tastenbelegung wird übertragen", remapPauses, [&](Sleeper sleeper) {
      ZEPADevice(context.backend, std::move(sleeper), context.calendar)
          .setRemaps(request.remaps, request.fnLayer);
    });
  });
}

// A verification that finds a difference fails, so scripts can test for it.
int run(DeviceContext& context, const HalvernQueryRequest& request) {
  std::string answer;
  bool unchanged = true;
  const int status = guarded(context, [&] {
    HalvernDevice device(context.backend, context.sleeper);
    switch (request.query) {
      case HalvernQuery::model:
        answer = hexBytes(device.queryModel().response);
        break;
      case HalvernQuery::config:
        answer = hexBytes(device.readConfig().response);
        break;
      case HalvernQuery::verify:
        unchanged = device.verifyUnchangedConfigWrite();
        break;
    }
  });
  if (status != 0) return status;
  static constexpr const char* names[] = {"model", "config", "verify"};
  const char* name = names[static_cast<int>(request.query)];
  if (request.json) {
    json result{{"query", name}};
    if (request.query == HalvernQuery::verify) {
      result["unchanged"] = unchanged;
    } else {
      result["response"] = answer;
    }
    context.out << document(result, -1) << '\n';
  } else if (request.query == HalvernQuery::model) {
    context.out << "MODEL " << answer << '\n';
  } else if (request.query == HalvernQuery::config) {
    context.out << "CONFIG " << answer << '\n';
  } else {
    context.out << (unchanged ? "OK\n" : "MISMATCH\n");
  }
  if (unchanged) return 0;
  context.err << "Der zurückgelesene Konfigurationsblock weicht vom geschriebenen ab.\n";
  return failureStatus;
}

int run(DeviceContext& context, const HalvernLightingRequest& request) {
  return guarded(context, [&] {
    HalvernDevice(context.backend, context.sleeper).setLighting(request.config);
  });
}

}  // namespace zepa::cli
