// zepactl as a real process against zepa-sim: every command, the usage errors that must send
// nothing, and restoring what the application stored; plus the progress line and the
// verification mismatch against the in-process keyboards.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/zepa_error.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/cli/device_commands.hpp"
#include "tools/sim/in_process_backend.hpp"
#ifdef ZEPACTL_WITH_STORES
#include "app/model/profile_store.hpp"
#include "app/model/settings_store.hpp"
#endif

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using zepa::test::SimMount;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs zepactl to its end. With `terminal` its standard error is a pseudo-terminal.
Outcome runZepactl(const std::vector<std::string>& args, bool terminal = false) {
  const std::string program = std::string(ZEPA_BIN_DIR) + "/zepactl";
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return {};
  std::string terminalName;
  if (terminal) {
    close(errPipe[1]);
    close(errPipe[0]);
    errPipe[0] = posix_openpt(O_RDWR | O_NOCTTY);
    if (errPipe[0] < 0 || grantpt(errPipe[0]) != 0 || unlockpt(errPipe[0]) != 0) return {};
    terminalName = ptsname(errPipe[0]);
    errPipe[1] = open(terminalName.c_str(), O_RDWR | O_NOCTTY);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
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
  while (open > 0 && poll(fds, 2, 20000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        // A terminal whose last writer has gone answers EIO instead of end of file.
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

std::vector<std::string> withRoot(const SimMount& sim, std::vector<std::string> args) {
  args.insert(args.begin(), {"--device-root", sim.root().string()});
  return args;
}

int countOf(const std::vector<zepa::sim::LogEntry>& log, const char* op) {
  int count = 0;
  for (const auto& entry : log) count += entry.op == op;
  return count;
}

// Whether some written report begins with these bytes.
bool wroteReport(const std::vector<zepa::sim::LogEntry>& log, const std::string& prefix) {
  for (const auto& entry : log) {
    if (entry.op == "SET" && zepa::hexBytes(entry.bytes).starts_with(prefix)) return true;
  }
  return false;
}

std::string writtenReports(const std::vector<zepa::sim::LogEntry>& log) {
  std::string text;
  for (const auto& entry : log) {
    if (entry.op == "SET") text += "  " + zepa::hexBytes(entry.bytes, 16) + "\n";
  }
  return text;
}

// A value in a keyboard's state file, addressed as "zepa/lighting/report".
struct StateCheck {
  std::string pointer;
  std::string expected;  // JSON text
};

void expectState(const SimMount& sim, const std::vector<StateCheck>& checks) {
  for (const auto& check : checks) {
    const std::size_t slash = check.pointer.find('/');
    const json state = sim.stateJson(check.pointer.substr(0, slash));
    const json::json_pointer pointer(check.pointer.substr(slash));
    ASSERT_TRUE(state.contains(pointer)) << check.pointer;
    EXPECT_EQ(state.at(pointer), json::parse(check.expected)) << check.pointer;
  }
}

// ---------------------------------------------------------------------------------------------
// Commands

struct CommandCase {
  const char* name;
  std::vector<std::string> sim;   // zepa-sim arguments
  std::vector<std::string> args;  // after --device-root
  int status;
  std::string out;  // "=pointer" compares with a state string after the given prefix
  std::string err;
  int writes;          // feature reports written
  std::string report;  // some written report begins with these bytes
  std::vector<StateCheck> state;
};
void PrintTo(const CommandCase& c, std::ostream* os) {
  *os << c.name;
}

class Commands : public testing::TestWithParam<CommandCase> {};

TEST_P(Commands, LeavesTheKeyboardAsAsked) {
  const auto& c = GetParam();
  SimMount sim(c.sim);
  ZEPA_REQUIRE_SIM(sim);
  const Outcome outcome = runZepactl(withRoot(sim, c.args));
  EXPECT_EQ(outcome.status, c.status) << outcome.err;
  EXPECT_EQ(outcome.err, c.err);
  if (c.out.starts_with("=")) {
    // "=keyboard/pointer:prefix": the prefix, then that string of the state file.
    const std::size_t colon = c.out.find(':');
    const std::string pointer = c.out.substr(1, colon - 1);
    const std::size_t slash = pointer.find('/');
    const json state = sim.stateJson(pointer.substr(0, slash));
    EXPECT_EQ(outcome.out,
              c.out.substr(colon + 1) +
                  state.at(json::json_pointer(pointer.substr(slash))).get<std::string>() + "\n");
  } else {
    EXPECT_EQ(outcome.out, c.out);
  }
  const auto log = sim.readLog();
  EXPECT_EQ(countOf(log, "SET"), c.writes) << writtenReports(log);
  if (!c.report.empty()) {
    EXPECT_TRUE(wroteReport(log, c.report)) << "expected " << c.report << "\nwritten:\n"
                                            << writtenReports(log);
  }
  expectState(sim, c.state);
}

const std::vector<std::string> kZepa{"--zepa"}, kHalvern{"--halvern"}, kBoth{};
const std::string kNoZepa = "ZEPA VX10 nicht gefunden. Bitte per USB-C-Kabel verbinden.\n";
const std::string kNoHalvern = "Halvern Corvane Pro wurde nicht per USB gefunden.\n";

INSTANTIATE_TEST_SUITE_P(
    Keyboards, Commands,
    testing::Values(
        CommandCase{"ListBoth",
                    kBoth,
                    {"list"},
                    0,
                    "zepa ZEPA VX10\nhalvern Halvern Corvane Pro 108\n",
                    "",
                    0,
                    "",
                    {}},
        CommandCase{"ListHalvernOnly",
                    kHalvern,
                    {"list"},
                    0,
                    "halvern Halvern Corvane Pro 108\n",
                    "",
                    0,
                    "",
                    {}},
        CommandCase{"LightingDefaults",
                    kZepa,
                    {"zepa", "lighting", "rolling"},
                    0,
                    "",
                    "",
                    5,
                    "0b 00 d2 ff 00 00 00 00 00 05 03 00 00 00 aa 55",
                    {{"zepa/lighting/effect", "11"}}},
        CommandCase{"LightingEveryOption",
                    kZepa,
                    {"zepa", "lighting", "10", "--color", "FF8000", "--brightness", "2",
                     "--speed=4", "--direction", "1", "--colorful"},
                    0,
                    "",
                    "",
                    5,
                    "0a ff 80 00 00 00 00 00 01 02 04 01 00 00 aa 55",
                    {{"zepa/lighting/direction", "1"}}},
        CommandCase{"LightingNameInAnyCase",
                    kZepa,
                    {"zepa", "lighting", "STATICCOLOR", "--color", "010203"},
                    0,
                    "",
                    "",
                    5,
                    "01 01 02 03 00 00 00 00 00 05 03 00 00 00 aa 55",
                    {}},
        // 6 fits a byte, so the keyboard's own rule speaks.
        CommandCase{"LightingBrightnessLeftToTheDevice",
                    kZepa,
                    {"zepa", "lighting", "breath", "--brightness", "6"},
                    1,
                    "",
                    "Helligkeit/Tempo müssen 0–5, Richtung 0–1 sein.\n",
                    0,
                    "",
                    {{"zepa/lighting", "null"}}},
        CommandCase{"LightingWithoutKeyboard",
                    kHalvern,
                    {"zepa", "lighting", "off"},
                    1,
                    "",
                    kNoZepa,
                    0,
                    "",
                    {}},
        CommandCase{"LightingRefusedWrite",
                    {"--zepa", "--fail", "set:2:EPIPE"},
                    {"zepa", "lighting", "off"},
                    1,
                    "",
                    "Senden fehlgeschlagen (0xe000404f).\n",
                    1,
                    "04 18",
                    {{"zepa/lighting", "null"}}},
        CommandCase{
            "ClockAt",
            kZepa,
            {"zepa", "clock", "--at", "2025-03-09T14:05:07"},
            0,
            "",
            "",
            4,
            "00 01 5a 19 03 09 0e 05 07 00 00 00",
            {{"zepa/clock", R"({"profile":1,"year":2025,"month":3,"day":9,"hour":14,"minute":5,)"
                            R"("second":7,"weekday":0})"}}},
        CommandCase{"ClockYearTheKeyboardCannotShow",
                    kZepa,
                    {"zepa", "clock", "--at", "1999-12-31T23:59:59"},
                    1,
                    "",
                    "Datum wird nicht unterstützt.\n",
                    0,
                    "",
                    {}},
        CommandCase{
            "KeysByNameAndIndex",
            kZepa,
            {"zepa", "keys", "--brightness", "3", "#142=010203", "esc=FF0000", "1=00ff00"},
            0,
            "",
            "",
            18,
            "80 00 00 00 00 00 00 00 00 03 00 00 00 00 aa 55",
            {{"zepa/perKeyColors", R"([{"index":1,"key":1,"red":255,"green":0,"blue":0},)"
                                   R"({"index":20,"key":20,"red":0,"green":255,"blue":0},)"
                                   R"({"index":142,"key":142,"red":1,"green":2,"blue":3}])"}}},
        CommandCase{
            "KeysLaterPairWins",
            kZepa,
            {"zepa", "keys", "a=ff0000", "A=0000ff"},
            0,
            "",
            "",
            18,
            "",
            {{"zepa/perKeyColors", R"([{"index":56,"key":56,"red":0,"green":0,"blue":255}])"},
             {"zepa/lighting/brightness", "5"}}},
        CommandCase{"KeysNoneClearsAll",
                    kZepa,
                    {"zepa", "keys"},
                    0,
                    "",
                    "",
                    18,
                    "",
                    {{"zepa/perKeyColors", "[]"}, {"zepa/lighting/perKeyMode", "true"}}},
        // A modifier target travels as its bit, any other key as its usage.
        CommandCase{
            "RemapBaseLayer",
            kZepa,
            {"zepa", "remap", "caps=Ctrl L", "#2=a"},
            0,
            "",
            "",
            13,
            "04 11 00 00 00 00 00 00 09",
            {{"zepa/baseRemaps", R"([{"index":2,"action":2,"param1":0,"param2":4,"param3":0},)"
                                 R"({"index":55,"action":2,"param1":1,"param2":0,"param3":0}])"},
             {"zepa/fnRemaps", "[]"}}},
        CommandCase{
            "RemapFnLayerWithTheEqualsKey",
            kZepa,
            {"zepa", "remap", "--fn", "==="},
            0,
            "",
            "",
            13,
            "04 27 00 00 00 00 00 00 09",
            {{"zepa/fnRemaps", R"([{"index":31,"action":2,"param1":0,"param2":46,"param3":0}])"},
             {"zepa/baseRemaps", "[]"}}},
        CommandCase{"HalvernModel",
                    kHalvern,
                    {"halvern", "model"},
                    0,
                    "=halvern/modelAnswer:MODEL ",
                    "",
                    1,
                    "06 82 01 00 01 00 06",
                    {}},
        CommandCase{"HalvernVerify",
                    kHalvern,
                    {"halvern", "verify"},
                    0,
                    "OK\n",
                    "",
                    3,
                    "06 04 00 00 01 00 80 00",
                    {{"halvern/configWrites", "1"}}},
        CommandCase{
            "HalvernLightingEveryOption",
            kHalvern,
            {"halvern", "lighting", "breathing", "--color", "102030", "--brightness", "2",
             "--speed", "1", "--colorful"},
            0,
            "",
            "",
            3,
            "06 0a 00 00 00 00 00 02",
            {{"halvern/effect", "2"},
             {"halvern/effects/1", R"({"effect":2,"brightness":2,"speed":1,"colorful":true})"},
             {"halvern/color", R"({"red":16,"green":32,"blue":48})"}}},
        CommandCase{
            "HalvernLightingDefaults",
            kHalvern,
            {"halvern", "lighting", "11"},
            0,
            "",
            "",
            3,
            "",
            {{"halvern/effects/10", R"({"effect":11,"brightness":4,"speed":4,"colorful":false})"},
             {"halvern/color", R"({"red":0,"green":210,"blue":255})"}}},
        CommandCase{"HalvernSpeedLeftToTheDevice",
                    kHalvern,
                    {"halvern", "lighting", "wave", "--speed", "5"},
                    1,
                    "",
                    "Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen.\n",
                    0,
                    "",
                    {{"halvern/configWrites", "0"}}},
        CommandCase{
            "HalvernWithoutKeyboard", kZepa, {"halvern", "config"}, 1, "", kNoHalvern, 0, "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The configuration answer is the block behind its header, whatever the keyboard holds.
TEST(HalvernConfig, PrintsTheAnswerAsTheProbeFileDoes) {
  SimMount sim(kHalvern);
  ZEPA_REQUIRE_SIM(sim);
  const Outcome outcome = runZepactl(withRoot(sim, {"halvern", "config"}));
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const std::string block = sim.stateJson("halvern")["configBlock"].get<std::string>();
  EXPECT_EQ(outcome.out, "CONFIG 06 84 00 00 01 00 80 00 " + block + "\n");
}

// ---------------------------------------------------------------------------------------------
// Usage errors: exit 2, one line naming the problem, then the command's usage; nothing sent.

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  std::string problem;
};
void PrintTo(const UsageCase& c, std::ostream* os) {
  *os << c.name;
}

class Usage : public testing::TestWithParam<UsageCase> {
 protected:
  static void SetUpTestSuite() { sim_ = new SimMount(); }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  static SimMount* sim_;
};
SimMount* Usage::sim_ = nullptr;

TEST_P(Usage, SendsNothing) {
  const auto& c = GetParam();
  ZEPA_REQUIRE_SIM(*sim_);
  const Outcome outcome = runZepactl(withRoot(*sim_, c.args));
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n')), "zepactl: " + c.problem);
  EXPECT_NE(outcome.err.find("\nAufruf: zepactl"), std::string::npos) << outcome.err;
  EXPECT_EQ(sim_->readLog().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Usage,
    testing::Values(
        UsageCase{"UnknownCommand", {"blink"}, "Unbekannter Befehl „blink“."},
        UsageCase{"NoCommand", {}, "Der Befehl fehlt."},
        UsageCase{"UnknownGlobalOption", {"--root", "x", "list"}, "Unbekannte Option „--root“."},
        UsageCase{"SecondDeviceRoot",
                  {"--device-root", "/", "list"},
                  "Die Option „--device-root“ ist mehrfach angegeben."},
        UsageCase{"UnknownSubcommand", {"zepa", "blink"}, "Unbekannter Unterbefehl „blink“."},
        UsageCase{"UnknownOption",
                  {"zepa", "lighting", "rolling", "--colour", "00ff00"},
                  "Unbekannte Option „--colour“."},
        UsageCase{"OptionWithoutValue",
                  {"zepa", "lighting", "rolling", "--speed"},
                  "Die Option „--speed“ braucht einen Wert."},
        UsageCase{"RepeatedOption",
                  {"halvern", "lighting", "wave", "--speed", "1", "--speed", "2"},
                  "Die Option „--speed“ ist mehrfach angegeben."},
        UsageCase{"ModeMissing", {"zepa", "lighting"}, "Der Modus fehlt."},
        UsageCase{"ModePastTheLast",
                  {"zepa", "lighting", "20"},
                  "Unbekannter Modus „20“; erlaubt sind 0 bis 19 oder ein Modusname."},
        UsageCase{"ModeByGermanName",
                  {"zepa", "lighting", "Rollen"},
                  "Unbekannter Modus „Rollen“; erlaubt sind 0 bis 19 oder ein Modusname."},
        UsageCase{"ColourTooShort",
                  {"zepa", "lighting", "rolling", "--color", "00d2f"},
                  "Die Farbe „00d2f“ ist ungültig; erwartet werden sechs Hex-Ziffern RRGGBB, etwa "
                  "00d2ff."},
        UsageCase{"BrightnessPastAByte",
                  {"zepa", "lighting", "rolling", "--brightness", "256"},
                  "Die Option „--brightness“ erwartet eine Zahl von 0 bis 255, nicht „256“."},
        UsageCase{"UnknownKey", {"zepa", "keys", "Foo=ff0000"}, "Unbekannte Taste „Foo“."},
        UsageCase{
            "KeyNameTrimmedNowhere", {"zepa", "keys", " esc=ff0000"}, "Unbekannte Taste „ esc“."},
        UsageCase{"IndexZero",
                  {"zepa", "keys", "#0=ff0000"},
                  "Die Tastennummer „#0“ liegt nicht zwischen #1 und #142."},
        UsageCase{"IndexPastTheBlock",
                  {"zepa", "remap", "#143=a"},
                  "Die Tastennummer „#143“ liegt nicht zwischen #1 und #142."},
        UsageCase{"KeyWithoutColour", {"zepa", "keys", "esc"}, "„esc“ ist kein Paar TASTE=RRGGBB."},
        UsageCase{"KeyColourMalformed",
                  {"zepa", "keys", "esc=red"},
                  "Die Farbe „red“ ist ungültig; erwartet werden sechs Hex-Ziffern RRGGBB, etwa "
                  "00d2ff."},
        UsageCase{
            "RemapWithoutTarget", {"zepa", "remap", "caps"}, "„caps“ ist kein Paar QUELLE=ZIEL."},
        UsageCase{"RemapTargetOutsideTheTable",
                  {"zepa", "remap", "caps=#14"},
                  "Das Ziel „#14“ ist keine Taste der Tastentabelle."},
        UsageCase{"RemapUnknownSource", {"zepa", "remap", "hyper=a"}, "Unbekannte Taste „hyper“."},
        UsageCase{"ClockDayThatDoesNotExist",
                  {"zepa", "clock", "--at", "2025-02-29T10:00:00"},
                  "Die Zeit „2025-02-29T10:00:00“ ist ungültig; erwartet wird "
                  "JJJJ-MM-TTTHH:MM:SS in Ortszeit."},
        UsageCase{"ClockWithBlank",
                  {"zepa", "clock", "--at", "2025-03-09 14:05:07"},
                  "Die Zeit „2025-03-09 14:05:07“ ist ungültig; erwartet wird "
                  "JJJJ-MM-TTTHH:MM:SS in Ortszeit."},
        UsageCase{"RestoreWithOption", {"restore", "--all"}, "Unbekannte Option „--all“."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Help, AnswersWithoutTouchingAKeyboard) {
  SimMount sim(kBoth);
  ZEPA_REQUIRE_SIM(sim);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"zepa", "keys", "Foo=1", "--help"},
                                               {"halvern", "lighting", "--help"},
                                               {"restore", "--help"}}) {
    const Outcome outcome = runZepactl(withRoot(sim, args));
    EXPECT_EQ(outcome.status, 0) << args.front();
    EXPECT_TRUE(outcome.out.starts_with("Aufruf: zepactl")) << outcome.out;
    EXPECT_EQ(outcome.err, "");
  }
  EXPECT_EQ(sim.readLog().size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Progress of the long transfers

TEST(Progress, ShownOnATerminalOnly) {
  SimMount sim(kZepa);
  ZEPA_REQUIRE_SIM(sim);
  const Outcome piped = runZepactl(withRoot(sim, {"zepa", "keys", "esc=ff0000"}));
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
  const Outcome shown = runZepactl(withRoot(sim, {"zepa", "remap", "caps=a"}), true);
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("\rTastenbelegung wird übertragen … 100 %"), std::string::npos)
      << shown.err;
}

struct RecordingSleeper {
  std::shared_ptr<int> pauses = std::make_shared<int>(0);
  zepa::Sleeper sleeper() {
    return [pauses = pauses](std::chrono::microseconds) { ++*pauses; };
  }
};

// The percentage is worked out from the pauses a transfer makes; if the device made more or
// fewer, the line would stall or reach its end too early.
TEST(Progress, CountsEveryPauseOfTheTransfer) {
  struct Row {
    zepa::cli::Command command;
    int pauses;
  };
  const Row rows[] = {
      {zepa::cli::ZepaKeysRequest{{{1, {255, 0, 0}}}, 5}, zepa::cli::kPerKeyPauses},
      {zepa::cli::ZepaRemapRequest{{}, true}, zepa::cli::kRemapPauses},
  };
  for (const Row& row : rows) {
    auto backend = std::make_shared<zepa::sim::InProcessBackend>();
    RecordingSleeper recording;
    std::ostringstream out, err;
    zepa::cli::DeviceContext context{backend, recording.sleeper(), zepa::systemCalendar(), out, err,
                                     true};
    EXPECT_EQ(zepa::cli::runDeviceCommand(row.command, context), 0) << err.str();
    EXPECT_EQ(*recording.pauses, row.pauses);
    const std::string text = err.str();
    EXPECT_TRUE(text.ends_with("… 100 %\n")) << text;
    EXPECT_EQ(text.find("100 %"), text.rfind("100 %")) << text;
  }
}

TEST(HalvernVerify, ReportsAMismatchAsAFailure) {
  auto backend = std::make_shared<zepa::sim::InProcessBackend>();
  backend->halvern().corruptOnWrite(120);
  RecordingSleeper recording;
  std::ostringstream out, err;
  zepa::cli::DeviceContext context{backend, recording.sleeper(), zepa::systemCalendar(), out, err,
                                   false};
  EXPECT_EQ(zepa::cli::runDeviceCommand(
                zepa::cli::HalvernQueryRequest{zepa::cli::HalvernQuery::verify}, context),
            1);
  EXPECT_EQ(out.str(), "MISMATCH\n");
  EXPECT_EQ(err.str(), "Der zurückgelesene Konfigurationsblock weicht vom geschriebenen ab.\n");
}

#ifdef ZEPACTL_WITH_STORES
// ---------------------------------------------------------------------------------------------
// Restore, with the stores written by the application's own store units

// QSettings fixes its folder on first use, so the whole process gets one configuration home;
// each case clears its keys and gets a data home of its own.
class StoreHomes : public testing::Environment {
 public:
  void SetUp() override {
    root_ = fs::path(testing::TempDir()) / ("zepactl-homes-" + std::to_string(getpid()));
    fs::create_directories(root_ / "config");
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  }
  void TearDown() override { fs::remove_all(root_); }
  static fs::path dataHome(const std::string& name) {
    const fs::path home = root_ / "data" / name;
    fs::create_directories(home);
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    return home;
  }

 private:
  static fs::path root_;
};
fs::path StoreHomes::root_;
[[maybe_unused]] testing::Environment* const kStoreHomes =
    testing::AddGlobalTestEnvironment(new StoreHomes);

zepa::ZEPAProfile storedProfile(std::vector<zepa::KeyColor> colors, std::uint8_t brightness) {
  zepa::ZEPAProfile profile = zepa::ZEPAProfile::makeDefault();
  profile.lighting = {zepa::LightingMode::breath, {1, 2, 3}, brightness, 2, 0, false};
  profile.keyColors = std::move(colors);
  profile.remaps = {{55, zepa::RemapAction::key, 0x01, 0, 0}};
  return profile;
}

struct RestoreCase {
  const char* name;
  std::vector<std::string> sim;
  std::optional<zepa::ZEPAProfile> profile;
  std::string profileText;  // written as it is when not empty
  std::optional<zepa::HalvernLightingConfig> halvernLighting;
  std::optional<std::vector<zepa::KeyRemap>> halvernRemaps;
  int status;
  std::string out;
  std::string err;  // "~" and the start of what must be there
  int writes;
  std::vector<StateCheck> state;
};
void PrintTo(const RestoreCase& c, std::ostream* os) {
  *os << c.name;
}

class Restore : public testing::TestWithParam<RestoreCase> {};

TEST_P(Restore, ReappliesWhatWasStored) {
  const auto& c = GetParam();
  const fs::path data = StoreHomes::dataHome(c.name);
  zepa::SettingsStore settings;
  settings.remove(zepa::SettingsStore::halvernLightingKey);
  settings.remove(zepa::SettingsStore::halvernRemapsKey);
  if (c.halvernLighting) settings.setHalvernLighting(*c.halvernLighting);
  if (c.halvernRemaps) settings.setHalvernRemaps(*c.halvernRemaps);
  const zepa::ProfileStore profiles;
  ASSERT_TRUE(profiles.path().startsWith(QString::fromStdString(data.string())));
  ASSERT_TRUE(profiles.createFolder());
  if (c.profile) {
    ASSERT_TRUE(profiles.save(*c.profile));
  }
  if (!c.profileText.empty()) std::ofstream(profiles.path().toStdString()) << c.profileText;

  SimMount sim(c.sim);
  ZEPA_REQUIRE_SIM(sim);
  const Outcome outcome = runZepactl(withRoot(sim, {"restore"}));
  EXPECT_EQ(outcome.status, c.status);
  EXPECT_EQ(outcome.out, c.out);
  if (c.err.starts_with("~")) {
    EXPECT_TRUE(outcome.err.starts_with(c.err.substr(1))) << outcome.err;
  } else {
    EXPECT_EQ(outcome.err, c.err);
  }
  const auto log = sim.readLog();
  EXPECT_EQ(countOf(log, "SET"), c.writes) << writtenReports(log);
  expectState(sim, c.state);
}

const zepa::HalvernLightingConfig kBreathing{
    zepa::HalvernEffect::breathing, {9, 8, 7}, 3, 2, false};
const std::vector<zepa::KeyRemap> kCapsToControl{{0x39, zepa::RemapAction::key, 0, 0xE0, 0}};
const std::vector<zepa::KeyColor> kEscRed{{1, {255, 0, 0}}};

const std::string kZepaDone =
    "ZEPA VX10: Beleuchtung wiederhergestellt\n"
    "ZEPA VX10: Einzeltastenfarben wiederhergestellt\n"
    "ZEPA VX10: Tastenbelegung wiederhergestellt\n";
const std::string kHalvernDone =
    "Halvern Corvane Pro 108: Beleuchtung wiederhergestellt\n"
    "Halvern Corvane Pro 108: Tastenbelegung wiederhergestellt\n";
// Lighting 5 + per-key 18 + remaps 13; Halvern lighting: read request, configuration, colour.
constexpr int kZepaWrites = 5 + 18 + 13, kHalvernWrites = 3;
const StateCheck kZepaRestored{"zepa/baseRemaps",
                               R"([{"index":55,"action":2,"param1":1,"param2":0,"param3":0}])"};
const StateCheck kKeysRestored{"zepa/perKeyColors",
                               R"([{"index":1,"key":1,"red":255,"green":0,"blue":0}])"};
// Caps Lock (scancode 0x70039) gives KEY_LEFTCTRL.
const StateCheck kHalvernRemapped{"halvern/keyMap",
                                  R"([{"scancode":458809,"usage":57,"keycode":29}])"};
const StateCheck kHalvernLit{"halvern/effects/1",
                             R"({"effect":2,"brightness":3,"speed":2,"colorful":false})"};

INSTANTIATE_TEST_SUITE_P(
    Stores, Restore,
    testing::Values(
        RestoreCase{"BothAttached",
                    kBoth,
                    storedProfile(kEscRed, 4),
                    "",
                    kBreathing,
                    kCapsToControl,
                    0,
                    kZepaDone + kHalvernDone,
                    "",
                    kZepaWrites + kHalvernWrites,
                    {kZepaRestored,
                     kKeysRestored,
                     {"zepa/lighting/brightness", "4"},
                     kHalvernLit,
                     {"halvern/color", R"({"red":9,"green":8,"blue":7})"},
                     kHalvernRemapped}},
        RestoreCase{"ZepaOnly",
                    kZepa,
                    storedProfile(kEscRed, 4),
                    "",
                    kBreathing,
                    kCapsToControl,
                    0,
                    kZepaDone + "Halvern Corvane Pro 108: nicht angeschlossen, übersprungen\n",
                    "",
                    kZepaWrites,
                    {kZepaRestored, kKeysRestored}},
        RestoreCase{"HalvernOnly",
                    kHalvern,
                    storedProfile(kEscRed, 4),
                    "",
                    kBreathing,
                    kCapsToControl,
                    0,
                    "ZEPA VX10: nicht angeschlossen, übersprungen\n" + kHalvernDone,
                    "",
                    kHalvernWrites,
                    {kHalvernLit, kHalvernRemapped}},
        RestoreCase{"NothingStored",
                    kBoth,
                    std::nullopt,
                    "",
                    std::nullopt,
                    std::nullopt,
                    0,
                    "ZEPA VX10: kein gespeichertes Profil, übersprungen\n"
                    "Halvern Corvane Pro 108: keine gespeicherte Beleuchtung\n"
                    "Halvern Corvane Pro 108: keine gespeicherte Tastenbelegung\n",
                    "",
                    0,
                    {{"halvern/keyMap", "[]"}}},
        // Sending an empty colour table would switch the lighting off again.
        RestoreCase{
            "ProfileWithoutKeyColours",
            kZepa,
            storedProfile({}, 5),
            "",
            std::nullopt,
            std::vector<zepa::KeyRemap>{},
            0,
            "ZEPA VX10: Beleuchtung wiederhergestellt\n"
            "ZEPA VX10: keine Einzeltastenfarben gespeichert\n"
            "ZEPA VX10: Tastenbelegung wiederhergestellt\n"
            "Halvern Corvane Pro 108: nicht angeschlossen, übersprungen\n",
            "",
            5 + 13,
            {{"zepa/lighting/effect", "7"}, {"zepa/lighting/perKeyMode", "false"}, kZepaRestored}},
        // The other steps still run; the failing one is named with the keyboard's text.
        RestoreCase{"StoredLightingTheKeyboardRefuses",
                    kZepa,
                    storedProfile(kEscRed, 9),
                    "",
                    std::nullopt,
                    std::nullopt,
                    1,
                    "ZEPA VX10: Tastenbelegung wiederhergestellt\n"
                    "Halvern Corvane Pro 108: nicht angeschlossen, übersprungen\n",
                    "ZEPA VX10: Beleuchtung fehlgeschlagen: Helligkeit/Tempo müssen 0–5, "
                    "Richtung 0–1 sein.\n"
                    "ZEPA VX10: Einzeltastenfarben fehlgeschlagen: Helligkeit muss 0–5 sein.\n",
                    13,
                    {kZepaRestored, {"zepa/perKeyColors", "[]"}}},
        // A damaged profile is not replaced by defaults on the keyboard.
        RestoreCase{"DamagedProfile",
                    kBoth,
                    std::nullopt,
                    R"({"id":"not a profile")",
                    kBreathing,
                    std::nullopt,
                    1,
                    "Halvern Corvane Pro 108: Beleuchtung wiederhergestellt\n"
                    "Halvern Corvane Pro 108: keine gespeicherte Tastenbelegung\n",
                    "~ZEPA VX10: Das gespeicherte Profil ",
                    kHalvernWrites,
                    {{"zepa/lighting", "null"}, kHalvernLit}}),
    [](const auto& info) { return std::string(info.param.name); });

// zepa-keymap's own German line reaches the user when it fails.
TEST(RestoreKeymap, PassesTheToolsFailureOn) {
  StoreHomes::dataHome("KeymapFailure");
  zepa::SettingsStore settings;
  settings.remove(zepa::SettingsStore::halvernLightingKey);
  settings.setHalvernRemaps(kCapsToControl);
  SimMount sim(kHalvern);
  ZEPA_REQUIRE_SIM(sim);
  // The key map lives on the input node, which this removes.
  fs::remove_all(sim.root() / "sys" / "class" / "input");
  const Outcome outcome = runZepactl(withRoot(sim, {"restore"}));
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.err.starts_with(
      "Halvern Corvane Pro 108: Tastenbelegung fehlgeschlagen: Keine passende Tastatur gefunden"))
      << outcome.err;
}
#endif

}  // namespace
