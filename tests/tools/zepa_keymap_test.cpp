// SPDX-License-Identifier: MIT
// zepa-keymap: the call's checks and the whole-map writes against recording keycode tables, and
// the real program against a mounted simulator.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "protocol/hid/linux_keycodes.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/report_bytes.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/keymap/key_map_writer.hpp"
#include "tools/keymap/key_mapping_request.hpp"

namespace {

using zepa::keymap::KeyPair;
using zepa::test::PrintTo;

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

struct MapWrite {
  const char* name;
  int first, second;  // the last usage each node's reports carry; -1: none
  std::vector<KeyPair> pairs;
  std::string fault;  // on the first node
  std::string firstAfter, secondAfter;
  std::string error;  // part of the message; empty for success
};

class KeyMapWrites : public ::testing::TestWithParam<MapWrite> {};

TEST_P(KeyMapWrites, SetTheWholeMapOrNothing) {
  const MapWrite& row = GetParam();
  RecordingKeycodeTable first(row.first, row.fault), second(row.second, "");
  // A change made before, which a failed call must leave and a successful one replaces.
  if (first.keys.count(0)) first.keys[0] = 0x30;
  const zepa::keymap::KeymapTarget targets[] = {{"/dev/input/event4", &first},
                                                {"/dev/input/event5", &second}};
  std::string error;
  try {
    zepa::keymap::applyKeyMap(targets, row.pairs);
  } catch (const zepa::keymap::KeymapError& e) {
    error = e.what();
  }
  if (row.error.empty())
    EXPECT_EQ(error, "");
  else
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
  EXPECT_EQ(first.changes(), row.firstAfter);
  EXPECT_EQ(second.changes(), row.secondAfter);
}

const KeyPair capsToCtrl{0x39, 0xE0, 29}, ctrlToCaps{0xE0, 0x39, 58}, altGrToA{0xE6, 0x04, 30};
const std::vector<KeyPair> capsOnly{capsToCtrl}, withAltGr{capsToCtrl, altGrToA},
    withCtrl{capsToCtrl, ctrlToCaps};

INSTANTIATE_TEST_SUITE_P(
    Keymap, KeyMapWrites,
    ::testing::Values(
        // Caps Lock gives KEY_LEFTCTRL, only on the node whose reports carry it.
        MapWrite{"onlyNodesThatCarryTheKey", 0xff, 0x65, withAltGr, "", "39=001d e6=001e",
                 "39=001d", ""},
        MapWrite{"aKeyNoNodeCarries", 0x65, -1, withCtrl, "", "00=0030", "",
                 "Eintrag 2 der Tastenbelegung: Die Tastatur hat keine Taste mit der HID-Nutzung "
                 "0xe0."},
        MapWrite{"noNodeTakesAMap", -1, -1, capsOnly, "", "", "", "nimmt keine Tastenbelegung an"},
        MapWrite{"readFails", 0xff, 0xff, capsOnly, "get", "00=0030", "",
                 "Die Tastenbelegung von /dev/input/event4 konnte nicht gelesen werden (Fehler "
                 "0xe00002ca)."},
        MapWrite{"writeFailsAndIsTakenBack", 0xff, -1, capsOnly, "set257", "00=0030", "",
                 "Die Tastenbelegung konnte auf /dev/input/event4 nicht gesetzt werden (Fehler "
                 "0xe00002ca). Die bisherige Belegung bleibt bestehen."},
        // The reset of usage 0x00 went through and could not be taken back.
        MapWrite{"takingBackFails", 0xff, -1, capsOnly, "set3+", "", "",
                 "nicht vollständig wiederhergestellt werden; bitte die Tastatur neu"}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string capsLock = "30064771129", leftControl = "30064771296";

std::string mapping(const std::string& entries) {
  return R"({"UserKeyMapping":[)" + entries + "]}";
}
std::string pair(const std::string& source, const std::string& target) {
  return R"({"HIDKeyboardModifierMappingSrc":)" + source + R"(,"HIDKeyboardModifierMappingDst":)" +
         target + "}";
}

const std::string rest = R"("ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})";
const std::string keyboardMatch = R"({"VendorID":9610,)" + rest;
const std::string capsToControl = mapping(pair(capsLock, leftControl));
const std::string offPage = " ist keine Taste der Tastaturseite (0x700000000 bis 0x7000000ff).";
const std::string matchingName = "Die Geräteauswahl (--matching)",
                  firstEntryName = "Eintrag 1 der Tastenbelegung";

std::vector<std::string> withMatch(const std::string& match) {
  return {"property", "--matching", match, "--set", capsToControl};
}
std::vector<std::string> withSet(const std::string& property) {
  return {"property", "--matching", keyboardMatch, "--set", property};
}

// Everything is checked before a device is touched; the message says what is wrong.
struct Refusal {
  const char* name;
  std::vector<std::string> args;
  std::string error;
};

class KeymapCall : public ::testing::TestWithParam<Refusal> {};

TEST_P(KeymapCall, RefusedWithItsReason) {
  const std::vector<std::string_view> args(GetParam().args.begin(), GetParam().args.end());
  std::string error;
  try {
    zepa::keymap::parseArguments(args);
  } catch (const zepa::keymap::KeymapError& e) {
    error = e.what();
  }
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Keymap, KeymapCall,
    ::testing::Values(
        Refusal{"matchNotJson", withMatch("{VendorID:1}"),
                matchingName + " ist kein gültiges JSON (Fehler bei Zeichen 2)."},
        Refusal{"matchNumberTooLarge", withMatch(R"({"VendorID":1E777,)" + rest),
                matchingName + " enthält eine Zahl, die zu groß ist."},
        Refusal{"matchNegative", withMatch(R"({"VendorID":-1,)" + rest),
                matchingName + ": „VendorID“ liegt außerhalb von 0 bis 4294967295."},
        Refusal{"matchUnknownKeyShownSafely", withMatch(R"({"A\nB":1})"),
                matchingName + " enthält den unbekannten Schlüssel „A?B“."},
        // The second entry, so the count shows.
        Refusal{"mapEntryIncomplete",
                withSet(mapping(pair(capsLock, leftControl) +
                                R"(,{"HIDKeyboardModifierMappingSrc":1})")),
                "Eintrag 2 der Tastenbelegung braucht „HIDKeyboardModifierMappingSrc“ und "
                "„HIDKeyboardModifierMappingDst“."},
        Refusal{"mapFloat", withSet(mapping(pair("30064771129.0", leftControl))),
                firstEntryName + ": „HIDKeyboardModifierMappingSrc“ muss eine ganze Zahl sein."},
        Refusal{"mapPastTheKeyboardPage", withSet(mapping(pair(capsLock, "30064771328"))),
                firstEntryName + ": 30064771328 in „HIDKeyboardModifierMappingDst“" + offPage},
        Refusal{"mapKeyLinuxLacks", withSet(mapping(pair(capsLock, "30064771075"))),
                firstEntryName + ": Linux kennt für die HID-Taste 0x03 keinen Tastencode."}),
    [](const auto& info) { return std::string(info.param.name); });

// The nodes that got keycodes.
std::set<std::string> writtenNodes(const zepa::test::SimMount& sim) {
  std::set<std::string> nodes;
  for (const auto& entry : sim.readLog())
    if (entry.op == "SETKEYCODE") nodes.insert(entry.node);
  return nodes;
}

zepa::test::ProgramOutcome keymap(const zepa::test::SimMount& sim, const std::string& match,
                                  const std::string& set) {
  return zepa::test::runProgram("zepa-keymap", {"--device-root", sim.root().string(), "property",
                                                "--matching", match, "--set", set});
}

// The one line, and nothing written anywhere.
void expectRefused(const zepa::test::SimMount& sim, const zepa::test::ProgramOutcome& outcome,
                   const std::string& err) {
  EXPECT_EQ(outcome.err, err + "\n");
  EXPECT_EQ(writtenNodes(sim), std::set<std::string>{});
}

// A keyboard that differs in vendor or product alone is not the Halvern.
struct OtherKeyboard {
  const char* name;
  const char* match;
  const char* shown;
};

class KeymapMatch : public ::testing::TestWithParam<OtherKeyboard> {};

TEST_P(KeymapMatch, NoMatchingKeyboardIsNamed) {
  zepa::test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  expectRefused(sim, keymap(sim, GetParam().match, capsToControl),
                std::string("Keine passende Tastatur gefunden (") + GetParam().shown +
                    ", Nutzungsseite 0x01, Nutzung 0x06). Bitte die Tastatur anschließen und es "
                    "erneut versuchen.");
}

INSTANTIATE_TEST_SUITE_P(
    KeymapOnSimulator, KeymapMatch,
    ::testing::Values(
        OtherKeyboard{"otherVendor",
                      R"({"VendorID":9611,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})",
                      "Hersteller 0x258b, Produkt 0x010c"},
        OtherKeyboard{"otherProduct",
                      R"({"VendorID":9610,"ProductID":269,"PrimaryUsagePage":1,"PrimaryUsage":6})",
                      "Hersteller 0x258a, Produkt 0x010d"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeymapOnSimulator, RefusedNodeNamesTheUdevRule) {
  zepa::test::SimMount sim({"--halvern", "--fail", "open:EACCES"});
  ZEPA_REQUIRE_SIM(sim);
  expectRefused(sim, keymap(sim, keyboardMatch, capsToControl),
                "Linux verweigert den Zugriff auf " + sim.root().string() +
                    "/dev/input/event0. Bitte die udev-Regel von ZEPA Control installieren "
                    "(zepa-control --print-udev-rules) und die Tastatur neu verbinden.");
}

// sysfs said event0 is the Halvern, but the node's number went to another keyboard before
// the tool opened it: EVIOCGID tells, and nothing is written anywhere.
TEST(KeymapOnSimulator, NodeOfAnotherDeviceIsRefused) {
  zepa::test::SimMount sim({"--extra-devices", "2"});
  ZEPA_REQUIRE_SIM(sim);
  const auto sys = sim.root() / "sys/class/input/event0/device";
  std::ofstream(sys / "id/vendor") << "258a\n";
  std::ofstream(sys / "id/product") << "010c\n";
  expectRefused(sim, keymap(sim, keyboardMatch, capsToControl),
                sim.root().string() +
                    "/dev/input/event0 gehört inzwischen zu einem anderen Gerät. Bitte es erneut "
                    "versuchen.");
}

}  // namespace
