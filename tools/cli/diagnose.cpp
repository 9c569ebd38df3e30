// SPDX-License-Identifier: MIT
#include "tools/cli/diagnose.hpp"

#include <sys/utsname.h>

#include <cstdio>

#include <nlohmann/json.hpp>

#include "protocol/version.hpp"
#include "protocol/zepa_error.hpp"
#include "tools/cli/node_survey.hpp"

namespace zepa::cli {

namespace {

using nlohmann::json;

std::string kernelRelease() {
  utsname name{};
  if (uname(&name) != 0) return "unbekannt";
  return name.release;
}

std::string hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

template <typename Value>
json optional(const std::optional<Value>& value) {
  return value ? json(*value) : json(nullptr);
}

}  // namespace

int runDiagnose(DeviceContext& context, const DiagnoseRequest& request,
                const std::vector<StoreState>& stores) {
  const NodeSurvey survey = surveyNodes(context.deviceRoot);
  const std::string kernel = kernelRelease();
  if (request.json) {
    json nodes = json::array();
    for (const SurveyedNode& node : survey.nodes) {
      nodes.push_back(json{{"keyboard", node.keyboard->id},
                           {"path", node.path},
                           {"kind", node.event ? "event" : "hidraw"},
                           {"interface", optional(node.usbInterface)},
                           {"usagePage", optional(node.usagePage)},
                           {"usage", optional(node.usage)},
                           {"featureReportSize", node.featureReportSize},
                           {"descriptor", hexBytes(node.descriptor)},
                           {"canOpen", node.canOpen},
                           {"problem", node.canOpen ? json(nullptr) : json(node.problem)}});
    }
    json storeList = json::array();
    for (const StoreState& store : stores) {
      storeList.push_back(
          json{{"store", store.what}, {"path", store.path}, {"state", store.state}});
    }
    context.out << document(json{{"version", std::string(projectVersion)},
                                 {"kernel", kernel},
                                 {"udevRules", survey.rulesFound},
                                 {"nodes", nodes},
                                 {"stores", storeList}},
                            2)
                << '\n';
    return 0;
  }
  auto& out = context.out;
  out << "zepactl " << projectVersion << "\nKernel: " << kernel << "\nudev-Regel: ";
  if (survey.rulesFound.empty()) {
    out << "70-zepa-control.rules ist nicht installiert\n";
  } else {
    for (const std::string& rule : survey.rulesFound) out << rule << ' ';
    out << '\n';
  }
  if (survey.nodes.empty()) out << "\nKeine Knoten der beiden Keyboards gefunden.\n";
  for (const SurveyedNode& node : survey.nodes) {
    out << '\n' << node.keyboard->name << ": " << node.path << '\n';
    out << "  USB-Interface: "
        << (node.usbInterface ? std::to_string(*node.usbInterface) : std::string("unbekannt"))
        << '\n';
    out << "  Primäre Usage: "
        << (node.usagePage && node.usage ? hex(*node.usagePage, 4) + " / " + hex(*node.usage, 2)
                                         : std::string("unbekannt"))
        << '\n';
    out << "  Feature-Report: " << node.featureReportSize << " Bytes\n";
    out << "  Report-Deskriptor: " << hexBytes(node.descriptor) << '\n';
    out << "  Öffnen: " << (node.canOpen ? "möglich" : "nicht möglich, " + node.problem) << '\n';
  }
  out << '\n';
  for (const StoreState& store : stores) {
    out << store.what << ": " << store.path << " (" << store.state << ")\n";
  }
  return 0;
}

}  // namespace zepa::cli
