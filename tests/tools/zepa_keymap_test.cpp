// zepa-keymap: the whole-map writes against recording keycode tables, the command line through
// the real program, and the real program against a mounted simulator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/hid/linux_keycodes.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/keymap/key_map_writer.hpp"
#include "tools/keymap/key_mapping_request.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using zepa::keymap::KeymapError;
using zepa::keymap::KeyPair;

// ---------------------------------------------------------------------------------------------
// Whole-map writes

std::uint32_t defaultKeycode(std::uint8_t usage) {
  return zepa::hid::linuxKeycode(usage).value_or(0);
}

KeyPair pair(std::uint8_t source, std::uint8_t target) {
  return {source, target, *zepa::hid::linuxKeycode(target)};
}

// An input node's keymap as the kernel keeps it; set calls can be made to fail.
class RecordingKeycodeTable final : public zepa::keymap::KeycodeTable {
 public:
  // A keyboard whose reports carry usages 0x00 to `lastUsage`, or none at all.
  explicit RecordingKeycodeTable(int lastUsage) {
    for (int usage = 0; usage <= lastUsage; ++usage) {
      keys[static_cast<std::uint8_t>(usage)] = defaultKeycode(static_cast<std::uint8_t>(usage));
    }
  }

  int keycode(std::uint8_t usage, std::uint32_t& keycode) override {
    if (getError != 0) return getError;
    const auto it = keys.find(usage);
    if (it == keys.end()) return EINVAL;
    keycode = it->second;
    return 0;
  }

  int setKeycode(std::uint8_t usage, std::uint32_t keycode) override {
    ++sets;
    if (failSetAt != 0 && (sets == failSetAt || (failEverySetAfter && sets > failSetAt))) {
      return EIO;
    }
    const auto it = keys.find(usage);
    if (it == keys.end()) return EINVAL;
    it->second = keycode;
    return 0;
  }

  // Entries that differ from the kernel's default, "usage=keycode" in hex.
  std::string changes() const {
    std::string text;
    for (const auto& [usage, keycode] : keys) {
      if (keycode == defaultKeycode(usage)) continue;
      char entry[16];
      std::snprintf(entry, sizeof entry, "%s%02x=%04x", text.empty() ? "" : " ", usage, keycode);
      text += entry;
    }
    return text;
  }

  std::map<std::uint8_t, std::uint32_t> keys;
  int getError = 0;
  int failSetAt = 0;  // 1-based; 0 never
  bool failEverySetAfter = false;
  int sets = 0;
};

struct WriteCase {
  const char* name;
  int firstLastUsage, secondLastUsage;  // the usages the two nodes' reports carry
  std::vector<std::pair<std::uint8_t, std::uint32_t>> before;  // on the first node
  std::vector<KeyPair> pairs;
  int getError, failSetAt;  // on the first node
  bool failEverySetAfter;
  const char* error;  // part of the message; empty for success
  const char* firstAfter;
  const char* secondAfter;
};
void PrintTo(const WriteCase& c, std::ostream* os) {
  *os << c.name;
}

class KeyMapWrites : public testing::TestWithParam<WriteCase> {};

TEST_P(KeyMapWrites, LeaveTheExpectedMap) {
  const auto& c = GetParam();
  RecordingKeycodeTable first(c.firstLastUsage), second(c.secondLastUsage);
  for (const auto& [usage, keycode] : c.before) first.keys[usage] = keycode;
  first.getError = c.getError;
  first.failSetAt = c.failSetAt;
  first.failEverySetAfter = c.failEverySetAfter;
  const zepa::keymap::KeymapTarget targets[] = {{"/dev/input/event4", &first},
                                                {"/dev/input/event5", &second}};
  std::string error;
  try {
    zepa::keymap::applyKeyMap(targets, c.pairs);
  } catch (const KeymapError& e) {
    error = e.what();
  }
  EXPECT_EQ(error.empty(), *c.error == '\0') << error;
  EXPECT_NE(error.find(c.error), std::string::npos) << error;
  EXPECT_EQ(first.changes(), c.firstAfter);
  EXPECT_EQ(second.changes(), c.secondAfter);
}

