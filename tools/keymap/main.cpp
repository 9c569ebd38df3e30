#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

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

// The caller shows standard error as one message, so it must stay a single line.
void reportFailure(std::string line) {
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  try {
    run(std::vector<std::string_view>(argv + 1, argv + argc));
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
