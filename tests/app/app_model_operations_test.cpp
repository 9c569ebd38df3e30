// SPDX-License-Identifier: MIT
#include <functional>
#include <sstream>

#include <QSignalSpy>

#include <nlohmann/json.hpp>

#include "model_test_support.hpp"

namespace zepa::test {

// What the ZEPA firmware took: the lighting report's first 16 bytes, the clock, and each
// written slot as "index: bytes" (per-key: key RGB; remaps: action, param1-3).
std::string applied(const sim::InProcessBackend& simulator) {
  const nlohmann::json state = simulator.zepaState();
  std::ostringstream out;
  if (!state["lighting"].is_null()) out << state["lighting"]["report"].get<std::string>() << "; ";
  if (!state["clock"].is_null()) out << state["clock"].dump() << "; ";
  for (const char* block : {"perKeyColors", "baseRemaps"}) {
    for (const auto& slot : state[block]) {
      std::vector<std::uint8_t> bytes;
      for (const char* field :
           {"key", "red", "green", "blue", "action", "param1", "param2", "param3"})
        if (slot.contains(field)) bytes.push_back(slot[field].get<std::uint8_t>());
      out << slot["index"] << ": " << hexBytes(bytes) << "; ";
    }
  }
  return out.str();
}

const std::string sunday =
    R"({"day":9,"hour":14,"minute":5,"month":3,"profile":1,"second":7,"weekday":0,"year":2025}; )";
const std::string profileLighting = "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55; ";
const std::string perKeyLighting = "80 00 00 00 00 00 00 00 00 05 00 00 00 00 aa 55; ";

KeyRemap remap(std::uint8_t source, std::uint8_t param1, std::uint8_t param2) {
  return KeyRemap{source, RemapAction::key, param1, param2, 0};
}

// Each request on a profile with key colours 4 and 9, keys 3-5 selected, remaps for 55 and 20
// and the colour (1.0, 0.5, 0.0) picked; then again on a keyboard pulled before the request.
TEST_F(ModelTest, EachOperationSucceedsOrFailsWithoutSaving) {
  // clang-format off
  const std::tuple<std::function<void(AppModel&)>, const char*, std::string> cases[] = {
      {&AppModel::applyLighting, "Beleuchtung aktualisiert",
       "0b ff 7f 00 00 00 00 00 01 05 03 00 00 00 aa 55; "},
      {&AppModel::applyPerKey, "Einzeltastenfarben aktualisiert",
       perKeyLighting + "3: 03 ff 7f 00; 4: 04 ff 7f 00; 5: 05 ff 7f 00; 9: 09 09 09 09; "},
      {&AppModel::clearPerKey, "Einzeltastenfarben gelöscht", perKeyLighting},
      {&AppModel::syncClock, "Uhr synchronisiert", sunday},
      // Caps (55) to Ctrl L (91), a modifier, then to A (56), a plain key.
      {&AppModel::addRemap, "Tastenbelegung aktualisiert", "20: 02 00 07 00; 55: 02 01 00 00; "},
      {[](AppModel& m) { m.setTargetIndex(56); m.addRemap(); }, "Tastenbelegung aktualisiert",
       "20: 02 00 07 00; 55: 02 00 04 00; "},
      {&AppModel::applyRemaps, "Tastenbelegung aktualisiert", "20: 02 00 07 00; 55: 02 00 09 00; "},
      {&AppModel::resetRemaps, "Tastenbelegung aktualisiert", ""},
      {[](AppModel& m) { m.previewEffect(19); }, "Firmware-ID 19 wird getestet",
       "13 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55; "}};
  // clang-format on
  const QString notFound = "Fehler: " + QString::fromStdString(ZEPAError::notFound().description());
  for (const auto& [request, message, sent] : cases) {
    SCOPED_TRACE(message);
    useKeyboards(true, true);
    QFile::remove(profilePath());
    auto model = makeModel();
    model->setCustomEffectName("Aus", 19);  // the preview goes by ID, never by name
    model->setSelectedColor(QColor::fromRgbF(1.0f, 0.5f, 0.0f));
    model->setSelectedKeys({5, 3, 4});
    model->editProfile([](ZEPAProfile& p) {
      p.keyColors = {{4, {1, 2, 3}}, {9, {9, 9, 9}}};
      p.remaps = {remap(55, 0, 9), remap(20, 0, 7)};
    });
    request(*model);
    const std::string snapshot = encodeProfile(model->profile());
    // While it runs, further requests are dropped and leave the error line alone.
    model->setErrorMessage(QStringLiteral("alt"));
    QSignalSpy started(model.get(), &AppModel::busyChanged);
    for (auto other : {&AppModel::syncClock, &AppModel::applyHalvernLighting, &AppModel::startup})
      (model.get()->*other)();
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(status(*model), "Wird übertragen …: alt");
    model->setErrorMessage(std::nullopt);
    model->editProfile([](ZEPAProfile& p) { p.name = "Nacht"; });  // undone by the snapshot
    waitUntilIdle(*model);
    EXPECT_EQ(std::pair(status(*model), applied(*simulator_)), std::pair(QString(message), sent));
    EXPECT_EQ(encodeProfile(model->profile()) + readFile(profilePath()), snapshot + snapshot);
    const auto& keys = model->profile().keyColors;  // one colour per key, in key order
    EXPECT_TRUE(std::ranges::adjacent_find(keys, std::ranges::greater_equal{}, &KeyColor::index) ==
                keys.end());
    model->setTargetIndex(0);  // no key has index 0
    model->addRemap();
    model->previewEffect(-1);  // nor a firmware ID outside 0-19
    model->previewEffect(20);
    EXPECT_FALSE(model->busy());

    auto unplugged = makeModel();
    backend_->zepa = false;
    unplugged->editProfile([](ZEPAProfile& p) { p.name = "Nacht"; });
    request(*unplugged);
    waitUntilIdle(*unplugged);
    EXPECT_EQ(status(*unplugged), notFound);
    EXPECT_EQ(std::pair(unplugged->connectedKeyboards(), unplugged->selectedKeyboard()),
              std::pair(KeyboardList{SupportedKeyboard::halvern}, SupportedKeyboard::halvern));
    EXPECT_EQ(readFile(profilePath()), snapshot);
  }
  EXPECT_GT(*pauses_, 0);
}

TEST_F(ModelTest, StartupFollowsTheStoredOptionsOnce) {
  const std::tuple<bool, QVariant, QVariant, const char*, std::string> cases[] = {
      {true, {}, {}, "Uhr synchronisiert", sunday},  // nothing stored
      {true, true, true, "Uhr und Profil synchronisiert", profileLighting + sunday},
      {true, false, true, "Profil angewendet", profileLighting},
      {true, false, false, "Bereit", ""},
      {false, true, true, "Bereit", ""},  // keyboard absent at launch
  };
  for (const auto& [attached, clock, apply, message, sent] : cases) {
    SCOPED_TRACE(message);
    useKeyboards(true, true);
    QFile::remove(profilePath());
    settings().clear();
    if (clock.isValid()) settings().setValue("autoClock", clock);
    if (apply.isValid()) settings().setValue("autoApply", apply);
    backend_->zepa = attached;
    auto model = makeModel();
    backend_->zepa = true;
    model->startup();
    waitUntilIdle(*model);
    EXPECT_EQ(std::pair(status(*model), applied(*simulator_)), std::pair(QString(message), sent));
    EXPECT_EQ(QFile::exists(profilePath()), !sent.empty());
    model->refreshConnection();
    model->startup();  // never a second time, even with the keyboard attached now
    EXPECT_FALSE(model->busy());
  }
}

// Edited as sent but multicoloured and without a colour; the picked colour goes with it.
TEST_F(ModelTest, HalvernLightingIsStoredOnlyAfterTheKeyboardTookIt) {
  using enum HalvernEffect;
  const RGBColor picked{200, 100, 50};
  // clang-format off
  const std::tuple<bool, HalvernLightingConfig, QString> cases[] = {
      {true, {staticColor, picked, 3, 2, false}, "Halvern-Beleuchtung aktualisiert"},
      {false, {wave, picked, 4, 4, true},
       "Fehler: Halvern Corvane Pro wurde nicht per USB gefunden."}};
  // clang-format on
  for (auto [attached, sent, message] : cases) {
    useKeyboards(true, true);
    settings().clear();
    auto model = makeModel();
    const int before = simulator_->halvernState()["effect"];
    backend_->halvern = attached;
    model->setHalvernLighting({sent.effect, {}, sent.brightness, sent.speed, true});
    model->setHalvernSelectedColor(QColor(200, 100, 50));
    model->applyHalvernLighting();
    model->editHalvernLighting([](HalvernLightingConfig& l) { l.speed = 0; });
    waitUntilIdle(*model);
    EXPECT_EQ(std::pair(status(*model), model->halvernConnected()), std::pair(message, attached));
    EXPECT_EQ(stored("halvernLighting"), attached ? encodeHalvernLighting(sent) : "<absent>");
    EXPECT_EQ(simulator_->halvernState()["effect"], attached ? rawValue(sent.effect) : before);
    sent.speed = attached ? sent.speed : 0;  // as taken; on success the snapshot undoes the edit
    EXPECT_EQ(model->halvernLighting(), sent);
  }
}

// Adding a pair replaces the key's old one and stores the list sorted by key before the tool
// runs; the tool gets the device root and the five arguments of the key-mapping call, and its
// outcome alone decides the status: it never opens the HID interface.
TEST_F(ModelTest, HalvernRemapsAreStoredAndHandedToTheKeymapTool) {
  const QString tool = home_.filePath("tool/zepa-keymap"), active = "Halvern-Tastenbelegung aktiv";
  const QString fallback = "Fehler: zepa-keymap konnte die Tastenbelegung nicht anwenden.";
  const std::tuple<const char*, const char*, QString> cases[] = {
      {"Warnung\\n", "exit 0", active},
      {"   Keine Tastatur gefunden.\\n", "exit 1", "Fehler: Keine Tastatur gefunden."},
      {"", "exit 1", fallback},
      {" \\n\\t", "exit 3", fallback},
      {"\\377\\376 kaputt", "exit 1", fallback},  // not UTF-8
      {"halb", "kill -9 $$", "Fehler: halb"},
      {"", "missing",
       "Fehler: Das Programm " + home_.filePath("missing") + " wurde nicht gefunden."},
      {"", "not executable", "Fehler: Das Programm " + tool + " ist nicht ausführbar."},
  };
  const std::vector<KeyRemap> expected{remap(0x04, 0, 0x06), remap(0x39, 0, 0xE0)};
  for (const auto& [errorText, exit, message] : cases) {
    SCOPED_TRACE(std::string(exit) + ", " + errorText);
    // A stand-in for zepa-keymap: records its arguments one per line beside itself, writes
    // `errorText` (printf format) to standard error and ends with `exit`.
    writeFile(tool, std::string("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\nprintf '") +
                        errorText + "' >&2\n" + exit + "\n");
    QFile(tool).setPermissions(exit == std::string("not executable")
                                   ? QFile::ReadOwner
                                   : QFile::ReadOwner | QFile::ExeOwner);
    ModelEnvironment env = environment();
    env.keymapProgram = exit == std::string("missing") ? home_.filePath("missing") : tool;
    env.keymapArguments = {"--device-root", "/tmp/root"};
    auto model = std::make_unique<AppModel>(env);
    model->setHalvernRemaps({remap(0x39, 0, 0xE0), remap(0x04, 0, 0x05)});
    model->setHalvernSourceHID(0x04);
    model->setHalvernTargetHID(0x06);
    QSignalSpy detection(model.get(), &AppModel::halvernConnectedChanged);
    model->addHalvernRemap();
    EXPECT_EQ(stored("halvernRemaps"), encodeKeyRemaps(expected));
    EXPECT_EQ(status(*model), "Tastenbelegung wird angewendet …");
    waitUntilIdle(*model);
    EXPECT_EQ(status(*model), message);
    EXPECT_EQ(detection.count(), 0);
  }
  // As the last tool that started recorded them.
  const QStringList args =
      QString::fromStdString(readFile(tool + ".args")).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(args.size(), 7) << args.join(' ').toStdString();
  EXPECT_EQ(args.mid(0, 6).join(' '),
            "--device-root /tmp/root property --matching "
            R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6} --set)");
  // Keyboard usages with page 7 in the upper half: 0x700000004 and so on.
  EXPECT_EQ(nlohmann::json::parse(args[6].toStdString()),
            nlohmann::json::parse(R"({"UserKeyMapping":[
      {"HIDKeyboardModifierMappingSrc":30064771076,"HIDKeyboardModifierMappingDst":30064771078},
      {"HIDKeyboardModifierMappingSrc":30064771129,"HIDKeyboardModifierMappingDst":30064771296}
    ]})"));
}

// Linux takes at most 128 KiB in one argument; a list longer than that is named as such, not
// blamed on a tool that never started.
TEST_F(ModelTest, AKeyListTooLongForOneArgumentIsNamed) {
  const QString tool = home_.filePath("tool/zepa-keymap");
  writeFile(tool, "#!/bin/sh\nexit 0\n");
  QFile(tool).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
  ModelEnvironment env = environment();
  env.keymapProgram = tool;
  AppModel model(env);
  model.setHalvernRemaps(std::vector<KeyRemap>(3000, remap(0x39, 0, 0xE0)));
  model.applyHalvernRemaps();
  waitUntilIdle(model);
  EXPECT_EQ(status(model),
            "Fehler: Die Tastenbelegung ist zu umfangreich, um sie an zepa-keymap zu übergeben. "
            "Bitte weniger Tasten umbelegen.");
}

}  // namespace zepa::test
