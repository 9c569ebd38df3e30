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
#include <string>
#include <vector>

namespace {

const std::string kRulesPath = std::string(ZEPA_SOURCE_DIR) + "/resources/70-zepa-control.rules";

struct Assignment {
  std::string key, attribute, op, value;  // ATTRS{idVendor}=="0c45"
};
struct Rule {
  int line = 0;
  std::vector<Assignment> assignments;
};
struct ParsedRules {
  std::vector<Rule> rules;
  std::vector<std::string> errors;
};

// The operators each key allows; anything else udev would reject or ignore.
const std::map<std::string, std::set<std::string>> kOperators = {
    {"ACTION", {"==", "!="}}, {"SUBSYSTEM", {"==", "!="}}, {"KERNEL", {"==", "!="}},
    {"ATTRS", {"==", "!="}},  {"TAG", {"+=", "-="}},       {"GOTO", {"="}},
    {"LABEL", {"="}}};
const std::set<std::string> kGrants = {"TAG", "MODE", "GROUP", "OWNER"};

ParsedRules parseRules() {
  static const std::regex pair(R"re(^([A-Z_]+)(\{(\w+)\})?(==|!=|\+=|-=|:=|=)"([^"]*)"$)re");
  ParsedRules parsed;
  std::ifstream in(kRulesPath);
  if (!in) parsed.errors.push_back("cannot open " + kRulesPath);
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    if (text.empty() || text[0] == '#') continue;
    Rule rule{number, {}};
    for (std::size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 2) {
      comma = text.find(", ", start);
      const auto piece = text.substr(start, comma == std::string::npos ? comma : comma - start);
      std::smatch m;
      if (!std::regex_match(piece, m, pair)) {
        parsed.errors.push_back("line " + std::to_string(number) + ": " + piece);
        break;
      }
      rule.assignments.push_back({m[1], m[3], m[4], m[5]});
    }
    parsed.rules.push_back(rule);
  }
  return parsed;
}

const ParsedRules& rules() {
  static const ParsedRules parsed = parseRules();
  return parsed;
}

// A device as udev sees it: the node itself first, then each parent up to the root.
using Attributes = std::map<std::string, std::string>;
struct Device {
  std::string action, subsystem, kernel;
  std::vector<Attributes> chain;
};

bool compare(const Assignment& a, const std::string& value) {
  return (fnmatch(a.value.c_str(), value.c_str(), 0) == 0) == (a.op == "==");
}

bool matches(const Rule& rule, const Device& device) {
  for (const auto& a : rule.assignments) {
    if (a.key == "ACTION" && !compare(a, device.action)) return false;
    if (a.key == "SUBSYSTEM" && !compare(a, device.subsystem)) return false;
    if (a.key == "KERNEL" && !compare(a, device.kernel)) return false;
  }
  // All ATTRS of one rule have to match on the same device of the chain.
  for (const auto& attributes : device.chain) {
    bool all = true;
    for (const auto& a : rule.assignments) {
      if (a.key != "ATTRS") continue;
      const auto it = attributes.find(a.attribute);
      all = all && it != attributes.end() && compare(a, it->second);
    }
    if (all) return true;
  }
  return false;
}

bool grantsUaccess(const Device& device) {
  bool granted = false;
  std::optional<std::string> jumpTo;
  for (const auto& rule : rules().rules) {
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

Attributes usb(const char* vendor, const char* product) {
  return {{"idVendor", vendor}, {"idProduct", product}};
}
Attributes hidInterface(const char* protocol) {
  return {
      {"bInterfaceClass", "03"}, {"bInterfaceSubClass", "01"}, {"bInterfaceProtocol", protocol}};
}
// USB 2.0 hubs give their transaction translator as interface protocol 01 or 02.
const Attributes kSingleTTHub = {{"bInterfaceClass", "09"}, {"bInterfaceProtocol", "01"}};
const Attributes kRootHub = {{"bInterfaceClass", "09"}, {"bInterfaceProtocol", "00"}};

Device hidraw(const char* vendor, const char* product, const char* protocol,
              Attributes hub = kRootHub) {
  return {"add", "hidraw", "hidraw3", {{}, {}, hidInterface(protocol), usb(vendor, product), hub}};
}
Device input(const char* vendor, const char* product, const char* kernel = "event7",
             const char* action = "add") {
  return {
      action, "input", kernel, {{}, {}, {}, hidInterface("01"), usb(vendor, product), kRootHub}};
}

struct AccessCase {
  const char* name;
  Device device;
  bool granted;
};
void PrintTo(const AccessCase& c, std::ostream* os) {
  *os << c.name;
}

class RuleAccess : public testing::TestWithParam<AccessCase> {};

TEST_P(RuleAccess, GrantsExactlyTheNodesTheProgramOpens) {
  ASSERT_TRUE(rules().errors.empty());
  EXPECT_EQ(grantsUaccess(GetParam().device), GetParam().granted);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, RuleAccess,
    testing::Values(
        AccessCase{"ZepaConfiguration", hidraw("0c45", "800a", "00"), true},
        AccessCase{"ZepaBootKeyboard", hidraw("0c45", "800a", "01"), false},
        AccessCase{"ZepaBootMouse", hidraw("0c45", "800a", "02"), false},
        AccessCase{"ZepaBehindHub", hidraw("0c45", "800a", "00", kSingleTTHub), true},
        AccessCase{"HalvernConfiguration", hidraw("258a", "010c", "00"), true},
        AccessCase{"HalvernBootKeyboard", hidraw("258a", "010c", "01"), false},
        AccessCase{"HalvernBehindHub", hidraw("258a", "010c", "00", kSingleTTHub), true},
        AccessCase{"OtherVendorHidraw", hidraw("046d", "c52b", "00"), false},
        AccessCase{"OtherProductSameVendor", hidraw("0c45", "6366", "00"), false},
        AccessCase{"HalvernEventNode", input("258a", "010c"), true},
        AccessCase{"ZepaEventNode", input("0c45", "800a"), false},
        AccessCase{"OtherEventNode", input("046d", "c52b"), false},
        AccessCase{"HalvernMouseNode", input("258a", "010c", "mouse0"), false},
        AccessCase{"HalvernEventRemoved", input("258a", "010c", "event7", "remove"), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RuleSyntax, EveryLineIsACommentOrKnownPairsWithLowerCaseIDs) {
  static const std::regex id("[0-9a-f]{4}");
  for (const auto& error : rules().errors) ADD_FAILURE() << "unparsable " << error;
  ASSERT_FALSE(rules().rules.empty());
  for (const auto& rule : rules().rules) {
    for (const auto& a : rule.assignments) {
      const auto known = kOperators.find(a.key);
      ASSERT_NE(known, kOperators.end()) << "line " << rule.line << ": " << a.key;
      EXPECT_EQ(known->second.count(a.op), 1u) << "line " << rule.line << ": " << a.key << a.op;
      if (a.attribute == "idVendor" || a.attribute == "idProduct") {
        EXPECT_TRUE(std::regex_match(a.value, id)) << "line " << rule.line << ": " << a.value;
      }
    }
  }
}

TEST(RuleSyntax, EveryGotoHasALabelFurtherDown) {
  // udev only jumps forward; a missing label silently skips the rest of the file.
  std::map<std::string, int> labels;
  for (const auto& rule : rules().rules) {
    if (rule.assignments.front().key == "LABEL") labels[rule.assignments.front().value] = rule.line;
  }
  for (const auto& rule : rules().rules) {
    for (const auto& a : rule.assignments) {
      if (a.key == "GOTO") {
        EXPECT_GT(labels[a.value], rule.line) << "GOTO " << a.value;
      }
    }
  }
}

TEST(RuleSyntax, EveryGrantNamesOneOfTheTwoKeyboards) {
  const std::set<std::string> keyboards = {"0c45:800a", "258a:010c"};
  for (const auto& rule : rules().rules) {
    std::string vendor, product;
    bool grant = false;
    for (const auto& a : rule.assignments) {
      if (a.key == "ATTRS" && a.op == "==" && a.attribute == "idVendor") vendor = a.value;
      if (a.key == "ATTRS" && a.op == "==" && a.attribute == "idProduct") product = a.value;
      grant = grant || kGrants.count(a.key) == 1;
    }
    if (grant) {
      EXPECT_EQ(keyboards.count(vendor + ":" + product), 1u) << "line " << rule.line;
    }
  }
}

TEST(RuleSyntax, UdevadmVerifyAcceptsTheFile) {
  // Older systemd releases have no verify verb; the checks above stand in for it there.
  if (std::system("udevadm verify --help >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "udevadm verify is not available";
  }
  EXPECT_EQ(std::system(("udevadm verify --no-style '" + kRulesPath + "'").c_str()), 0);
}

}  // namespace
