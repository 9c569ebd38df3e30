// SPDX-License-Identifier: MIT
// What zepactl stores and reads back as a real process against zepa-sim: --save agreeing with
// restore, profile export and import, and the node survey of list and diagnose.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/child_process.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using zepa::test::PrintTo;
using zepa::test::SimMount;

zepa::test::ProgramOutcome zepactl(const SimMount& sim, std::vector<std::string> args) {
  args.insert(args.begin(), {"--device-root", sim.root().string()});
  return zepa::test::runProgram("zepactl", args);
}

void writeAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

int writes(const SimMount& sim) {
  int count = 0;
  for (const auto& entry : sim.readLog()) count += entry.op == "SET" || entry.op == "SETKEYCODE";
  return count;
}

// Empty configuration and data homes of their own for each test; zepactl inherits them.
class Homes {
 public:
  Homes() : base_(fs::path(testing::TempDir()) / ("zepactl-store-" + std::to_string(getpid()))) {
    fs::remove_all(base_);
    setenv("XDG_CONFIG_HOME", (base_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base_ / "data").c_str(), 1);
  }
  ~Homes() { fs::remove_all(base_); }
  fs::path profile() const { return base_ / "data/ZEPA Control/profile.json"; }
  fs::path file(const char* name) const { return base_ / name; }

 private:
  fs::path base_;
};

