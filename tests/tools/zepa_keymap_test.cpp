// SPDX-License-Identifier: MIT
// zepa-keymap: the whole-map writes against recording keycode tables, and the real program
// against a mounted simulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "protocol/hid/linux_keycodes.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/keymap/key_map_writer.hpp"

namespace {

using zepa::keymap::KeyPair;

std::uint32_t defaultKeycode(unsigned usage) {
  return zepa::hid::linuxKeycode(static_cast<std::uint8_t>(usage)).value_or(0);
}

// "39=001d": a key map entry that differs from the kernel's default, in hex.
std::string entry(unsigned usage, unsigned keycode) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x=%04x", usage, keycode);
  return text;
}

// An input node's key map as the kernel keeps it: usages 0 to `last` carry keys. `fault`:
// "get" fails every read, "setN" the N-th write, "setN+" every write from the N-th.
class RecordingKeycodeTable final : public zepa::keymap::KeycodeTable {
 public:
  RecordingKeycodeTable(int last, std::string fault) : fault_(std::move(fault)) {
    for (int usage = 0; usage <= last; ++usage) keys[usage] = defaultKeycode(usage);
  }
  int keycode(std::uint8_t usage, std::uint32_t& keycode) override {
    if (fault_ == "get" || !keys.count(usage)) return fault_ == "get" ? EIO : EINVAL;
    keycode = keys[usage];
    return 0;
  }
  int setKeycode(std::uint8_t usage, std::uint32_t keycode) override {
    const int at = fault_.starts_with("set") ? std::stoi(fault_.substr(3)) : 0;
    if (++sets_ == at || (at && fault_.ends_with("+") && sets_ > at)) return EIO;
    if (!keys.count(usage)) return EINVAL;
    keys[usage] = keycode;
    return 0;
  }
  std::string changes() const {
    std::string text;
    for (const auto& [usage, keycode] : keys)
      if (keycode != defaultKeycode(usage))
        text += (text.empty() ? "" : " ") + entry(usage, keycode);
    return text;
  }
  std::map<unsigned, std::uint32_t> keys;

 private:
  std::string fault_;
  int sets_ = 0;
};

TEST(KeyMapWrites, SetTheWholeMapOrNothing) {
  const struct {
    int first, second;   // the last usage each node's reports carry; -1: none
    std::string before;  // on the first node: "usage=keycode …"
    std::string pairs;   // "source:target …"
    std::string fault;   // on the first node
    std::string after;   // both nodes' changes
    std::string error;   // part of the message; empty for success
  } rows[] = {
      // Caps Lock gives KEY_LEFTCTRL, only on the node whose reports carry it.
      {0xff, 0x65, "", "39:e0 e4:04", "", "39=001d e4=001e | 39=001d", ""},
      {0x65, -1, "04=30", "39:e0 e0:39", "", "04=0030 | ",
       "Eintrag 2 der Tastenbelegung: Die Tastatur hat keine Taste mit der HID-Nutzung 0xe0."},
      {-1, -1, "", "39:e0", "", " | ", "nimmt keine Tastenbelegung an"},
      {0xff, 0xff, "04=30", "39:e0", "get", "04=0030 | ",
       "Die Tastenbelegung von /dev/input/event4 konnte nicht gelesen werden (Fehler 0xe00002ca)."},
      {0xff, -1, "04=30", "39:e0", "set257", "04=0030 | ",
       "Die Tastenbelegung konnte auf /dev/input/event4 nicht gesetzt werden (Fehler 0xe00002ca). "
       "Die bisherige Belegung bleibt bestehen."},
      // The reset of usage 0x00 went through and could not be taken back.
      {0xff, -1, "00=30", "39:e0", "set3+", " | ",
       "nicht vollständig wiederhergestellt werden; bitte die Tastatur neu"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pairs + " " + row.fault);
    RecordingKeycodeTable first(row.first, row.fault), second(row.second, "");
    std::istringstream before(row.before), pairs(row.pairs);
    for (std::string word; before >> word;)
      first.keys[std::stoul(word, nullptr, 16)] = std::stoul(word.substr(3), nullptr, 16);
    std::vector<KeyPair> keyPairs;
    for (std::string word; pairs >> word;) {
      const auto target = static_cast<std::uint8_t>(std::stoul(word.substr(3), nullptr, 16));
      keyPairs.push_back({static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)), target,
                          *zepa::hid::linuxKeycode(target)});
    }
    const zepa::keymap::KeymapTarget targets[] = {{"/dev/input/event4", &first},
                                                  {"/dev/input/event5", &second}};
    std::string error;
    try {
      zepa::keymap::applyKeyMap(targets, keyPairs);
    } catch (const zepa::keymap::KeymapError& e) {
      error = e.what();
    }
    EXPECT_TRUE(row.error.empty() ? error.empty() : error.find(row.error) != std::string::npos)
        << error;
    EXPECT_EQ(first.changes() + " | " + second.changes(), row.after);
  }
}

