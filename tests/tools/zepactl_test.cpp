// SPDX-License-Identifier: MIT
// zepactl as a real process against zepa-sim: each command once, the usage errors that must
// send nothing, restoring what the application stored, --save agreeing with restore, profile
// export and import, and the node survey of list and diagnose; plus the progress line and the
// verification mismatch against the in-process keyboards.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/child_process.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/cli/device_commands.hpp"
#include "tools/sim/in_process_backend.hpp"
#ifdef ZEPACTL_WITH_STORES
#include "app/model/profile_store.hpp"
#include "app/model/settings_store.hpp"
#endif

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using zepa::test::PrintTo;
using zepa::test::SimMount;

// Words split at spaces; one in single quotes keeps its spaces.
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string word; in >> std::quoted(word, '\'');) out.push_back(word);
  return out;
}

zepa::test::ProgramOutcome run(const SimMount& sim, std::vector<std::string> args,
                               bool terminal = false) {
  args.insert(args.begin(), {"--device-root", sim.root().string()});
  return zepa::test::runProgram("zepactl", args, terminal);
}

int writes(const SimMount& sim) {
  int count = 0;
  for (const auto& entry : sim.readLog()) count += entry.op == "SET";
  return count;
}

// A value of a keyboard's state file: "zepa/lighting/report".
json stateAt(const SimMount& sim, const std::string& pointer) {
  const std::size_t slash = pointer.find('/');
  const json state = sim.stateJson(pointer.substr(0, slash));
  const json::json_pointer at(pointer.substr(slash));
  return state.contains(at) ? state.at(at) : json("missing");
}

struct Command {
  const char* name;
  const char* sim;   // zepa-sim options
  const char* args;  // after --device-root, see words()
  int writes;        // feature reports sent
  const char* pointer;
  const char* value;  // JSON the state holds at `pointer` afterwards
};

class Commands : public ::testing::TestWithParam<Command> {};

TEST_P(Commands, LeaveTheKeyboardAsAsked) {
  const Command& row = GetParam();
  SimMount sim(words(row.sim));
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(run(sim, words(row.args)).err, "");
  EXPECT_EQ(writes(sim), row.writes);
  EXPECT_EQ(stateAt(sim, row.pointer), json::parse(row.value));
}

