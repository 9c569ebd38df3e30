// SPDX-License-Identifier: MIT
// zepactl as a real process against zepa-sim: every command, the usage errors that must send
// nothing, and restoring what the application stored; plus the progress line and the
// verification mismatch against the in-process keyboards.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/version.hpp"
#include "protocol/zepa_error.hpp"
#include "tests/support/child_process.hpp"
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

// "<count> <prefix>": how many feature reports were written, and `expected`'s prefix when one
// of them begins with it.
std::string sent(const SimMount& sim, const std::string& expected) {
  const auto space = expected.find(' ');
  const std::string prefix = space == std::string::npos ? "" : expected.substr(space + 1);
  int count = 0;
  bool found = false;
  for (const auto& entry : sim.readLog()) {
    count += entry.op == "SET";
    found = found || (entry.op == "SET" && zepa::hexBytes(entry.bytes).starts_with(prefix));
  }
  return std::to_string(count) + (found && !prefix.empty() ? " " + prefix : "");
}

// A value of a keyboard's state file: "zepa/lighting/report".
json stateAt(const SimMount& sim, const std::string& pointer) {
  const std::size_t slash = pointer.find('/');
  const json state = sim.stateJson(pointer.substr(0, slash));
  const json::json_pointer at(pointer.substr(slash));
  return state.contains(at) ? state.at(at) : json("missing");
}
// "zepa/lighting/effect=11; halvern/color=null": values as JSON text.
void expectState(const SimMount& sim, const std::string& checks) {
  std::istringstream in(checks);
  for (std::string check; std::getline(in >> std::ws, check, ';');) {
    const auto equals = check.find('=');
    EXPECT_EQ(stateAt(sim, check.substr(0, equals)), json::parse(check.substr(equals + 1)))
        << check;
  }
}

