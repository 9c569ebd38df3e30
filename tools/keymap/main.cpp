// SPDX-License-Identifier: MIT
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/version.hpp"
#include "tools/keymap/event_nodes.hpp"
#include "tools/keymap/key_map_writer.hpp"
#include "tools/keymap/key_mapping_request.hpp"
#include "tools/keymap/keycode_table.hpp"

namespace {

using namespace zepa::keymap;

void run(const std::vector<std::string_view>& args) {
  const KeyMappingRequest request = parseArguments(args);
  const auto nodes = findEventNodes(request.deviceRoot, request.match);
  if (nodes.empty()) {
    char ids[160];
    std::snprintf(
        ids, sizeof ids,
        "(Hersteller 0x%04llx, Produkt 0x%04llx, Nutzungsseite 0x%02llx, Nutzung 0x%02llx)",
        static_cast<unsigned long long>(request.match.vendorID),
        static_cast<unsigned long long>(request.match.productID),
        static_cast<unsigned long long>(request.match.primaryUsagePage),
        static_cast<unsigned long long>(request.match.primaryUsage));
    throw KeymapError(std::string("Keine passende Tastatur gefunden ") + ids +
                      ". Bitte die Tastatur anschließen und es erneut versuchen.");
  }
  // Open every node before the first write, so a refused one leaves all maps as they are.
  std::vector<std::unique_ptr<KeycodeTable>> tables;
  std::vector<KeymapTarget> targets;
  for (const auto& node : nodes) {
    tables.push_back(openEventNode(node.devicePath, request.match));
    targets.push_back({node.devicePath, tables.back().get()});
  }
  applyKeyMap(targets, request.pairs);
}

// German, in the layout the man page is generated from.
constexpr const char* helpText =
    "Aufruf: zepa-keymap [--device-root VERZEICHNIS] property --matching GERÄT --set "
    "ZUORDNUNG\n"
    "\n"
    "Setzt die Tastenbelegung, die der Linux-Kernel für die Halvern Corvane Pro 108\n"
    "führt: erst jede Taste zurück auf die Kernel-Vorgabe, dann jedes Paar der ZUORDNUNG.\n"
    "Der Kernel vergisst die Belegung, wenn die Tastatur getrennt wird.\n"
    "\n"
    "Argumente:\n"
    "  GERÄT                      JSON mit VendorID, ProductID, PrimaryUsagePage und\n"
    "                             PrimaryUsage der Tastatur\n"
    "  ZUORDNUNG                  JSON {\"UserKeyMapping\":[…]} mit Paaren aus\n"
    "                             HIDKeyboardModifierMappingSrc und\n"
    "                             HIDKeyboardModifierMappingDst\n"
    "\n"
    "Optionen:\n"
    "  --device-root VERZEICHNIS  sysfs unter VERZEICHNIS/sys und Geräteknoten unter\n"
    "                             VERZEICHNIS/dev statt /sys und /dev verwenden\n"
    "  --help                     diese Hilfe ausgeben\n"
    "  --version                  die Version ausgeben\n"
    "\n"
    "Exit-Status: 0 Erfolg, 1 Fehler (eine Zeile auf der Standardfehlerausgabe).\n";

// The caller shows standard error as one message, so it must stay a single line.
void reportFailure(std::string line) {
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::fputs(helpText, stdout);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("zepa-keymap %s\n", std::string(zepa::projectVersion).c_str());
    return 0;
  }
  try {
    run(args);
    return 0;
  } catch (const KeymapError& e) {
    reportFailure(e.what());
  } catch (const std::exception&) {
    reportFailure(
        "zepa-keymap konnte die Tastenbelegung wegen eines internen Fehlers nicht "
        "anwenden.");
  }
  return 1;
}