// The Halvern key map as the simulator keeps it, as RecordingKeycodeTable::changes() shows one.
std::string keyMap(const zepa::test::SimMount& sim) {
  std::string text;
  const auto state = sim.stateJson("halvern");
  for (const auto& e : state.at("keyMap"))
    text += (text.empty() ? "" : " ") +
            entry(e.at("usage").get<unsigned>(), e.at("keycode").get<unsigned>());
  return text;
}

// The nodes that got keycodes from the `from`-th log line on.
std::string writtenNodes(const zepa::test::SimMount& sim, std::size_t from) {
  std::set<std::string> nodes;
  const auto log = sim.readLog();
  for (std::size_t i = from; i < log.size(); ++i)
    if (log[i].op == "SETKEYCODE") nodes.insert(log[i].node);
  return testing::PrintToString(nodes);
}

const std::string keyboardMatch =
    R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})";
const std::string capsToControl =
    R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,"HIDKeyboardModifierMappingDst":30064771296}]})";
const std::string capsLock = "30064771129", leftControl = "30064771296";

std::string mapping(const std::string& entries) {
  return R"({"UserKeyMapping":[)" + entries + "]}";
}
std::string pair(const std::string& source, const std::string& target) {
  return R"({"HIDKeyboardModifierMappingSrc":)" + source + R"(,"HIDKeyboardModifierMappingDst":)" +
         target + "}";
}
std::vector<std::string> withMatch(const std::string& match) {
  return {"--matching", match, "--set", capsToControl};
}
std::vector<std::string> withSet(const std::string& property) {
  return {"--matching", keyboardMatch, "--set", property};
}