TEST(Commands, LeaveTheKeyboardAsAsked) {
  const struct {
    const char* sim;   // zepa-sim options
    const char* args;  // after --device-root, see words()
    int status;
    std::string said;   // standard output on success, else standard error; "{pointer}": state
    std::string sent;   // see sent()
    std::string state;  // see expectState()
  } rows[] = {
      {"", "list", 0, "zepa ZEPA VX10\nhalvern Halvern Corvane Pro 108\n", "0", ""},
      {"--halvern", "list", 0, "halvern Halvern Corvane Pro 108\n", "0", ""},
      {"--zepa", "zepa lighting Rollen", 0, "", "5 0b 00 d2 ff 00 00 00 00 00 05 03 00 00 00 aa 55",
       "zepa/lighting/effect=11"},
      {"--zepa",
       "zepa lighting 10 --color FF8000 --brightness 2 --speed=4 --direction 1 --colorful", 0, "",
       "5 0a ff 80 00 00 00 00 00 01 02 04 01 00 00 aa 55", "zepa/lighting/direction=1"},
      {"--zepa", "zepa lighting STATICCOLOR --color 010203", 0, "",
       "5 01 01 02 03 00 00 00 00 00 05 03 00 00 00 aa 55", ""},
      {"--zepa", "zepa lighting 'nach aussen' --color #102030", 0, "",
       "5 09 10 20 30 00 00 00 00 00 05 03 00 00 00 aa 55", "zepa/lighting/effect=9"},
      {"--halvern", "zepa lighting off", 1,
       "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden.\n", "0", ""},
      {"--zepa --fail set:2:EPIPE", "zepa lighting off", 1, "Senden fehlgeschlagen (0xe000404f).\n",
       "1 04 18", "zepa/lighting=null"},
      {"--zepa", "zepa clock --at 2025-03-09T14:05:07", 0, "",
       "4 00 01 5a 19 03 09 0e 05 07 00 00 00",
       R"(zepa/clock={"profile":1,"year":2025,"month":3,"day":9,"hour":14,"minute":5,"second":7,)"
       R"("weekday":0})"},
      {"--zepa", "zepa clock --at 1999-12-31T23:59:59", 1, "Datum wird nicht unterstützt.\n", "0",
       ""},
      // A typo for 2025: far outside what a time point can hold, refused all the same.
      {"--zepa", "zepa clock --at 1025-03-09T14:05:07", 1, "Datum wird nicht unterstützt.\n", "0",
       "zepa/clock=null"},
      {"--zepa", "zepa clock --at 2256-01-01T00:00:00", 1, "Datum wird nicht unterstützt.\n", "0",
       "zepa/clock=null"},
      {"--zepa", "zepa clock --at 2000-01-01T00:00:00", 0, "", "4 00 01 5a 00 01 01 00 00 00 00",
       "zepa/clock/year=2000"},
      {"--zepa", "zepa clock --at 2255-12-31T23:59:59", 0, "", "4 00 01 5a ff 0c 1f 17 3b 3b 00",
       "zepa/clock/year=2255"},
      {"--zepa", "zepa keys --brightness 3 #142=010203 KEY_ESC=#FF0000 1=00ff00", 0, "",
       "18 80 00 00 00 00 00 00 00 00 03 00 00 00 00 aa 55",
       R"(zepa/perKeyColors=[{"index":1,"key":1,"red":255,"green":0,"blue":0},)"
       R"({"index":20,"key":20,"red":0,"green":255,"blue":0},)"
       R"({"index":142,"key":142,"red":1,"green":2,"blue":3}])"},
      {"--zepa", "zepa keys a=ff0000 A=0000ff", 0, "", "18",
       R"(zepa/perKeyColors=[{"index":56,"key":56,"red":0,"green":0,"blue":255}];)"
       R"(zepa/lighting/brightness=5)"},
      {"--zepa", "zepa keys", 0, "", "18", "zepa/perKeyColors=[]; zepa/lighting/perKeyMode=true"},
      // A modifier target travels as its bit, any other key as its usage.
      {"--zepa", "zepa remap 'caps=Ctrl L' #2=KEY_A", 0, "", "13 04 11 00 00 00 00 00 00 09",
       R"(zepa/baseRemaps=[{"index":2,"action":2,"param1":0,"param2":4,"param3":0},)"
       R"({"index":55,"action":2,"param1":1,"param2":0,"param3":0}]; zepa/fnRemaps=[])"},
      {"--zepa", "zepa remap --fn ===", 0, "", "13 04 27 00 00 00 00 00 00 09",
       R"(zepa/fnRemaps=[{"index":31,"action":2,"param1":0,"param2":46,"param3":0}];)"
       R"(zepa/baseRemaps=[])"},
      {"--halvern", "halvern model", 0, "MODEL {halvern/modelAnswer}\n", "1 06 82 01 00 01 00 06",
       ""},
      {"--halvern", "halvern config", 0, "CONFIG 06 84 00 00 01 00 80 00 {halvern/configBlock}\n",
       "1 06 84 00 00 01 00 80 00", ""},
      {"--halvern", "halvern verify", 0, "OK\n", "3 06 04 00 00 01 00 80 00",
       "halvern/configWrites=1"},
      {"--halvern", "halvern lighting ATMEN --color 102030 --brightness 2 --speed 1 --colorful", 0,
       "", "3 06 0a 00 00 00 00 00 02",
       R"(halvern/effect=2; halvern/color={"red":16,"green":32,"blue":48};)"
       R"(halvern/effects/1={"effect":2,"brightness":2,"speed":1,"colorful":true})"},
      {"--halvern", "halvern lighting 11", 0, "", "3",
       R"(halvern/effects/10={"effect":11,"brightness":4,"speed":4,"colorful":false};)"
       R"(halvern/color={"red":0,"green":210,"blue":255})"},
      // A failed query leaves standard output empty: no "MODEL " fragment for a script.
      {"--halvern --fail get:1:EIO", "halvern model", 1,
       "Bestätigung fehlgeschlagen (0xe00002ca).\n", "1 06 82", ""},
      {"--zepa", "halvern config", 1, "Halvern Corvane Pro wurde nicht per USB gefunden.\n", "0",
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    SimMount sim(words(row.sim));
    ZEPA_REQUIRE_SIM(sim);
    const auto outcome = run(sim, words(row.args));
    EXPECT_EQ(outcome.status, row.status);
    std::string said = row.said;
    if (const auto open = said.find('{'); open != std::string::npos) {
      const auto close = said.find('}', open);
      said.replace(open, close - open + 1, stateAt(sim, said.substr(open + 1, close - open - 1)));
    }
    EXPECT_EQ(row.status ? outcome.err : outcome.out, said);
    EXPECT_EQ(row.status ? outcome.out : outcome.err, "");
    EXPECT_EQ(sent(sim, row.sent), row.sent);
    expectState(sim, row.state);
  }
}

// Exit 2, one line naming the problem, then the usage; nothing sent. Help answers the same way
// on standard output, with exit 0.
TEST(Usage, SendsNothing) {
  const std::pair<const char*, const char*> rows[] = {
      {"blink", "Unbekannter Befehl „blink“."},
      {"", "Der Befehl fehlt."},
      {"--device-root / list", "Die Option „--device-root“ ist mehrfach angegeben."},
      {"zepa blink", "Unbekannter Unterbefehl „blink“."},
      {"zepa lighting rolling --colour 00ff00", "Unbekannte Option „--colour“."},
      {"zepa lighting rolling --speed", "Die Option „--speed“ braucht einen Wert."},
      {"halvern lighting wave --speed 1 --speed 2", "Die Option „--speed“ ist mehrfach angegeben."},
      {"zepa lighting", "Der Modus fehlt."},
      {"zepa lighting 20",
       "Unbekannter Modus „20“; erlaubt sind 0 bis 19 oder ein Name aus „zepactl zepa lighting "
       "--help“."},
      {"halvern lighting Rollen",
       "Unbekannter Effekt „Rollen“; erlaubt sind 0 bis 18 oder ein Name aus „zepactl halvern "
       "lighting --help“."},
      {"zepa lighting rolling --color 00d2f",
       "Die Farbe „00d2f“ ist ungültig; erwartet werden sechs Hex-Ziffern RRGGBB oder #RRGGBB, "
       "etwa 00d2ff."},
      {"zepa lighting rolling --brightness -1",
       "Die Option „--brightness“ erwartet eine Zahl von 0 bis 5, nicht „-1“."},
      // Inside a byte but outside the keyboard's range: still a bad call, not a keyboard error.
      {"zepa lighting rolling --brightness 9",
       "Die Option „--brightness“ erwartet eine Zahl von 0 bis 5, nicht „9“."},
      {"zepa lighting rolling --direction 2",
       "Die Option „--direction“ erwartet eine Zahl von 0 bis 1, nicht „2“."},
      {"halvern lighting wave --speed 5",
       "Die Option „--speed“ erwartet eine Zahl von 0 bis 4, nicht „5“."},
      {"zepa keys --brightness 6",
       "Die Option „--brightness“ erwartet eine Zahl von 0 bis 5, nicht „6“."},
      {"zepa remap --fn --save caps=a",
       "„--save“ speichert nur die Grundebene, nicht die Fn-Ebene."},
      {"zepa keys Foo=ff0000", "Unbekannte Taste „Foo“; „zepactl keys“ zeigt alle Namen."},
      {"halvern remap caps=Fn", "Unbekannte Taste „Fn“; „zepactl keys“ zeigt alle Namen."},
      {"halvern remap caps", "„caps“ ist kein Paar QUELLE=ZIEL."},
      {"profile export", "Die Datei fehlt."},
      {"profile rename x", "Unbekannter Unterbefehl „rename“."},
      {"diagnose --verbose", "Unbekannte Option „--verbose“."},
      {"list --json extra", "Unerwartetes Argument „extra“."},
      // "--" ends the options, so what follows is a mode name.
      {"zepa lighting -- --colorful",
       "Unbekannter Modus „--colorful“; erlaubt sind 0 bis 19 oder "
       "ein Name aus „zepactl zepa lighting --help“."},
      {"zepa keys #0=ff0000", "Die Tastennummer „#0“ liegt nicht zwischen #1 und #142."},
      {"zepa remap #143=a", "Die Tastennummer „#143“ liegt nicht zwischen #1 und #142."},
      {"zepa keys esc", "„esc“ ist kein Paar TASTE=RRGGBB."},
      {"zepa remap caps=#14", "Das Ziel „#14“ ist keine Taste der Tastentabelle."},
      {"zepa clock --at 2025-02-29T10:00:00",
       "Die Zeit „2025-02-29T10:00:00“ ist ungültig; erwartet wird JJJJ-MM-TTTHH:MM:SS in "
       "Ortszeit."},
      {"restore --all", "Unbekannte Option „--all“."},
      // Echoed arguments cannot steer the terminal or break the line.
      {"zepa lighting \x1b[2J\xff",
       "Unbekannter Modus „\\x1b[2J\\xff“; erlaubt sind 0 bis 19 oder ein Name aus „zepactl zepa "
       "lighting --help“."},
      {"--help", ""},
      {"-h", ""},
      {"zepa keys Foo=1 --help", ""},
      {"halvern remap -h", ""},
      {"profile import --help", ""},
      {"diagnose --help", ""},
      {"keys --help", ""},
      {"restore --help", ""},
  };
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  for (const auto& [args, problem] : rows) {
    SCOPED_TRACE(args);
    const auto outcome = run(sim, words(args));
    const std::string head = *problem ? "zepactl: " + std::string(problem) + "\n" : "";
    EXPECT_EQ(outcome.status, *problem ? 2 : 0);
    EXPECT_EQ(*problem ? outcome.out : outcome.err, "");
    EXPECT_TRUE((*problem ? outcome.err : outcome.out).starts_with(head + "Aufruf: zepactl"))
        << outcome.err << outcome.out;
  }
  EXPECT_EQ(sim.readLog().size(), 0u);
}

TEST(Conventions, VersionIsTheProjects) {
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome = run(sim, {"--version"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "zepactl " + std::string(zepa::projectVersion) + "\n");
}

// On a pipe it stays away: the command rows expect nothing on standard error.
TEST(Progress, ShownOnATerminal) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  const auto shown = run(sim, {"zepa", "remap", "caps=a"}, true);
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("\rTastenbelegung wird übertragen … 100 %"), std::string::npos)
      << shown.err;
}

