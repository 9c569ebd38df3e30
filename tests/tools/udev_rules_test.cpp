// The device access rule: its syntax, and which nodes it really hands to the seat, checked by
// running the rules over device chains the way udev walks them.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

namespace {

const std::string kRulesPath = std::string(ZEPA_SOURCE_DIR) + "/resources/70-zepa-control.rules";

struct Assignment {
  std::string key, attribute, op, value;  // ATTRS{idVendor}=="0c45"
};
struct Rule {
  int line = 0;
  std::vector<Assignment> assignments;
};

// The rules, or a failure naming the first piece that is not KEY{attr}OP"value".
const std::vector<Rule>& rules() {
  static const std::vector<Rule> parsed = [] {
    static const std::regex pair(R"re(^([A-Z_]+)(\{(\w+)\})?(==|!=|\+=|-=|:=|=)"([^"]*)"$)re");
    std::vector<Rule> out;
    std::ifstream in(kRulesPath);
    EXPECT_TRUE(in.good()) << kRulesPath;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
      if (text.empty() || text[0] == '#') continue;
      out.push_back({number, {}});
      for (std::size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 2) {
        comma = text.find(", ", start);
        const auto piece = text.substr(start, comma == std::string::npos ? comma : comma - start);
        std::smatch m;
        EXPECT_TRUE(std::regex_match(piece, m, pair)) << "line " << number << ": " << piece;
        out.back().assignments.push_back({m[1], m[3], m[4], m[5]});
      }
    }
    return out;
  }();
  return parsed;
}

// A device as udev sees it, from "action subsystem kernel vendor product protocol hub": the node
// itself, its HID interface with that interface protocol, the USB device, and the hub whose
// own interface protocol is `hub`.
using Attributes = std::map<std::string, std::string>;
struct Device {
  std::string action, subsystem, kernel;
  std::vector<Attributes> chain;
};
Device device(const std::string& spec) {
  Device d;
  std::string vendor, product, protocol, hub;
  std::istringstream(spec) >> d.action >> d.subsystem >> d.kernel >> vendor >> product >>
      protocol >> hub;
  d.chain = {
      {},
      {{"bInterfaceClass", "03"}, {"bInterfaceSubClass", "01"}, {"bInterfaceProtocol", protocol}},
      {{"idVendor", vendor}, {"idProduct", product}},
      {{"bInterfaceClass", "09"}, {"bInterfaceProtocol", hub}}};
  return d;
}

bool compare(const Assignment& a, const std::string& value) {
  return (fnmatch(a.value.c_str(), value.c_str(), 0) == 0) == (a.op == "==");
}

bool matches(const Rule& rule, const Device& device) {
  const std::map<std::string, std::string> own = {
      {"ACTION", device.action}, {"SUBSYSTEM", device.subsystem}, {"KERNEL", device.kernel}};
  for (const auto& a : rule.assignments)
    if (own.count(a.key) && !compare(a, own.at(a.key))) return false;
  // All ATTRS of one rule have to match on the same device of the chain.
  for (const auto& attributes : device.chain) {
    bool all = true;
    for (const auto& a : rule.assignments)
      if (a.key == "ATTRS")
        all = all && attributes.count(a.attribute) && compare(a, attributes.at(a.attribute));
    if (all) return true;
  }
  return false;
}

bool grantsUaccess(const Device& device) {
  bool granted = false;
  std::optional<std::string> jumpTo;
  for (const auto& rule : rules()) {
    const auto& first = rule.assignments.front();
    if (jumpTo && first.key == "LABEL" && first.value == *jumpTo) jumpTo.reset();
    if (jumpTo || !matches(rule, device)) continue;
    for (const auto& a : rule.assignments) {
      if (a.key == "TAG" && a.value == "uaccess") granted = a.op == "+=";
      if (a.key == "GOTO") jumpTo = a.value;
    }
  }
  return granted;
}

TEST(UdevRule, GrantsExactlyTheNodesTheProgramOpens) {
  const std::pair<const char*, bool> rows[] = {
      {"add hidraw hidraw3 0c45 800a 00 00", true},   // ZEPA configuration interfaces
      {"add hidraw hidraw3 0c45 800a 01 00", false},  // boot keyboard
      {"add hidraw hidraw3 0c45 800a 02 00", false},  // boot mouse
      // A USB 2.0 hub gives its transaction translator as interface protocol 01 or 02.
      {"add hidraw hidraw3 0c45 800a 00 01", true},
      {"add hidraw hidraw3 258a 010c 00 00", true},
      {"add hidraw hidraw3 258a 010c 01 00", false},
      {"add hidraw hidraw3 258a 010c 00 02", true},
      {"add hidraw hidraw3 046d c52b 00 00", false},
      {"add hidraw hidraw3 0c45 6366 00 00", false},
      {"add input event7 258a 010c 01 00", true},  // the Halvern key map lives here
      {"add input event7 0c45 800a 01 00", false},
      {"add input event7 046d c52b 01 00", false},
      {"add input mouse0 258a 010c 01 00", false},
      {"remove input event7 258a 010c 01 00", false},
  };
  for (const auto& [spec, granted] : rows) EXPECT_EQ(grantsUaccess(device(spec)), granted) << spec;
}

// Known keys and operators only, lower-case IDs, every GOTO jumping forward to a label (udev
// never jumps back; a missing label skips the rest of the file), and no grant without both IDs
// of one of the two keyboards.
TEST(UdevRule, Syntax) {
  const std::regex operators("(ACTION|SUBSYSTEM|KERNEL|ATTRS)(==|!=)|TAG(\\+=|-=)|(GOTO|LABEL)=");
  const std::set<std::string> keyboards = {"0c45:800a", "258a:010c"};
  std::map<std::string, int> labels;
  for (const auto& rule : rules())
    if (rule.assignments.front().key == "LABEL") labels[rule.assignments.front().value] = rule.line;
  ASSERT_FALSE(rules().empty());
  for (const auto& rule : rules()) {
    SCOPED_TRACE("line " + std::to_string(rule.line));
    std::map<std::string, std::string> ids;
    bool grant = false;
    for (const auto& a : rule.assignments) {
      EXPECT_TRUE(std::regex_match(a.key + a.op, operators)) << a.key << a.op;
      if (a.key == "GOTO") {
        EXPECT_GT(labels[a.value], rule.line) << a.value;
      }
      if (a.attribute == "idVendor" || a.attribute == "idProduct") {
        EXPECT_TRUE(std::regex_match(a.value, std::regex("[0-9a-f]{4}"))) << a.value;
        if (a.op == "==") ids[a.attribute] = a.value;
      }
      grant = grant || a.key == "TAG" || a.key == "MODE" || a.key == "GROUP" || a.key == "OWNER";
    }
    EXPECT_TRUE(!grant || keyboards.count(ids["idVendor"] + ":" + ids["idProduct"]));
  }
}

TEST(UdevRule, UdevadmVerifyAcceptsTheFile) {
  // Older systemd releases have no verify verb; the checks above stand in for it there.
  if (std::system("udevadm verify --help >/dev/null 2>&1") != 0) GTEST_SKIP();
  EXPECT_EQ(std::system(("udevadm verify --no-style '" + kRulesPath + "'").c_str()), 0);
}

}  // namespace