// A value of a keyboard's state file: "zepa/lighting".
json stateAt(const SimMount& sim, const std::string& pointer) {
  const std::size_t slash = pointer.find('/');
  const json state = sim.stateJson(pointer.substr(0, slash));
  const json::json_pointer at(pointer.substr(slash));
  return state.contains(at) ? state.at(at) : json("missing");
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

struct SavedChange {
  const char* name;
  const char* sim;
  const char* command;
  const char* pointer;  // the part of the state the change sets
};

class SaveThenRestore : public ::testing::TestWithParam<SavedChange> {};

// Whatever --save stored, restore on a freshly plugged-in keyboard sets the same way.
TEST_P(SaveThenRestore, GivesTheSameKeyboardState) {
  const SavedChange& row = GetParam();
  Homes homes;
  SimMount changed({row.sim});
  ZEPA_REQUIRE_SIM(changed);
  const auto saved = zepactl(changed, words(row.command));
  ASSERT_EQ(saved.status, 0) << saved.err;
  const json expected = stateAt(changed, row.pointer);
  ASSERT_NE(expected, json("missing"));

  SimMount fresh({row.sim});
  ZEPA_REQUIRE_SIM(fresh);
  const auto restored = zepactl(fresh, {"restore"});
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(stateAt(fresh, row.pointer), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Zepactl, SaveThenRestore,
    ::testing::Values(
        SavedChange{"zepaLighting", "--zepa",
                    "zepa lighting Rollen --color 102030 --speed 1 --save", "zepa/lighting"},
        SavedChange{"zepaKeys", "--zepa", "zepa keys esc=ff0000 pgup=#00ff00 --brightness 3 --save",
                    "zepa/perKeyColors"},
        SavedChange{"zepaKeysBrightness", "--zepa", "zepa keys esc=ff0000 --brightness 3 --save",
                    "zepa/lighting"},
        SavedChange{"zepaRemap", "--zepa", "zepa remap caps=a --save", "zepa/baseRemaps"},
        SavedChange{"halvernLighting", "--halvern", "halvern lighting Atmen --color 010203 --save",
                    "halvern/effects/1"},
        SavedChange{"halvernColor", "--halvern", "halvern lighting Atmen --color 010203 --save",
                    "halvern/color"},
        SavedChange{"halvernRemap", "--halvern",
                    "halvern remap capslock=KEY_LEFTCTRL esc=caps --save", "halvern/keyMap"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HalvernRemap, NoPairsGiveTheDefaultMap) {
  Homes homes;
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  ASSERT_EQ(zepactl(sim, {"halvern", "remap", "caps=esc"}).status, 0);
  ASSERT_NE(stateAt(sim, "halvern/keyMap"), json::array());
  const auto outcome = zepactl(sim, {"halvern", "remap"});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(stateAt(sim, "halvern/keyMap"), json::array());
}

TEST(Save, OnlyWhenAsked) {
  Homes homes;
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ASSERT_EQ(zepactl(sim, {"zepa", "lighting", "Rollen"}).status, 0);
  EXPECT_FALSE(fs::exists(homes.profile()));
}

// A profile that does not decode is the user's data: it is neither replaced nor is the keyboard
// changed, so the two never disagree.
TEST(Save, RefusesADamagedProfileBeforeSending) {
  Homes homes;
  const std::string damaged = R"({"id":"no")";
  writeAll(homes.profile(), damaged);
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = zepactl(sim, {"zepa", "lighting", "Rollen", "--save"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("kann nicht gelesen werden"), std::string::npos) << outcome.err;
  EXPECT_EQ(writes(sim), 0);
  EXPECT_EQ(zepa::test::readText(homes.profile()), damaged);
}

TEST(Profile, ExportThenImportRestoresTheSameFile) {
  Homes homes;
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ASSERT_EQ(zepactl(sim, {"zepa", "remap", "caps=a", "--save"}).status, 0);
  const std::string stored = zepa::test::readText(homes.profile());
  const fs::path exported = homes.file("exported.json");
  const auto exportOutcome = zepactl(sim, {"profile", "export", exported.string()});
  EXPECT_EQ(exportOutcome.status, 0) << exportOutcome.err;
  EXPECT_EQ(zepa::test::readText(exported), stored);

  fs::remove(homes.profile());
  const auto importOutcome = zepactl(sim, {"profile", "import", exported.string()});
  EXPECT_EQ(importOutcome.status, 0) << importOutcome.err;
  EXPECT_EQ(zepa::test::readText(homes.profile()), stored);
  EXPECT_EQ(writes(sim), 13);  // the remap only: import stores, restore sends
}

TEST(Profile, ExportWithoutAStoredProfileFails) {
  Homes homes;
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = zepactl(sim, {"profile", "export", homes.file("out.json").string()});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_FALSE(fs::exists(homes.file("out.json")));
}

struct BadImport {
  const char* name;
  std::string bytes;
};

class ImportRefuses : public ::testing::TestWithParam<BadImport> {};

TEST_P(ImportRefuses, AndKeepsTheStoredProfile) {
  Homes homes;
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ASSERT_EQ(zepactl(sim, {"zepa", "lighting", "1", "--save"}).status, 0);
  const std::string stored = zepa::test::readText(homes.profile());
  const fs::path file = homes.file("import.json");
  writeAll(file, GetParam().bytes);
  const auto outcome = zepactl(sim, {"profile", "import", file.string()});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("kein gültiges Profil"), std::string::npos) << outcome.err;
  EXPECT_EQ(zepa::test::readText(homes.profile()), stored);
}

INSTANTIATE_TEST_SUITE_P(Zepactl, ImportRefuses,
                         ::testing::Values(BadImport{"otherDocument", R"({"halvernLighting":1})"},
                                           BadImport{"tooLarge",
                                                     std::string(2 * 1024 * 1024, ' ')}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Profile, ImportOfAMissingFileFails) {
  Homes homes;
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = zepactl(sim, {"profile", "import", homes.file("none.json").string()});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_FALSE(fs::exists(homes.profile()));
}

// The node of a keyboard's configuration interface in `diagnose --json`.
json configurationNode(const json& report, const std::string& path) {
  for (const json& node : report.at("nodes")) {
    if (node.at("path") == path) return node;
  }
  return json("missing");
}

TEST(Diagnose, DescribesEachNodeAndWhyItDoesNotOpen) {
  Homes homes;
  SimMount sim({"--zepa", "--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  writeAll(sim.root() / "etc/udev/rules.d/70-zepa-control.rules", "# rule\n");
  const auto outcome = zepactl(sim, {"diagnose", "--json"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const json report = json::parse(outcome.out);
  const json node = configurationNode(report, "/dev/hidraw2");
  EXPECT_EQ(node.at("keyboard"), "zepa");
  EXPECT_EQ(node.at("interface"), 2);
  EXPECT_EQ(node.at("usagePage"), 0xFF13);
  EXPECT_EQ(node.at("featureReportSize"), 64);
  EXPECT_TRUE(node.at("descriptor").get<std::string>().starts_with("06 13 ff 09 01 a1 01"));
  EXPECT_EQ(node.at("canOpen"), false);
  EXPECT_NE(node.at("problem").get<std::string>().find("keine Berechtigung"), std::string::npos);
  EXPECT_EQ(report.at("udevRules"), json::array({"/etc/udev/rules.d/70-zepa-control.rules"}));
  EXPECT_EQ(report.at("stores").at(0).at("state"), "fehlt");
  EXPECT_FALSE(report.at("kernel").get<std::string>().empty());
}

TEST(Diagnose, SaysInGermanWhatOpensAndWhetherTheStoresDecode) {
  Homes homes;
  writeAll(homes.profile(), "{");
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = zepactl(sim, {"diagnose"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("Halvern Corvane Pro 108: /dev/input/event0"), std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("Öffnen: möglich"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("udev-Regel: 70-zepa-control.rules ist nicht installiert"),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("Profil: " + homes.profile().string() + " (nicht lesbar)"),
            std::string::npos)
      << outcome.out;
}

TEST(List, NamesAKeyboardItCannotOpen) {
  SimMount sim({"--zepa", "--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  const auto plain = zepactl(sim, {"list"});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "zepa ZEPA VX10\n");
  EXPECT_TRUE(
      plain.err.starts_with("ZEPA VX10: /dev/hidraw2 kann nicht geöffnet werden: keine "
                            "Berechtigung"))
      << plain.err;
  const json listed = json::parse(zepactl(sim, {"list", "--json"}).out);
  EXPECT_EQ(listed.at("keyboards").at(0).at("canOpen"), false);
}

TEST(Json, QueriesAndKeysHaveTheirDocumentedShape) {
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const json model = json::parse(zepactl(sim, {"halvern", "model", "--json"}).out);
  EXPECT_EQ(model.at("query"), "model");
  EXPECT_TRUE(model.at("response").get<std::string>().starts_with("06 82 01"));
  const json verify = json::parse(zepactl(sim, {"halvern", "verify", "--json"}).out);
  EXPECT_EQ(verify.at("unchanged"), true);
  const json keys = json::parse(zepactl(sim, {"keys", "--json"}).out);
  EXPECT_EQ(keys.at("zepa").at(0), json::parse(R"({"index":1,"usage":41,"name":"Esc",)"
                                               R"("linux":"KEY_ESC"})"));
  EXPECT_EQ(keys.at("zepa").size(), 104u);
}

}  // namespace