constexpr int kAll = 0xFF, kNone = -1;
// Maps are written as the entries that differ from the kernel's, "usage=keycode" in hex.
INSTANTIATE_TEST_SUITE_P(
    Nodes, KeyMapWrites,
    testing::Values(
        // Caps Lock gives KEY_LEFTCTRL (0x1d), only on the node whose reports carry it.
        WriteCase{"PairOnlyWhereTheNodeHasTheKey",
                  kAll,
                  0x65,
                  {},
                  {pair(0x39, 0xE0), pair(0xE4, 0x04)},
                  0,
                  0,
                  false,
                  "",
                  "39=001d e4=001e",
                  "39=001d"},
        // Usages without a kernel key go back to KEY_RESERVED.
        WriteCase{"EmptyListRestoresDefaults",
                  kAll,
                  kNone,
                  {{0x04, 48}, {0x02, 30}, {0xFF, 1}},
                  {},
                  0,
                  0,
                  false,
                  "",
                  "",
                  ""},
        WriteCase{"LaterPairForTheSameKeyWins",
                  kAll,
                  kNone,
                  {{0x04, 48}},
                  {pair(0x39, 0xE0), pair(0x39, 0x29)},
                  0,
                  0,
                  false,
                  "",
                  "39=0001",
                  ""},
        WriteCase{"KeyNoNodeHasChangesNothing",
                  0x65,
                  kNone,
                  {{0x04, 48}},
                  {pair(0x39, 0xE0), pair(0xE0, 0x39)},
                  0,
                  0,
                  false,
                  "Eintrag 2 der Tastenbelegung: Die Tastatur hat keine Taste mit der HID-Nutzung "
                  "0xe0.",
                  "04=0030",
                  ""},
        WriteCase{"NoNodeTakesKeyboardUsages",
                  kNone,
                  kNone,
                  {},
                  {pair(0x39, 0xE0)},
                  0,
                  0,
                  false,
                  "nimmt keine Tastenbelegung an",
                  "",
                  ""},
        WriteCase{"ReadFailureChangesNothing",
                  kAll,
                  kAll,
                  {{0x04, 48}},
                  {pair(0x39, 0xE0)},
                  EIO,
                  0,
                  false,
                  "Die Tastenbelegung von /dev/input/event4 konnte nicht gelesen werden (Fehler "
                  "0xe00002ca).",
                  "04=0030",
                  ""},
        WriteCase{"FailedWriteIsRolledBack",
                  kAll,
                  kNone,
                  {{0x04, 48}},
                  {pair(0x39, 0xE0)},
                  0,
                  257,
                  false,
                  "Die Tastenbelegung konnte auf /dev/input/event4 nicht gesetzt werden (Fehler "
                  "0xe00002ca). Die bisherige Belegung bleibt bestehen.",
                  "04=0030",
                  ""},
        // The reset of usage 0x00 went through and could not be taken back.
        WriteCase{"FailedRollBackIsReported",
                  kAll,
                  kNone,
                  {{0x00, 48}},
                  {pair(0x39, 0xE0)},
                  0,
                  3,
                  true,
                  "nicht vollständig wiederhergestellt werden; bitte die Tastatur neu",
                  "",
                  ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The real program

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs zepa-keymap with these arguments and collects both output streams.
Outcome runKeymap(const std::vector<std::string>& args) {
  const std::string program = std::string(ZEPA_BIN_DIR) + "/zepa-keymap";
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
    posix_spawn_file_actions_addclose(&actions, fd);
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  Outcome outcome;
  pollfd fds[] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[] = {&outcome.out, &outcome.err};
  int open = spawned == 0 ? 2 : 0;
  while (open > 0 && poll(fds, 2, 10000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[512];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    outcome.status = WEXITSTATUS(status);
  }
  return outcome;
}

const std::string kMatch =
    R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})";
const std::string kCapsToControl =
    R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,"HIDKeyboardModifierMappingDst":30064771296}]})";