// One simulator for the whole sequence: each call starts from the map the one before left, a
// failing call sends no keycode, and the unrelated keyboard on event0 never gets one. Arguments
// follow "--device-root ROOT property", or stand alone after "!".
TEST(KeymapOnSimulator, EachCallSetsTheWholeMapOrNothing) {
  const std::string usage =
      "Ungültiger Aufruf. Erwartet: zepa-keymap [--device-root VERZEICHNIS] property --matching "
      "JSON --set JSON";
  const std::string offPage = " ist keine Taste der Tastaturseite (0x700000000 bis 0x7000000ff).";
  const struct {
    std::vector<std::string> args;
    std::string after;  // the maps after a successful call
    std::string err;    // the one line on standard error; empty for success
  } calls[] = {
      {withSet(capsToControl), "39=001d", ""},
      // A later pair for the same key wins.
      {withSet(mapping(pair(capsLock, leftControl) + "," + pair("30064771076", "30064771077") +
                       "," + pair(leftControl, capsLock) + "," +
                       pair("30064771076", "30064771078"))),
       "04=002e 39=001d e0=003a", ""},
      {withSet(mapping(pair("30064771077", "30064771076"))), "05=001e", ""},
      {{"!"}, "", usage},
      {{"--matching", keyboardMatch, "--matching", keyboardMatch}, "", usage},
      {{"!", "--device-root", "", "property", "--matching", keyboardMatch, "--set", capsToControl},
       "",
       usage},
      {withMatch("{VendorID:1}"), "",
       "Die Geräteauswahl (--matching) ist kein gültiges JSON (Fehler bei Zeichen 2)."},
      {withMatch(R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1})"), "",
       "Die Geräteauswahl (--matching) braucht den Schlüssel „PrimaryUsage“."},
      {withMatch(R"({"VendorID":"9610","ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})"),
       "", "Die Geräteauswahl (--matching): „VendorID“ muss eine ganze Zahl sein."},
      {withMatch(R"({"VendorID":9610,"ProductID":-1,"PrimaryUsagePage":1,"PrimaryUsage":6})"), "",
       "Die Geräteauswahl (--matching): „ProductID“ liegt außerhalb von 0 bis 4294967295."},
      {withMatch(R"({"A\nB":1})"), "",
       "Die Geräteauswahl (--matching) enthält den unbekannten Schlüssel „A?B“."},
      {withMatch(R"({"VendorID":9610,"ProductID":269,"PrimaryUsagePage":1,"PrimaryUsage":6})"), "",
       "Keine passende Tastatur gefunden (Hersteller 0x258a, Produkt 0x010d, Nutzungsseite 0x01, "
       "Nutzung 0x06). Bitte die Tastatur anschließen und es erneut versuchen."},
      {withSet(R"({"UserKeyMapping":[)"), "",
       "Die Tastenbelegung (--set) ist kein gültiges JSON (Fehler bei Zeichen 20)."},
      {withMatch(R"({"VendorID":1E777,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})"), "",
       "Die Geräteauswahl (--matching) enthält eine Zahl, die zu groß ist."},
      {withSet(mapping(pair("-1e400", leftControl))), "",
       "Die Tastenbelegung (--set) enthält eine Zahl, die zu groß ist."},
      {withSet(R"({"UserKeyMapping":[],"CapsLockDelayOverride":0})"), "",
       "Die Tastenbelegung (--set) enthält den nicht unterstützten Schlüssel "
       "„CapsLockDelayOverride“."},
      {withSet(mapping(pair(capsLock, leftControl) + R"(,{"HIDKeyboardModifierMappingSrc":1})")),
       "",
       "Eintrag 2 der Tastenbelegung braucht „HIDKeyboardModifierMappingSrc“ und "
       "„HIDKeyboardModifierMappingDst“."},
      {withSet(mapping(pair("30064771129.0", leftControl))), "",
       "Eintrag 1 der Tastenbelegung: „HIDKeyboardModifierMappingSrc“ muss eine ganze Zahl sein."},
      {withSet(mapping(pair("57", leftControl))), "",
       "Eintrag 1 der Tastenbelegung: 57 in „HIDKeyboardModifierMappingSrc“" + offPage},
      {withSet(mapping(pair(capsLock, "30064771328"))), "",
       "Eintrag 1 der Tastenbelegung: 30064771328 in „HIDKeyboardModifierMappingDst“" + offPage},
      {withSet(mapping(pair(capsLock, leftControl) + "," + pair(capsLock, "30064771075"))), "",
       "Eintrag 2 der Tastenbelegung: Linux kennt für die HID-Taste 0x03 keinen Tastencode."},
      {withSet(R"({"UserKeyMapping":[]})"), "", ""},
  };
  zepa::test::SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  std::string maps;
  for (const auto& call : calls) {
    std::vector<std::string> args{"--device-root", sim.root().string(), "property"};
    if (call.args.front() == "!") args.clear();
    for (const auto& arg : call.args)
      if (arg != "!") args.push_back(arg);
    SCOPED_TRACE(testing::PrintToString(args));
    const auto logged = sim.readLog().size();
    const auto outcome = zepa::test::runProgram("zepa-keymap", args);
    EXPECT_EQ(outcome.status, call.err.empty() ? 0 : 1);
    EXPECT_EQ(outcome.err, call.err.empty() ? "" : call.err + "\n");
    EXPECT_EQ(outcome.out, "");
    if (call.err.empty()) maps = call.after;
    EXPECT_EQ(keyMap(sim), maps);
    EXPECT_EQ(writtenNodes(sim, logged), call.err.empty() ? "{ \"event2\" }" : "{}");
  }
}

TEST(KeymapOnSimulator, RefusedNodeNamesTheUdevRule) {
  zepa::test::SimMount sim({"--halvern", "--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  const auto outcome =
      zepa::test::runProgram("zepa-keymap", {"--device-root", sim.root().string(), "property",
                                             "--matching", keyboardMatch, "--set", capsToControl});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "Linux verweigert den Zugriff auf " + sim.root().string() +
                             "/dev/input/event0. Bitte die udev-Regel von ZEPA Control "
                             "installieren (zepa-control --print-udev-rules) und die Tastatur "
                             "neu verbinden.\n");
  EXPECT_EQ(writtenNodes(sim, 0), "{}");
}

// sysfs said event0 is the Halvern, but the node's number went to another keyboard before
// the tool opened it: EVIOCGID tells, and nothing is written anywhere.
TEST(KeymapOnSimulator, NodeOfAnotherDeviceIsRefused) {
  zepa::test::SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  const auto sys = sim.root() / "sys/class/input/event0/device";
  std::ofstream(sys / "id/vendor") << "258a\n";
  std::ofstream(sys / "id/product") << "010c\n";
  const auto outcome =
      zepa::test::runProgram("zepa-keymap", {"--device-root", sim.root().string(), "property",
                                             "--matching", keyboardMatch, "--set", capsToControl});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, sim.root().string() +
                             "/dev/input/event0 gehört inzwischen zu einem anderen Gerät. Bitte "
                             "es erneut versuchen.\n");
  EXPECT_EQ(writtenNodes(sim, 0), "{}");
}

}  // namespace