INSTANTIATE_TEST_SUITE_P(
    Zepactl, Commands,
    ::testing::Values(
        Command{"zepaLightingEveryOption", "--zepa",
                "zepa lighting 10 --color FF8000 --brightness 2 --speed=4 --direction 1 --colorful",
                5, "zepa/lighting/report", R"("0a ff 80 00 00 00 00 00 01 02 04 01 00 00 aa 55")"},
        Command{"zepaClock", "--zepa", "zepa clock --at 2025-03-09T14:05:07", 4, "zepa/clock",
                R"({"profile":1,"year":2025,"month":3,"day":9,"hour":14,"minute":5,"second":7,)"
                R"("weekday":0})"},
        Command{"zepaKeysByEveryKindOfName", "--zepa",
                "zepa keys --brightness 3 #142=010203 KEY_ESC=#FF0000 1=00ff00", 18,
                "zepa/perKeyColors",
                R"([{"index":1,"key":1,"red":255,"green":0,"blue":0},)"
                R"({"index":20,"key":20,"red":0,"green":255,"blue":0},)"
                R"({"index":142,"key":142,"red":1,"green":2,"blue":3}])"},
        Command{"zepaKeysLaterPairWins", "--zepa", "zepa keys a=ff0000 A=0000ff", 18,
                "zepa/perKeyColors", R"([{"index":56,"key":56,"red":0,"green":0,"blue":255}])"},
        // A modifier target travels as its bit, any other key as its usage.
        Command{"zepaRemapModifierAndKey", "--zepa", "zepa remap 'caps=Ctrl L' #2=KEY_A", 13,
                "zepa/baseRemaps",
                R"([{"index":2,"action":2,"param1":0,"param2":4,"param3":0},)"
                R"({"index":55,"action":2,"param1":1,"param2":0,"param3":0}])"},
        Command{"halvernLightingEveryOption", "--halvern",
                "halvern lighting ATMEN --color 102030 --brightness 2 --speed 1 --colorful", 3,
                "halvern/effects/1", R"({"effect":2,"brightness":2,"speed":1,"colorful":true})"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the keyboard answers, on standard output in one line.
TEST(HalvernQuery, PrintsTheAnswer) {
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(run(sim, {"halvern", "model"}).out,
            "MODEL " + stateAt(sim, "halvern/modelAnswer").get<std::string>() + "\n");
}

// No "MODEL " fragment on standard output for a script.
TEST(HalvernQuery, FailurePrintsNoAnswer) {
  SimMount sim({"--halvern", "--fail", "get:1:EIO"});
  ZEPA_REQUIRE_SIM(sim);
  EXPECT_EQ(run(sim, {"halvern", "model"}).out, "");
}

// Exit 2, one line naming the problem, then the usage; nothing sent. Help answers the same way
// on standard output, with exit 0.
struct Misuse {
  const char* name;
  const char* args;
  std::string problem;  // "" for help
};

class Usage : public ::testing::TestWithParam<Misuse> {};

TEST_P(Usage, SendsNothing) {
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  const Misuse& row = GetParam();
  const auto outcome = run(sim, words(row.args));
  const bool help = row.problem.empty();
  const std::string head = help ? "" : "zepactl: " + row.problem + "\n";
  EXPECT_EQ(outcome.status, help ? 0 : 2);
  EXPECT_TRUE((help ? outcome.out : outcome.err).starts_with(head + "Aufruf: zepactl"))
      << outcome.err << outcome.out;
  EXPECT_EQ(sim.readLog().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Zepactl, Usage,
    ::testing::Values(
        Misuse{"optionWithoutValue", "zepa lighting rolling --speed",
               "Die Option „--speed“ braucht einen Wert."},
        Misuse{"saveOfTheFnLayer", "zepa remap --fn --save caps=a",
               "„--save“ speichert nur die Grundebene, nicht die Fn-Ebene."},
        Misuse{"keyIndexZero", "zepa keys #0=ff0000",
               "Die Tastennummer „#0“ liegt nicht zwischen #1 und #142."},
        Misuse{"dayThatDoesNotExist", "zepa clock --at 2025-02-29T10:00:00",
               "Die Zeit „2025-02-29T10:00:00“ ist ungültig; erwartet wird JJJJ-MM-TTTHH:MM:SS in "
               "Ortszeit."},
        Misuse{"helpBeforeBadArguments", "zepa keys Foo=1 --help", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// On a pipe it stays away: the command rows expect nothing on standard error.
TEST(Progress, ShownOnATerminal) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  const auto shown = run(sim, {"zepa", "remap", "caps=a"}, true);
  EXPECT_NE(shown.err.find("\rTastenbelegung wird übertragen … 100 %"), std::string::npos)
      << shown.err;
}

// The percentage is worked out from the pauses a transfer makes; if the device made more or
// fewer, the line would stall or reach its end too early.
struct InProcess {
  std::shared_ptr<zepa::sim::InProcessBackend> backend =
      std::make_shared<zepa::sim::InProcessBackend>();
  int pauses = 0;
  std::ostringstream out, err;
  zepa::cli::DeviceContext context{
      backend, [this](auto) { ++pauses; }, zepa::systemCalendar(), out, err, true};
};

TEST(InProcessProgress, PerKeyColorsCountEveryPause) {
  InProcess p;
  zepa::cli::run(p.context, zepa::cli::ZEPAKeysRequest{{{1, {255, 0, 0}}}, 5, false});
  EXPECT_EQ(p.pauses, zepa::cli::perKeyPauses);
}

// A write-back the keyboard stored wrongly is a failure.
TEST(InProcessVerify, ReportsAMismatch) {
  InProcess p;
  p.backend->halvern().corruptOnWrite(120);
  const zepa::cli::HalvernQueryRequest verify{zepa::cli::HalvernQuery::verify, false};
  EXPECT_EQ(zepa::cli::run(p.context, verify), 1);
}

void writeAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Empty configuration and data homes of their own for each test; zepactl inherits them. The
// path stays the same, as QSettings fixes its folder on first use in this process.
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
  fs::path settings() const { return base_ / "config/ZEPA Control/ZEPA Control.conf"; }

 private:
  fs::path base_;
};

#ifdef ZEPACTL_WITH_STORES
// A settings file the application cannot fully read.
const std::string damagedSettings = "[General]\nhalvernLighting=@Variant(\\0\\0\\0\\x7f\\0)\n";

// What the application stored, as words: "keys:N" a profile with Esc red and brightness N,
// "plain:N" one without key colours, "damaged" a profile file that does not decode, "lit" the
// Halvern breathing, "noremaps" an empty Halvern list,
// "manyremaps" more than the kernel takes as one argument, "conf" a damaged settings file.
// The keys are cleared as well: QSettings still holds the previous test's values.
void store(const std::string& words, const Homes& homes) {
  zepa::SettingsStore settings;
  settings.remove(zepa::SettingsStore::halvernLightingKey);
  settings.remove(zepa::SettingsStore::halvernRemapsKey);
  const zepa::ProfileStore profiles;
  ASSERT_TRUE(profiles.path().startsWith(QString::fromStdString(homes.file("data").string())));
  ASSERT_TRUE(profiles.createFolder());
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    if (const auto colon = word.find(':'); colon != std::string::npos) {
      zepa::ZEPAProfile profile = zepa::ZEPAProfile::makeDefault();
      profile.lighting = {zepa::LightingMode::breath, {1, 2, 3}, 0, 2, 0, false};
      profile.lighting.brightness = static_cast<std::uint8_t>(std::stoi(word.substr(colon + 1)));
      if (word.starts_with("keys:")) profile.keyColors = {{1, {255, 0, 0}}};
      profile.remaps = {{55, zepa::RemapAction::key, 0x01, 0, 0}};
      ASSERT_TRUE(profiles.save(profile));
    }
    if (word == "damaged") std::ofstream(profiles.path().toStdString()) << R"({"id":"no")";
    if (word == "lit")
      settings.setHalvernLighting({zepa::HalvernEffect::breathing, {9, 8, 7}, 3, 2, false});
    if (word == "noremaps") settings.setHalvernRemaps({});
    if (word == "manyremaps")
      settings.setHalvernRemaps(std::vector<zepa::KeyRemap>(
          3000, zepa::KeyRemap{0x39, zepa::RemapAction::key, 0, 0xE0, 0}));
    if (word == "conf") {
      writeAll(homes.settings(), damagedSettings);
    }
  }
}

const std::string noZepa = "ZEPA VX10: nicht angeschlossen, übersprungen\n";
const std::string noHalvern = "Halvern Corvane Pro 108: nicht angeschlossen, übersprungen\n";
const std::string noHalvernLighting = "Halvern Corvane Pro 108: keine gespeicherte Beleuchtung\n";
const std::string noHalvernRemaps = "Halvern Corvane Pro 108: keine gespeicherte Tastenbelegung\n";

// What each stored piece sets on the keyboard is SaveThenRestore's part; here: which steps run,
// what they say and how many reports they send.
struct Restored {
  const char* name;
  const char* sim;
  std::string stored;  // see store()
  std::string out;
  std::string err;  // the start of standard error; "" for success
  int writes;
};

class Restore : public ::testing::TestWithParam<Restored> {};

TEST_P(Restore, ReappliesWhatWasStored) {
  const Restored& row = GetParam();
  Homes homes;
  store(row.stored, homes);
  SimMount sim(words(row.sim));
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = run(sim, {"restore"});
  EXPECT_EQ(outcome.out, row.out);
  EXPECT_EQ(outcome.err.substr(0, row.err.empty() ? std::string::npos : row.err.size()), row.err);
  EXPECT_EQ(writes(sim), row.writes);
}

// Lighting 5 + per-key 18 + remaps 13; Halvern lighting 3.
INSTANTIATE_TEST_SUITE_P(
    Zepactl, Restore,
    ::testing::Values(
        Restored{"nothingStored", "", "",
                 "ZEPA VX10: kein gespeichertes Profil, übersprungen\n" + noHalvernLighting +
                     noHalvernRemaps,
                 "", 0},
        // Sending an empty colour table would switch the lighting off again.
        Restored{"noKeyColors", "--zepa", "plain:5 noremaps",
                 "ZEPA VX10: Beleuchtung wiederhergestellt\nZEPA VX10: keine Einzeltastenfarben "
                 "gespeichert\nZEPA VX10: Tastenbelegung wiederhergestellt\n" +
                     noHalvern,
                 "", 5 + 13},
        // The other steps still run; the failing one is named with the keyboard's text.
        Restored{"stepsFailAlone", "--zepa", "keys:9",
                 "ZEPA VX10: Tastenbelegung wiederhergestellt\n" + noHalvern,
                 "ZEPA VX10: Beleuchtung fehlgeschlagen: Helligkeit/Tempo müssen 0–5, Richtung 0–1 "
                 "sein.\nZEPA VX10: Einzeltastenfarben fehlgeschlagen: Helligkeit muss 0–5 sein.\n",
                 13},
        // A damaged profile is not replaced by defaults on the keyboard.
        Restored{"damagedProfile", "", "damaged lit",
                 "Halvern Corvane Pro 108: Beleuchtung wiederhergestellt\n" + noHalvernRemaps,
                 "ZEPA VX10: Das gespeicherte Profil ", 3},
        Restored{"tooManyRemapsForOneArgument", "--halvern", "manyremaps",
                 noZepa + noHalvernLighting,
                 "Halvern Corvane Pro 108: Tastenbelegung fehlgeschlagen: Die Tastenbelegung ist "
                 "zu umfangreich, um sie an zepa-keymap zu übergeben.",
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Not taken for "nothing stored", nor replaced; Qt's own English warnings stay off the terminal.
TEST(RestoreSettings, DamagedAreRefused) {
  Homes homes;
  store("noremaps conf", homes);
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = run(sim, {"restore"});
  EXPECT_TRUE(outcome.err.starts_with("Halvern Corvane Pro 108: Die Einstellungsdatei "))
      << outcome.err;
  EXPECT_EQ(zepa::test::readText(homes.settings()), damagedSettings);
  EXPECT_EQ(outcome.err.find("QVariant"), std::string::npos) << outcome.err;
}
#endif

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
  const auto saved = run(changed, words(row.command));
  ASSERT_EQ(saved.status, 0) << saved.err;
  const json expected = stateAt(changed, row.pointer);
  ASSERT_NE(expected, json("missing"));

  SimMount fresh({row.sim});
  ZEPA_REQUIRE_SIM(fresh);
  const auto restored = run(fresh, {"restore"});
  EXPECT_EQ(stateAt(fresh, row.pointer), expected) << restored.err;
}

INSTANTIATE_TEST_SUITE_P(
    Zepactl, SaveThenRestore,
    ::testing::Values(
        SavedChange{"zepaKeys", "--zepa", "zepa keys esc=ff0000 pgup=#00ff00 --brightness 3 --save",
                    "zepa/perKeyColors"},
        // Key colours are sent with the profile's brightness, so that is where it is stored.
        SavedChange{"zepaKeysBrightness", "--zepa", "zepa keys esc=ff0000 --brightness 3 --save",
                    "zepa/lighting"},
        SavedChange{"halvernLighting", "--halvern", "halvern lighting Atmen --color 010203 --save",
                    "halvern/effects/1"},
        SavedChange{"halvernRemap", "--halvern",
                    "halvern remap capslock=KEY_LEFTCTRL esc=caps --save", "halvern/keyMap"}),
    [](const auto& info) { return std::string(info.param.name); });

// A ZEPA VX10 and homes of its own.
class OnZepa : public ::testing::Test {
 protected:
  void SetUp() override { ZEPA_REQUIRE_SIM(sim); }
  Homes homes;
  SimMount sim{{"--zepa"}};
};
class Save : public OnZepa {};
class Profile : public OnZepa {};

// A profile that does not decode is the user's data: it is neither replaced nor is the keyboard
// changed, so the two never disagree.
TEST_F(Save, RefusesADamagedProfileBeforeSending) {
  const std::string damaged = R"({"id":"no")";
  writeAll(homes.profile(), damaged);
  const auto outcome = run(sim, {"zepa", "lighting", "Rollen", "--save"});
  EXPECT_EQ(writes(sim), 0) << outcome.err;
  EXPECT_EQ(zepa::test::readText(homes.profile()), damaged);
}

TEST_F(Profile, ExportThenImportRestoresTheSameFile) {
  ASSERT_EQ(run(sim, {"zepa", "remap", "caps=a", "--save"}).status, 0);
  const std::string stored = zepa::test::readText(homes.profile());
  const fs::path exported = homes.file("exported.json");
  run(sim, {"profile", "export", exported.string()});
  fs::remove(homes.profile());
  run(sim, {"profile", "import", exported.string()});
  EXPECT_EQ(zepa::test::readText(homes.profile()), stored);
}

TEST_F(Profile, ExportWithoutAStoredProfileFails) {
  const auto outcome = run(sim, {"profile", "export", homes.file("out.json").string()});
  EXPECT_EQ(outcome.status, 1);
}

// Read no further than the largest profile; what decodes is the stores' part.
TEST_F(Profile, ImportOfATooLargeFileKeepsTheStoredProfile) {
  ASSERT_EQ(run(sim, {"zepa", "lighting", "1", "--save"}).status, 0);
  const std::string stored = zepa::test::readText(homes.profile());
  const fs::path file = homes.file("import.json");
  writeAll(file, std::string(2 * 1024 * 1024, ' '));
  run(sim, {"profile", "import", file.string()});
  EXPECT_EQ(zepa::test::readText(homes.profile()), stored);
}

// The node of a keyboard's configuration interface in `diagnose --json`.
json configurationNode(const json& report, const std::string& path) {
  for (const json& node : report.at("nodes")) {
    if (node.at("path") == path) return node;
  }
  return json("missing");
}

// What only diagnose shows: the node's USB interface and the rule files it found.
TEST(Diagnose, DescribesEachNodeAndTheRulesFound) {
  Homes homes;
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  writeAll(sim.root() / "etc/udev/rules.d/70-zepa-control.rules", "# rule\n");
  const auto outcome = run(sim, {"diagnose", "--json"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const json report = json::parse(outcome.out);
  const json node = configurationNode(report, "/dev/hidraw2");
  EXPECT_EQ(node.at("interface"), 2);
  EXPECT_EQ(report.at("udevRules"), json::array({"/etc/udev/rules.d/70-zepa-control.rules"}));
}

TEST(Diagnose, SaysInGermanThatTheProfileDoesNotDecode) {
  Homes homes;
  writeAll(homes.profile(), "{");
  SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = run(sim, {"diagnose"});
  EXPECT_NE(outcome.out.find("Profil: " + homes.profile().string() + " (nicht lesbar)"),
            std::string::npos)
      << outcome.out;
}

TEST(List, NamesAKeyboardItCannotOpen) {
  SimMount sim({"--zepa", "--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  const auto plain = run(sim, {"list"});
  EXPECT_EQ(plain.out, "zepa ZEPA VX10\n");
  EXPECT_TRUE(
      plain.err.starts_with("ZEPA VX10: /dev/hidraw2 kann nicht geöffnet werden: keine "
                            "Berechtigung"))
      << plain.err;
}

}  // namespace