std::string mapping(const std::string& entries) {
  return R"({"UserKeyMapping":[)" + entries + "]}";
}
std::string entry(const std::string& source, const std::string& target) {
  return R"({"HIDKeyboardModifierMappingSrc":)" + source + R"(,"HIDKeyboardModifierMappingDst":)" +
         target + "}";
}

struct CallCase {
  const char* name;
  std::vector<std::string> args;  // after "--device-root EMPTY property", or all after "!"
  std::string err;
};
void PrintTo(const CallCase& c, std::ostream* os) {
  *os << c.name;
}

class KeymapCall : public testing::TestWithParam<CallCase> {};

// Every argument error is found before any device is looked at; a valid call finds no keyboard
// in an empty folder.
TEST_P(KeymapCall, ExitsWithItsOneLine) {
  const auto& c = GetParam();
  const fs::path empty = fs::path(testing::TempDir()) / "zepa-keymap-empty";
  fs::create_directories(empty);
  std::vector<std::string> args{"--device-root", empty.string(), "property"};
  if (!c.args.empty() && c.args.front() == "!") args.clear();
  for (const auto& arg : c.args) {
    if (arg != "!") args.push_back(arg);
  }
  const Outcome outcome = runKeymap(args);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, c.err + "\n");
  EXPECT_EQ(outcome.out, "");
}

const std::string kCaps = "30064771129", kControl = "30064771296";
std::vector<std::string> withMatch(const std::string& match) {
  return {"--matching", match, "--set", kCapsToControl};
}
std::vector<std::string> withSet(const std::string& property) {
  return {"--matching", kMatch, "--set", property};
}
const std::string kUsageError =
    "Ungültiger Aufruf. Erwartet: zepa-keymap [--device-root VERZEICHNIS] property --matching "
    "JSON --set JSON";
const std::string kOffPage = " ist keine Taste der Tastaturseite (0x700000000 bis 0x7000000ff).";

