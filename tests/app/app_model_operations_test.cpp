// SPDX-License-Identifier: MIT
#include <nlohmann/json.hpp>

#include "model_test_support.hpp"

namespace zepa::test {
namespace {

KeyRemap remap(std::uint8_t source, std::uint8_t target) {
  return KeyRemap{source, RemapAction::key, 0, target, 0};
}

using Operations = ModelTest;

// An edit made while the operation runs is undone: the profile is what the keyboard took.
TEST_F(Operations, SuccessSavesTheProfileItSent) {
  auto model = makeModel();
  model->applyLighting();
  const std::string sent = encodeProfile(model->profile());
  model->editProfile([](ZEPAProfile& p) { p.name = "Nacht"; });
  waitUntilIdle(*model);
  EXPECT_EQ(readFile(profilePath()), sent);
}

TEST_F(Operations, WithoutTheKeyboardOneFailsSavesNothingAndSwitchesToTheOther) {
  auto model = makeModel();
  backend_->zepa = false;
  model->applyLighting();
  waitUntilIdle(*model);
  EXPECT_EQ(readFile(profilePath()), "<missing>");
  EXPECT_EQ(model->selectedKeyboard(), SupportedKeyboard::halvern);
}

// While one runs, further requests are dropped: one that started would clear the error line.
TEST_F(Operations, RequestsDuringAnOperationAreDropped) {
  auto model = makeModel();
  model->applyLighting();
  model->setErrorMessage(QStringLiteral("alt"));
  model->syncClock();
  EXPECT_EQ(error(*model), "alt");
}

// The preview goes by firmware ID, never by the name given to it.
TEST_F(Operations, APreviewSendsTheIdInTheTestSettings) {
  auto model = makeModel();
  model->setCustomEffectName("Aus", 19);
  model->previewEffect(19);
  waitUntilIdle(*model);
  EXPECT_EQ(simulator_->zepaState()["lighting"]["report"],
            "13 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55");
}

struct Startup {
  const char* name;
  bool attached, autoClock, autoApply;
  bool clockSet, lightingSent;
};

class StartupRun : public ModelTest, public ::testing::WithParamInterface<Startup> {};

TEST_P(StartupRun, FollowsTheStoredOptionsOnce) {
  settings().setValue("autoClock", GetParam().autoClock);
  settings().setValue("autoApply", GetParam().autoApply);
  useKeyboards(true, true);
  backend_->zepa = GetParam().attached;
  auto model = makeModel();
  backend_->zepa = true;
  model->startup();
  waitUntilIdle(*model);
  const nlohmann::json state = simulator_->zepaState();
  EXPECT_EQ(!state["clock"].is_null(), GetParam().clockSet);
  EXPECT_EQ(!state["lighting"].is_null(), GetParam().lightingSent);
  model->refreshConnection();
  model->startup();  // never a second time, even with the keyboard attached now
  EXPECT_FALSE(model->busy());
}

INSTANTIATE_TEST_SUITE_P(Model, StartupRun,
                         ::testing::Values(Startup{"ClockOnly", true, true, false, true, false},
                                           Startup{"ApplyOnly", true, false, true, false, true},
                                           Startup{"KeyboardAbsent", false, true, true, false,
                                                   false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Edited as sent but multicoloured and without a colour: static means one colour, and the
// picked colour goes with it.
TEST_F(Operations, HalvernLightingIsStoredOnceTheKeyboardTookIt) {
  const HalvernLightingConfig sent{HalvernEffect::staticColor, {200, 100, 50}, 3, 2, false};
  auto model = makeModel();
  model->setHalvernLighting({HalvernEffect::staticColor, {}, 3, 2, true});
  model->setHalvernSelectedColor(QColor(200, 100, 50));
  model->applyHalvernLighting();
  model->editHalvernLighting([](HalvernLightingConfig& l) { l.speed = 0; });
  waitUntilIdle(*model);
  EXPECT_EQ(stored("halvernLighting"), encodeHalvernLighting(sent));
}

// Adding a pair replaces the key's old one and stores the list sorted by key.
TEST_F(Operations, AddingAHalvernPairStoresTheSortedList) {
  auto model = makeModel();
  model->setHalvernRemaps({remap(0x39, 0xE0), remap(0x04, 0x05)});
  model->setHalvernSourceHID(0x04);
  model->setHalvernTargetHID(0x06);
  model->addHalvernRemap();
  EXPECT_EQ(stored("halvernRemaps"), encodeKeyRemaps({remap(0x04, 0x06), remap(0x39, 0xE0)}));
}

// A stand-in for zepa-keymap: writes `errorText` (printf format) to standard error and ends
// with `ending`.
class KeymapTool : public ModelTest {
 protected:
  std::unique_ptr<AppModel> withTool(const std::string& errorText, const std::string& ending) {
    writeFile(tool_, "#!/bin/sh\nprintf '" + errorText + "' >&2\n" + ending + "\n");
    QFile(tool_).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    ModelEnvironment env = environment();
    if (ending == "missing") QFile::remove(tool_);  // nothing at that path
    env.keymapProgram = tool_;
    return std::make_unique<AppModel>(env);
  }
  const QString tool_ = home_.filePath("tool/zepa-keymap");
};

struct ToolRun {
  const char* name;
  const char* errorText;
  const char* ending;
  const char* error;  // "" for success; %1 stands for the program
};

class KeymapToolRun : public KeymapTool, public ::testing::WithParamInterface<ToolRun> {};

// Its outcome alone decides the error line: a warning on success is none.
TEST_P(KeymapToolRun, DecidesTheErrorLine) {
  auto model = withTool(GetParam().errorText, GetParam().ending);
  model->setHalvernRemaps({remap(0x39, 0xE0)});
  model->applyHalvernRemaps();
  waitUntilIdle(*model);
  EXPECT_EQ(error(*model), QString::fromUtf8(GetParam().error).arg(tool_));
}

INSTANTIATE_TEST_SUITE_P(
    Model, KeymapToolRun,
    ::testing::Values(ToolRun{"WarningOnSuccess", "Warnung\\n", "exit 0", ""},
                      ToolRun{"ItsOwnText", "   Keine Tastatur gefunden.\\n", "exit 1",
                              "Keine Tastatur gefunden."},
                      ToolRun{"Silent", "", "exit 1",
                              "zepa-keymap konnte die Tastenbelegung nicht anwenden."},
                      ToolRun{"Missing", "", "missing", "Das Programm %1 wurde nicht gefunden."}),
    [](const auto& info) { return std::string(info.param.name); });

// Linux takes at most 128 KiB in one argument; a longer list is named as such, not blamed on a
// tool that never started.
TEST_F(KeymapTool, AListTooLongForOneArgumentIsNamed) {
  auto model = withTool("", "exit 0");
  model->setHalvernRemaps(std::vector<KeyRemap>(3000, remap(0x39, 0xE0)));
  model->applyHalvernRemaps();
  waitUntilIdle(*model);
  EXPECT_EQ(error(*model),
            "Die Tastenbelegung ist zu umfangreich, um sie an zepa-keymap zu übergeben. "
            "Bitte weniger Tasten umbelegen.");
}

}  // namespace
}  // namespace zepa::test