// The percentage is worked out from the pauses a transfer makes; if the device made more or
// fewer, the line would stall or reach its end too early. A write-back the keyboard stored
// wrongly is a failure.
TEST(InProcess, ProgressCountsEveryPauseAndVerifyReportsAMismatch) {
  using namespace zepa::cli;
  const struct {
    std::variant<ZEPAKeysRequest, ZEPARemapRequest, HalvernQueryRequest> command;
    int status, pauses;
    std::string out, errEnd;
  } rows[] = {
      {ZEPAKeysRequest{{{1, {255, 0, 0}}}, 5, false}, 0, perKeyPauses, "", "… 100 %\n"},
      {ZEPARemapRequest{{}, true, false}, 0, remapPauses, "", "… 100 %\n"},
      {HalvernQueryRequest{HalvernQuery::verify, false}, 1, 5, "MISMATCH\n",
       "Der zurückgelesene Konfigurationsblock weicht vom geschriebenen ab.\n"},
  };
  for (const auto& row : rows) {
    auto backend = std::make_shared<zepa::sim::InProcessBackend>();
    backend->halvern().corruptOnWrite(120);
    int pauses = 0;
    std::ostringstream out, err;
    DeviceContext context{backend, [&](auto) { ++pauses; }, zepa::systemCalendar(), out, err, true};
    const int status =
        std::visit([&](const auto& request) { return run(context, request); }, row.command);
    EXPECT_EQ(status, row.status) << err.str();
    EXPECT_EQ(pauses, row.pauses);
    EXPECT_EQ(out.str(), row.out);
    EXPECT_TRUE(err.str().ends_with(row.errEnd)) << err.str();
    EXPECT_EQ(err.str().find("100 %"), err.str().rfind("100 %")) << err.str();
  }
}

