// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa::test {
namespace {

using test::PrintTo;

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// An open device node; ioctls give their result or -errno.
struct Node {
  int fd, error;
  explicit Node(const fs::path& path)
      : fd(::open(path.c_str(), O_RDWR | O_CLOEXEC)), error(fd < 0 ? errno : 0) {}
  ~Node() {
    if (fd >= 0) ::close(fd);
  }
  int call(unsigned long request, void* argument) const {
    const int result = ::ioctl(fd, request, argument);
    return result < 0 ? -errno : result;
  }
  int feature(bool set, Bytes& buffer) const {
    return call(set ? HIDIOCSFEATURE(buffer.size()) : HIDIOCGFEATURE(buffer.size()), buffer.data());
  }
};

// The node's IDs through HIDIOCGRAWINFO, formatted and checked against the HID_ID of its
// uevent, and its descriptor through HIDIOCGRDESC, checked against sysfs.
std::string infoCall(const Node& node, const fs::path& sys) {
  hidraw_devinfo info{};
  hidraw_report_descriptor descriptor{};
  int size = 0;
  if (node.call(HIDIOCGRAWINFO, &info) || node.call(HIDIOCGRDESCSIZE, &size)) return "failed";
  descriptor.size = static_cast<__u32>(size);
  const bool sameDescriptor =
      node.call(HIDIOCGRDESC, &descriptor) == 0 &&
      readText(sys / "report_descriptor") ==
          std::string(reinterpret_cast<char*>(descriptor.value), descriptor.size);
  char id[32];
  std::snprintf(id, sizeof id, "%04X:%08X:%08X", info.bustype,
                static_cast<std::uint16_t>(info.vendor), static_cast<std::uint16_t>(info.product));
  const bool sameId =
      readText(sys / "uevent").find("HID_ID=" + std::string(id) + "\n") != std::string::npos;
  return id + std::string(sameId ? "" : " !uevent") + (sameDescriptor ? "" : " !descriptor");
}

// A feature call, given as the start of the kernel's buffer: report number first.
std::string featureCall(const Node& node, const std::string& name, bool set, std::istream& words,
                        std::vector<std::string>& logged) {
  Bytes buffer;
  for (std::string word; words >> word;)
    buffer.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  const int number = buffer.at(0), start = number ? 0 : 1;
  buffer.resize(number ? 520 : 65);
  const int count = node.feature(set, buffer);
  if (count < 0) return strerrorname_np(-count);
  // An empty unnumbered answer counts 0, not the report number's byte.
  const int received = std::max(count - start, 0);
  const auto data = std::span(buffer).subspan(start, set ? buffer.size() - start : received);
  logged.push_back(name + (set ? " SET " : " GET ") + std::to_string(number) +
                   (data.empty() ? "" : " " + hex(data)));
  std::string text = set ? "ok" : hex(data);
  while (text.ends_with(" 00")) text.resize(text.size() - 3);
  if (text.empty() || text == "00") text = "-";
  return count < static_cast<int>(buffer.size())
             ? text + " (" + std::to_string(received) + " bytes)"
             : text;
}

// A key-map call: "70039" by scancode or "#4" by position, and for a write the key code.
std::string keyCall(const Node& node, const std::string& name, bool set, std::istream& words,
                    std::vector<std::string>& logged) {
  std::string key;
  input_keymap_entry entry{};
  words >> key >> entry.keycode;
  entry.flags = key[0] == '#' ? INPUT_KEYMAP_BY_INDEX : 0;
  entry.index = static_cast<__u16>(key[0] == '#' ? std::stoul(key.substr(1)) : 0);
  entry.len = key[0] == '#' ? 0 : 4;
  const auto asked = static_cast<std::uint32_t>(key[0] == '#' ? 0 : std::stoul(key, nullptr, 16));
  std::memcpy(entry.scancode, &asked, 4);
  const int result = node.call(set ? EVIOCSKEYCODE_V2 : EVIOCGKEYCODE_V2, &entry);
  if (result < 0) return strerrorname_np(-result);
  std::uint32_t scancode = 0;
  std::memcpy(&scancode, entry.scancode, 4);
  char text[80];
  std::snprintf(text, sizeof text, "%s %sKEYCODE 0x%x %02x %02x 00 00", name.c_str(),
                set ? "SET" : "GET", scancode, entry.keycode & 0xFF, entry.keycode >> 8);
  logged.push_back(text);
  std::snprintf(text, sizeof text, "%x=%u/%u@%u", scancode, entry.keycode, entry.len, entry.index);
  return set ? "ok" : text;
}

// Runs a script of steps "call -> outcome; …" and gives it back with the outcomes seen. Calls:
// "hidraw2 S 00 04 18" writes a feature report, "hidraw2 G 00" reads one, "hidraw2 I" gives the
// node's IDs, "event0 G 70039" reads a key code ("#4" by position), "event0 S 70039 29" sets
// one. A node stays open from its first call on. Outcomes: "ok", the errno, a read's data
// without trailing zeros ("-" for none) with "(N bytes)" when short, or a key read's
// "scancode=keycode/length@index". `logged` gets the report-log line each answered call should
// leave.
std::string run(const fs::path& root, const std::string& script, std::vector<std::string>& logged) {
  std::map<std::string, std::unique_ptr<Node>> nodes;
  std::string out;
  std::istringstream steps(script);
  for (std::string step; std::getline(steps, step, ';');) {
    const auto from = step.find_first_not_of(' ');
    const std::string call = step.substr(from, step.find(" ->") - from);
    std::istringstream words(call);
    std::string name, op, outcome;
    words >> name >> op;
    auto& node = nodes[name];
    if (!node) node = std::make_unique<Node>(root / "dev" / (name[0] == 'e' ? "input" : "") / name);
    if (node->error)
      outcome = strerrorname_np(node->error);
    else if (op == "I")
      outcome = infoCall(*node, root / "sys/class/hidraw" / name / "device");
    else if (name[0] == 'h')
      outcome = featureCall(*node, name, op == "S", words, logged);
    else
      outcome = keyCall(*node, name, op == "S", words, logged);
    out += (out.empty() ? "" : "; ") + call + " -> " + outcome;
  }
  return out;
}

// Arguments, the calls with their outcomes, and what the tree shows afterwards.
struct Session {
  const char* name;
  std::vector<std::string> arguments;
  const char* script;
  const char* checks = "{}";  // JSON: a folder's listing or part of a file, by path under
                              // ROOT, and "/zepa/…" or "/halvern/…" pointers into a state file
};

const Session sessions[] = {
    // One unrelated keyboard comes first.
    {"unrelated_keyboard_first",
     {"--extra-devices", "1"},
     "hidraw0 I -> 0003:0000046D:0000C31C; hidraw1 I -> 0003:00000C45:0000800A; "
     "hidraw2 I -> 0003:00000C45:0000800A; hidraw3 I -> 0003:00000C45:0000800A; "
     "hidraw4 I -> 0003:0000258A:0000010C; hidraw5 I -> 0003:0000258A:0000010C",
     R"({"dev":"hidraw0 hidraw1 hidraw2 hidraw3 hidraw4 hidraw5 input",)"
     R"("dev/input":"event0 event1","sys/class/input":"event0 event1",)"
     R"("state":"halvern.json zepa.json",)"
     R"("sys/class/input/event1/device/id/vendor":"258a\n",)"
     R"("sys/class/input/event1/device/id/product":"010c\n",)"
     R"("sys/class/hidraw/hidraw5/device/uevent":"HID_NAME=Halvern Corvane Pro 108\n"})"},
    {"halvern_alone",
     {"--halvern"},
     "",
     R"({"dev":"hidraw0 hidraw1 input","state":"halvern.json"})"},
    {"zepa_alone",
     {"--zepa"},
     "",
     R"({"dev":"hidraw0 hidraw1 hidraw2 input","state":"zepa.json","/zepa/lighting":null})"},
    // ZEPA at hidraw2-4, Halvern at hidraw5-6 and event2, after a keyboard and a mouse.
    {"after_a_keyboard_and_a_mouse",
     {"--extra-devices", "2"},
     "hidraw4 S 00 04 18 -> ok; hidraw4 G 00 -> 04 18 00 01; "
     "hidraw4 S 00 04 13 00 00 00 00 00 00 01 -> ok; "
     "hidraw4 S 00 0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55 -> ok; "
     "hidraw4 G 00 -> 0b 00 d2 01; hidraw4 S 00 04 02 -> ok; "
     "hidraw6 S 06 82 01 00 01 00 06 -> ok; "
     "hidraw6 G 06 -> 06 82 01 00 01 00 06 00 8a 25 0c 01 6c 02; "
     "hidraw6 G 03 -> EPIPE; hidraw2 S 00 04 18 -> EPIPE; "
     "event2 G 70039 -> 70039=58/4@57; event2 G #4 -> 70004=30/4@4; event2 G #256 -> EINVAL; "
     "event2 S 70039 29 -> ok; event2 G 70039 -> 70039=29/4@57; event2 S 70004 0 -> ok; "
     "event2 G 80004 -> EINVAL; event2 S 70100 30 -> EINVAL; event2 S 70004 768 -> EINVAL; "
     "event1 G 70004 -> EINVAL; event0 S 70005 46 -> ok",
     R"({"/zepa/lighting/report":"0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55",)"
     R"("/halvern/keyMap":[{"scancode":458756,"usage":4,"keycode":0},)"
     R"({"scancode":458809,"usage":57,"keycode":29}]})"},
    // Faults, with the ZEPA configuration at hidraw2 and the Halvern's at hidraw4.
    {"open_EACCES",
     {"--fail", "open:EACCES"},
     "hidraw2 S 00 04 18 -> EACCES; hidraw4 G 06 -> EACCES; event0 G 70039 -> EACCES"},
    {"set_EPIPE_once",
     {"--fail", "set:2:EPIPE"},
     "hidraw2 S 00 04 18 -> ok; hidraw2 G 00 -> 04 18 00 01; hidraw2 S 00 04 18 -> EPIPE; "
     "hidraw2 S 00 04 18 -> ok"},
    // Writes are counted across both keyboards.
    {"writes_counted_across_keyboards",
     {"--fail", "set:2:ETIMEDOUT"},
     "hidraw2 S 00 04 18 -> ok; hidraw4 S 06 0a -> ETIMEDOUT; hidraw2 S 00 04 18 -> ok"},
    {"get_EIO",
     {"--fail", "get:2:EIO"},
     "hidraw2 S 00 04 18 -> ok; hidraw2 G 00 -> 04 18 00 01; hidraw2 G 00 -> EIO; "
     "hidraw2 G 00 -> 04 18 00 01"},
    {"zepa_short_read",
     {"--fail", "get:1:short:3"},
     "hidraw2 S 00 04 18 -> ok; hidraw2 G 00 -> 04 18 (3 bytes); hidraw2 G 00 -> 04 18 00 01"},
    {"halvern_short_read",
     {"--fail", "get:1:short:5"},
     "hidraw4 S 06 82 01 00 01 00 06 -> ok; hidraw4 G 06 -> 06 82 01 00 01 (5 bytes)"},
    {"empty_read", {"--fail", "get:1:short:0"}, "hidraw2 G 00 -> - (0 bytes)"},
    {"nak",
     {"--fail", "get:2:nak"},
     "hidraw2 S 00 04 18 -> ok; hidraw2 G 00 -> 04 18 00 01; hidraw4 S 06 0a -> ok; "
     "hidraw4 G 06 -> -; hidraw4 G 06 -> 06 0a"},
    {"first_fault_of_a_call_wins",
     {"--fail", "set:1:EIO", "--fail", "set:1:EPIPE"},
     "hidraw2 S 00 04 18 -> EIO"},
    // Any errno name: what a cable pulled mid-transfer gives before the node goes.
    {"any_errno_name",
     {"--fail", "set:1:ESHUTDOWN", "--fail", "get:1:EPROTO", "--fail", "get:2:EILSEQ"},
     "hidraw2 S 00 04 18 -> ESHUTDOWN; hidraw2 G 00 -> EPROTO; hidraw4 G 06 -> EILSEQ; "
     "hidraw2 G 00 -> 00 00 00 01"},
    // Reads and writes count alike; the keyboards go, with the key map they had, and the
    // unrelated keyboard stays.
    {"unplugged",
     {"--extra-devices", "1", "--fail", "unplug:3"},
     "event1 S 70039 29 -> ok; hidraw3 S 00 04 18 -> ok; hidraw3 G 00 -> 04 18 00 01; "
     "hidraw5 S 06 0a -> ENODEV; hidraw5 G 06 -> ENODEV; hidraw3 S 00 04 18 -> ENODEV",
     R"({"dev":"hidraw0 input","dev/input":"event0","sys/class/hidraw":"hidraw0",)"
     R"("sys/class/input":"event0","/halvern/keyMap":[],"/zepa/attached":false})"},
};
class ZEPASimCalls : public ::testing::TestWithParam<Session> {};

TEST_P(ZEPASimCalls, AreAnsweredLoggedAndKeptInTheStateFiles) {
  const Session& row = GetParam();
  SimMount sim(row.arguments);
  ZEPA_REQUIRE_SIM(sim);
  std::vector<std::string> logged, lines;
  EXPECT_EQ(run(sim.root(), row.script, logged), row.script);
  // Read while the simulator runs: every line is on disk at once.
  std::istringstream text(readText(sim.logPath()));
  for (std::string line; std::getline(text, line);)
    lines.push_back(std::regex_replace(line, std::regex("^[0-9]+ "), ""));
  EXPECT_EQ(lines, logged);
  const auto log = sim.readLog();
  EXPECT_TRUE(std::is_sorted(log.begin(), log.end(),
                             [](const auto& a, const auto& b) { return a.micros < b.micros; }));
  const auto checks = nlohmann::json::parse(row.checks);
  for (const auto& [key, value] : checks.items()) {
    const auto slash = key.find('/', 1);
    const fs::path path = sim.root() / key;
    if (key[0] == '/')
      EXPECT_EQ(sim.stateJson(key.substr(1, slash - 1))
                    .at(nlohmann::json::json_pointer(key.substr(slash))),
                value)
          << key;
    else if (fs::is_regular_file(path))
      EXPECT_NE(readText(path).find(value.get<std::string>()), std::string::npos) << key;
    else
      EXPECT_EQ(listing(path), value.get<std::string>()) << key;
  }
}

INSTANTIATE_TEST_SUITE_P(, ZEPASimCalls, ::testing::ValuesIn(sessions),
                         [](const auto& info) { return std::string(info.param.name); });

// HIDIOCGRDESC with `size` asked, on a buffer the caller filled with 0xEE: the size it holds
// afterwards, how many leading bytes are the sysfs descriptor, and whether any byte after them
// changed.
std::string descriptorCall(const Node& node, const fs::path& sys, std::uint32_t size) {
  auto descriptor = std::make_unique<hidraw_report_descriptor>();
  std::memset(descriptor.get(), 0xEE, sizeof *descriptor);
  descriptor->size = size;
  if (const int result = node.call(HIDIOCGRDESC, descriptor.get()); result < 0)
    return strerrorname_np(-result);
  const std::string expected = readText(sys / "report_descriptor");
  const auto* value = descriptor->value;
  std::size_t copied = 0;
  while (copied < expected.size() && value[copied] == static_cast<std::uint8_t>(expected[copied]))
    ++copied;
  const bool untouched = std::all_of(value + copied, value + sizeof descriptor->value,
                                     [](auto b) { return b == 0xEE; });
  return "size " + std::to_string(descriptor->size) + ", copied " + std::to_string(copied) +
         (untouched ? "" : ", more changed");
}

// What hidraw checks before a request reaches the keyboard, and how it counts.
TEST(ZEPASimLimits, FollowTheKernels) {
  SimMount sim({"--zepa", "--fail", "get:1:short:0"});
  ZEPA_REQUIRE_SIM(sim);
  const Node config(sim.root() / "dev/hidraw2");
  const fs::path sys = sim.root() / "sys/class/hidraw/hidraw2/device";
  const std::size_t length = readText(sys / "report_descriptor").size();
  ASSERT_GT(length, 5u);
  const std::string whole = "size 4095, copied " + std::to_string(length);
  const std::pair<std::uint32_t, std::string> descriptorRows[] = {
      {4096, "EINVAL"}, {4095, whole}, {5, "size 5, copied 5"}, {0, "size 0, copied 0"}};
  for (const auto& [size, outcome] : descriptorRows)
    EXPECT_EQ(descriptorCall(config, sys, size), outcome) << "descriptor size " << size;

  Bytes empty(65, 0);
  EXPECT_EQ(config.feature(false, empty), 0) << "an answer without data counts nothing";
  for (std::size_t size : {0u, 1u}) {
    Bytes buffer(size, 0);
    EXPECT_EQ(config.call(HIDIOCGFEATURE(size), buffer.data()), -EINVAL) << size << "-byte read";
  }
  Bytes two(2, 0);
  EXPECT_EQ(config.feature(false, two), 2) << "two-byte read";
  EXPECT_EQ(sim.readLog().size(), 2u) << "refused reads reach no keyboard";
}

bool mounted(const fs::path& path) {
  return readText("/proc/self/mountinfo").find(" " + path.string() + " ") != std::string::npos;
}

TEST(ZEPASimLifetime, UnmountsOnSigtermAndSigintAndRecoversAfterSigkill) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  for (int signal : {SIGTERM, SIGINT}) {
    ASSERT_TRUE(mounted(sim.root() / "dev"));
    const auto status = sim.stop(signal);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << signal;
    EXPECT_FALSE(mounted(sim.root() / "dev"));
    ASSERT_TRUE(sim.restart({"--zepa"})) << sim.errorOutput();
  }
  ASSERT_TRUE(sim.stop(SIGKILL).has_value());
  struct stat st {};
  EXPECT_EQ(::stat((sim.root() / "dev").c_str(), &st), -1);
  EXPECT_EQ(errno, ENOTCONN);
  ASSERT_TRUE(sim.restart({"--halvern"})) << sim.errorOutput();
  EXPECT_EQ(listing(sim.root() / "dev"), "hidraw0 hidraw1 input");
  EXPECT_EQ(listing(sim.root() / "sys/class/hidraw"), "hidraw0 hidraw1");
  EXPECT_FALSE(fs::exists(sim.root() / "state/zepa.json"));
}

TEST(ZEPASimArguments, MistakesEndWithUsageStatusAndNoTree) {
  const std::string root = fs::temp_directory_path() / "zepa-sim-arguments";
  for (const char* arguments :
       {"", " --fail bogus", " --extra-devices x", " --extra-devices", " --frob", " --log"}) {
    const int status = std::system((std::string(ZEPA_BIN_DIR) + "/zepa-sim" +
                                    (*arguments ? " " + root : "") + arguments + " >/dev/null 2>&1")
                                       .c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << arguments;
  }
  EXPECT_FALSE(fs::exists(root + "/sys"));
  fs::remove_all(root);
}

TEST(SimMount, WithoutFuseFailsUnderCiInsteadOfSkipping) {
  const std::string saved = std::getenv("CI") ? std::getenv("CI") : "";
  ::setenv("CI", "true", 1);
  EXPECT_TRUE(SimMount::fuseRequired());
  ::setenv("CI", "1", 1);
  EXPECT_FALSE(SimMount::fuseRequired());
  saved.empty() ? ::unsetenv("CI") : ::setenv("CI", saved.c_str(), 1);
}

}  // namespace
}  // namespace zepa::test