INSTANTIATE_TEST_SUITE_P(
    Arguments, KeymapCall,
    testing::Values(
        CallCase{"ValidCallWithoutKeyboard", withSet(kCapsToControl),
                 "Keine passende Tastatur gefunden (Hersteller 0x258a, Produkt 0x010c, "
                 "Nutzungsseite 0x01, Nutzung 0x06). Bitte die Tastatur anschließen und es "
                 "erneut versuchen."},
        CallCase{"NoArguments", {"!"}, kUsageError},
        CallCase{"MissingSet", {"--matching", kMatch}, kUsageError},
        CallCase{"RepeatedOption", {"--matching", kMatch, "--matching", kMatch}, kUsageError},
        CallCase{
            "ExtraArgument", {"--matching", kMatch, "--set", kCapsToControl, "x"}, kUsageError},
        CallCase{
            "EmptyDeviceRoot",
            {"!", "--device-root", "", "property", "--matching", kMatch, "--set", kCapsToControl},
            kUsageError},
        CallCase{"MatchNotJSON", withMatch("{VendorID:1}"),
                 "Die Geräteauswahl (--matching) ist kein gültiges JSON (Fehler bei Zeichen 2)."},
        CallCase{"MatchMissingKey",
                 withMatch(R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1})"),
                 "Die Geräteauswahl (--matching) braucht den Schlüssel „PrimaryUsage“."},
        CallCase{"MatchUnknownKey",
                 withMatch(R"({"VendorID":9610,"ProductID":268,)"
                           R"("PrimaryUsagePage":1,"PrimaryUsage":6,"X":1})"),
                 "Die Geräteauswahl (--matching) enthält den unbekannten Schlüssel „X“."},
        CallCase{"MatchIDAsText",
                 withMatch(R"({"VendorID":"9610","ProductID":268,)"
                           R"("PrimaryUsagePage":1,"PrimaryUsage":6})"),
                 "Die Geräteauswahl (--matching): „VendorID“ muss eine ganze Zahl sein."},
        CallCase{"MatchNegativeID",
                 withMatch(R"({"VendorID":9610,"ProductID":-1,)"
                           R"("PrimaryUsagePage":1,"PrimaryUsage":6})"),
                 "Die Geräteauswahl (--matching): „ProductID“ liegt außerhalb von 0 bis "
                 "4294967295."},
        CallCase{"KeyWithLineBreak", withMatch(R"({"A\nB":1})"),
                 "Die Geräteauswahl (--matching) enthält den unbekannten Schlüssel „A?B“."},
        CallCase{"SetNotJSON", withSet(R"({"UserKeyMapping":[)"),
                 "Die Tastenbelegung (--set) ist kein gültiges JSON (Fehler bei Zeichen 20)."},
        CallCase{"SetWithoutList", withSet(R"({"UserKeyMapping":{}})"),
                 "Die Tastenbelegung (--set) braucht eine Liste „UserKeyMapping“."},
        CallCase{"SetOtherProperty", withSet(R"({"UserKeyMapping":[],"CapsLockDelayOverride":0})"),
                 "Die Tastenbelegung (--set) enthält den nicht unterstützten Schlüssel "
                 "„CapsLockDelayOverride“."},
        CallCase{
            "EntryWithoutDst",
            withSet(mapping(entry(kCaps, kControl) + R"(,{"HIDKeyboardModifierMappingSrc":1})")),
            "Eintrag 2 der Tastenbelegung braucht „HIDKeyboardModifierMappingSrc“ und "
            "„HIDKeyboardModifierMappingDst“."},
        CallCase{"EntryUnknownKey",
                 withSet(mapping(R"({"HIDKeyboardModifierMappingSrc":1,)"
                                 R"("HIDKeyboardModifierMappingDst":1,"X":1})")),
                 "Eintrag 1 der Tastenbelegung enthält den unbekannten Schlüssel „X“."},
        CallCase{"UsageAsFloat", withSet(mapping(entry("30064771129.0", kControl))),
                 "Eintrag 1 der Tastenbelegung: „HIDKeyboardModifierMappingSrc“ muss eine ganze "
                 "Zahl sein."},
        CallCase{"UsageWithoutPage", withSet(mapping(entry("57", kControl))),
                 "Eintrag 1 der Tastenbelegung: 57 in „HIDKeyboardModifierMappingSrc“" + kOffPage},
        CallCase{"UsageJustPastThePage", withSet(mapping(entry(kCaps, "30064771328"))),
                 "Eintrag 1 der Tastenbelegung: 30064771328 in „HIDKeyboardModifierMappingDst“" +
                     kOffPage},
        CallCase{"UsageWithoutKeycode",
                 withSet(mapping(entry(kCaps, kControl) + "," + entry(kCaps, "30064771075"))),
                 "Eintrag 2 der Tastenbelegung: Linux kennt für die HID-Taste 0x03 keinen "
                 "Tastencode."}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Against the simulator

// Every event node's entries that differ from the kernel's, read back with EVIOCGKEYCODE_V2:
// "event2 39=001d".
std::string eventNodeMaps(const fs::path& root) {
  std::string text;
  std::vector<fs::path> nodes;
  for (const auto& node : fs::directory_iterator(root / "dev/input")) nodes.push_back(node);
  std::sort(nodes.begin(), nodes.end());
  for (const auto& node : nodes) {
    const int fd = open(node.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return node.filename().string() + " cannot be opened";
    std::string changes;
    for (std::uint32_t usage = 0; usage <= 0xFF; ++usage) {
      input_keymap_entry entry{};
      const std::uint32_t scancode = 0x70000 | usage;
      std::memcpy(entry.scancode, &scancode, sizeof scancode);
      entry.len = sizeof scancode;
      if (ioctl(fd, EVIOCGKEYCODE_V2, &entry) != 0) continue;
      if (entry.keycode == defaultKeycode(static_cast<std::uint8_t>(usage))) continue;
      char item[16];
      std::snprintf(item, sizeof item, " %02x=%04x", usage, entry.keycode);
      changes += item;
    }
    close(fd);
    if (!changes.empty()) text += (text.empty() ? "" : "; ") + node.filename().string() + changes;
  }
  return text;
}

// The simulator's own record of the Halvern map, in the same form.
std::string stateFileMap(const nlohmann::json& state) {
  std::string changes;
  for (const auto& entry : state.at("keyMap")) {
    char item[16];
    std::snprintf(item, sizeof item, " %02x=%04x", entry.at("usage").get<unsigned>(),
                  entry.at("keycode").get<unsigned>());
    changes += item;
  }
  return changes.empty() ? "" : "event2" + changes;
}

struct SimStep {
  const char* name;
  std::string match, property;
  std::string err;  // start of the line; empty: success
  std::string after;
};

const std::string kUnchanged = "event2 05=001e";

// One simulator for the whole sequence: each step starts from the map the one before left.
// The unrelated keyboard on event0 must never change.
TEST(KeymapOnSimulator, EachCallSetsTheWholeMapOrNothing) {
  const std::string otherProduct =
      R"({"VendorID":9610,"ProductID":269,"PrimaryUsagePage":1,"PrimaryUsage":6})";
  const SimStep steps[] = {
      {"CapsToControl", kMatch, kCapsToControl, "", "event2 39=001d"},
      {"SeveralPairs", kMatch,
       mapping(entry(kCaps, kControl) + "," + entry("30064771076", "30064771077") + "," +
               entry(kControl, kCaps)),
       "", "event2 04=0030 39=001d e0=003a"},
      {"SecondCallReplacesTheFirst", kMatch, mapping(entry("30064771077", "30064771076")), "",
       "event2 05=001e"},
      {"BadJSON", kMatch, "{", "Die Tastenbelegung (--set) ist kein gültiges JSON", kUnchanged},
      {"MissingKey", kMatch, R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":1}]})",
       "Eintrag 1 der Tastenbelegung braucht", kUnchanged},
      {"OffThePage", kMatch, mapping(entry(kCaps, "57")), "Eintrag 1 der Tastenbelegung: 57 in",
       kUnchanged},
      {"UnknownUsage", kMatch, mapping(entry(kCaps, "30064771072")),
       "Eintrag 1 der Tastenbelegung: Linux kennt für die HID-Taste 0x00", kUnchanged},
      {"NoMatchingDevice", otherProduct, kCapsToControl, "Keine passende Tastatur gefunden",
       kUnchanged},
      {"EmptyListRestoresDefaults", kMatch, R"({"UserKeyMapping":[]})", "", ""},
  };
  zepa::test::SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  for (const auto& step : steps) {
    const Outcome outcome = runKeymap({"--device-root", sim.root().string(), "property",
                                       "--matching", step.match, "--set", step.property});
    EXPECT_EQ(outcome.status, step.err.empty() ? 0 : 1) << step.name;
    EXPECT_EQ(outcome.err.find(step.err), 0u) << step.name << ": " << outcome.err;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), step.err.empty() ? 0 : 1)
        << step.name << ": " << outcome.err;
    EXPECT_EQ(eventNodeMaps(sim.root()), step.after) << step.name;
    EXPECT_EQ(stateFileMap(sim.stateJson("halvern")), step.after) << step.name;
  }
}

TEST(KeymapOnSimulator, RefusedNodeNamesTheUdevRule) {
  zepa::test::SimMount sim({"--halvern", "--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  const Outcome outcome = runKeymap({"--device-root", sim.root().string(), "property", "--matching",
                                     kMatch, "--set", kCapsToControl});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "Linux verweigert den Zugriff auf " + sim.root().string() +
                             "/dev/input/event0. Bitte die udev-Regel von ZEPA Control "
                             "installieren (zepa-control --print-udev-rules) und die Tastatur "
                             "neu verbinden.\n");
  EXPECT_EQ(stateFileMap(sim.stateJson("halvern")), "");
}

}  // namespace