#ifdef ZEPACTL_WITH_STORES
const fs::path homesDir =
    fs::path(testing::TempDir()) / ("zepactl-homes-" + std::to_string(getpid()));

// What the application stored, as words: "keys:N" a profile with Esc red and brightness N,
// "plain:N" one without key colours, "damaged" a profile file that does not decode, "lit" the
// Halvern breathing, "caps" its Caps Lock to Left Control, "noremaps" an empty Halvern list.
// QSettings fixes its folder on first use, so the process keeps one configuration home; each
// call clears the keys and gets a data home of its own.
const fs::path settingsFile = homesDir / "config/ZEPA Control/ZEPA Control.conf";

// Settings files the application cannot fully read, for "conf=NAME".
const std::map<std::string, std::string> damagedSettings = {
    {"garbage", "[General]\nhalvern\x01\xff\xfe\n"},
    {"truncated", "[General]\nhalvernLighting=\"@ByteArray({\\\"effect\\\":1"},
    {"wrongtype", "[General]\nhalvernLighting=3\n"},
    {"variant", "[General]\nhalvernLighting=@Variant(\\0\\0\\0\\x7f\\0)\n"},
};

void store(const std::string& words, const fs::path& dataHome) {
  fs::create_directories(dataHome);
  setenv("XDG_CONFIG_HOME", (homesDir / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  fs::remove(settingsFile);
  zepa::SettingsStore settings;
  settings.remove(zepa::SettingsStore::halvernLightingKey);
  settings.remove(zepa::SettingsStore::halvernRemapsKey);
  const zepa::ProfileStore profiles;
  ASSERT_TRUE(profiles.path().startsWith(QString::fromStdString(dataHome.string())));
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
    if (word == "caps") settings.setHalvernRemaps({{0x39, zepa::RemapAction::key, 0, 0xE0, 0}});
    if (word == "noremaps") settings.setHalvernRemaps({});
    // Longer than the kernel takes as one argument.
    if (word == "manyremaps")
      settings.setHalvernRemaps(std::vector<zepa::KeyRemap>(
          3000, zepa::KeyRemap{0x39, zepa::RemapAction::key, 0, 0xE0, 0}));
    if (word.starts_with("conf=")) {
      fs::create_directories(settingsFile.parent_path());
      std::ofstream(settingsFile) << damagedSettings.at(word.substr(5));
    }
  }
}

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Restore, ReappliesWhatWasStored) {
  const std::string zepaDone =
      "ZEPA VX10: Beleuchtung wiederhergestellt\n"
      "ZEPA VX10: Einzeltastenfarben wiederhergestellt\n"
      "ZEPA VX10: Tastenbelegung wiederhergestellt\n";
  const std::string halvernDone =
      "Halvern Corvane Pro 108: Beleuchtung wiederhergestellt\n"
      "Halvern Corvane Pro 108: Tastenbelegung wiederhergestellt\n";
  const std::string noZepa = "ZEPA VX10: nicht angeschlossen, übersprungen\n";
  const std::string noHalvern = "Halvern Corvane Pro 108: nicht angeschlossen, übersprungen\n";
  const std::string halvernNoLighting = "Halvern Corvane Pro 108: keine gespeicherte Beleuchtung\n";
  const std::string halvernNoRemaps =
      "Halvern Corvane Pro 108: keine gespeicherte Tastenbelegung\n";
  // Lighting 5 + per-key 18 + remaps 13; Halvern lighting: read request, configuration, colour.
  const int zepaWrites = 5 + 18 + 13, halvernWrites = 3;
  const std::string zepaRestored =
      R"(zepa/baseRemaps=[{"index":55,"action":2,"param1":1,"param2":0,"param3":0}]; )";
  const std::string escRed =
      R"(zepa/perKeyColors=[{"index":1,"key":1,"red":255,"green":0,"blue":0}]; )";
  // Caps Lock (scancode 0x70039) gives KEY_LEFTCTRL.
  const std::string halvernRestored =
      R"(halvern/keyMap=[{"scancode":458809,"usage":57,"keycode":29}]; )"
      R"(halvern/effects/1={"effect":2,"brightness":3,"speed":2,"colorful":false}; )"
      R"(halvern/color={"red":9,"green":8,"blue":7})";
  const struct {
    const char* sim;
    std::string stored;  // see store()
    int status;
    std::string out, err;  // the start of standard error
    int writes;
    std::string state;  // see expectState()
  } rows[] = {
      {"", "keys:4 lit caps", 0, zepaDone + halvernDone, "", zepaWrites + halvernWrites,
       zepaRestored + escRed + "zepa/lighting/brightness=4; " + halvernRestored},
      {"--zepa", "keys:4 lit caps", 0, zepaDone + noHalvern, "", zepaWrites, zepaRestored + escRed},
      {"--halvern", "keys:4 lit caps", 0, noZepa + halvernDone, "", halvernWrites, halvernRestored},
      {"", "", 0,
       "ZEPA VX10: kein gespeichertes Profil, übersprungen\n" + halvernNoLighting + halvernNoRemaps,
       "", 0, "halvern/keyMap=[]"},
      // Sending an empty colour table would switch the lighting off again.
      {"--zepa", "plain:5 noremaps", 0,
       "ZEPA VX10: Beleuchtung wiederhergestellt\nZEPA VX10: keine Einzeltastenfarben "
       "gespeichert\nZEPA VX10: Tastenbelegung wiederhergestellt\n" +
           noHalvern,
       "", 5 + 13, zepaRestored + "zepa/lighting/effect=7; zepa/lighting/perKeyMode=false"},
      // The other steps still run; the failing one is named with the keyboard's text.
      {"--zepa", "keys:9", 1, "ZEPA VX10: Tastenbelegung wiederhergestellt\n" + noHalvern,
       "ZEPA VX10: Beleuchtung fehlgeschlagen: Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.\n"
       "ZEPA VX10: Einzeltastenfarben fehlgeschlagen: Helligkeit muss 0–5 sein.\n",
       13, zepaRestored + "zepa/perKeyColors=[]"},
      // A damaged profile is not replaced by defaults on the keyboard.
      {"", "damaged lit", 1,
       "Halvern Corvane Pro 108: Beleuchtung wiederhergestellt\n" + halvernNoRemaps,
       "ZEPA VX10: Das gespeicherte Profil ", halvernWrites,
       "zepa/lighting=null; halvern/effect=2"},
      // A settings file that cannot be fully read is not taken for "nothing stored".
      {"--halvern", "caps conf=garbage", 1, noZepa,
       "Halvern Corvane Pro 108: Die Einstellungsdatei ", 0, ""},
      {"--halvern", "caps conf=truncated", 1, noZepa,
       "Halvern Corvane Pro 108: Die Einstellungsdatei ", 0, ""},
      {"--halvern", "caps conf=wrongtype", 1, noZepa,
       "Halvern Corvane Pro 108: Die Einstellungsdatei ", 0, ""},
      {"--halvern", "caps conf=variant", 1, noZepa,
       "Halvern Corvane Pro 108: Die Einstellungsdatei ", 0, ""},
      {"--halvern", "manyremaps", 1, noZepa + halvernNoLighting,
       "Halvern Corvane Pro 108: Tastenbelegung fehlgeschlagen: Die Tastenbelegung ist zu "
       "umfangreich, um sie an zepa-keymap zu übergeben.",
       0, ""},
      // zepa-keymap's own line reaches the user; "noinput" takes away the node the map lives on.
      {"--halvern", "caps noinput", 1, noZepa + halvernNoLighting,
       "Halvern Corvane Pro 108: Tastenbelegung fehlgeschlagen: Keine passende Tastatur gefunden",
       0, ""},
  };
  for (int index = 0; const auto& row : rows) {
    SCOPED_TRACE(row.stored);
    store(row.stored, homesDir / "data" / std::to_string(index++));
    SimMount sim(words(row.sim));
    ZEPA_REQUIRE_SIM(sim);
    if (row.stored.ends_with("noinput")) fs::remove_all(sim.root() / "sys/class/input");
    const auto outcome = run(sim, {"restore"});
    EXPECT_EQ(outcome.status, row.status);
    EXPECT_EQ(outcome.out, row.out);
    EXPECT_EQ(outcome.err.substr(0, row.err.empty() ? std::string::npos : row.err.size()), row.err);
    EXPECT_EQ(sent(sim, ""), std::to_string(row.writes));
    expectState(sim, row.state);
    const auto conf = row.stored.find("conf=");
    if (conf != std::string::npos) {
      EXPECT_EQ(fileBytes(settingsFile), damagedSettings.at(row.stored.substr(conf + 5)));
      // Qt's own English warnings about the file stay off the terminal.
      EXPECT_EQ(outcome.err.find("QVariant"), std::string::npos) << outcome.err;
    }
  }
  fs::remove_all(homesDir);
}
#endif

}  // namespace
