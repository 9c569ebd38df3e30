#include <QFile>

#include "model_test_support.hpp"
#include "tests/support/sim_mount.hpp"

// The model against zepa-sim through the real hidraw backend and the real zepa-keymap.
namespace zepa::test {
namespace {

class ModelEndToEndTest : public ModelTest {
 protected:
  std::unique_ptr<AppModel> makeModel(const SimMount& sim) {
    ModelEnvironment env = systemEnvironment(QString::fromStdString(sim.root().string()));
    env.sleeper = environment().sleeper;
    env.calendar = fixedDate;
    env.keymapProgram = QStringLiteral(ZEPA_BIN_DIR "/zepa-keymap");
    return std::make_unique<AppModel>(env);
  }
};

TEST_F(ModelEndToEndTest, OperationsReachBothSimulatedKeyboards) {
  SimMount sim;
  ZEPA_REQUIRE_SIM(sim);
  auto model = makeModel(sim);
  EXPECT_EQ(model->connectedKeyboards(),
            (KeyboardList{SupportedKeyboard::zepa, SupportedKeyboard::halvern}));
  EXPECT_EQ(model->selectedKeyboard(), SupportedKeyboard::zepa);

  model->setSelectedColor(QColor(255, 0, 0));
  model->editProfile([](ZEPAProfile& p) { p.lighting.mode = LightingMode::breath; });
  model->applyLighting();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Beleuchtung aktualisiert");
  EXPECT_EQ(sim.stateJson("zepa")["lighting"]["report"],
            "07 ff 00 00 00 00 00 00 01 05 03 00 00 00 aa 55");
  EXPECT_EQ(readFile(profilePath()), encodeProfile(model->profile()));

  model->setHalvernLighting({HalvernEffect::breathing, RGBColor{}, 2, 3, false});
  model->setHalvernSelectedColor(QColor(0, 128, 255));
  model->applyHalvernLighting();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Halvern-Beleuchtung aktualisiert");
  const auto halvern = sim.stateJson("halvern");
  EXPECT_EQ(halvern["effect"], 2);
  EXPECT_EQ(halvern["color"], (nlohmann::json{{"red", 0}, {"green", 128}, {"blue", 255}}));

  // Caps Lock (usage 0x39) gives Left Control, Linux key 29.
  model->addHalvernRemap();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Halvern-Tastenbelegung aktiv")
      << model->errorMessage()->toStdString();
  EXPECT_EQ(sim.stateJson("halvern")["keyMap"],
            nlohmann::json::parse(R"([{"scancode":458809,"usage":57,"keycode":29}])"));

  model->setHalvernRemaps({});
  model->saveHalvernRemaps();
  model->applyHalvernRemaps();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Halvern-Tastenbelegung zurückgesetzt");
  EXPECT_EQ(sim.stateJson("halvern")["keyMap"], nlohmann::json::array());
}

TEST_F(ModelEndToEndTest, UnpluggedDuringAnOperationIsReportedAndRedetected) {
  SimMount sim({"--zepa", "--fail", "unplug:2"});
  ZEPA_REQUIRE_SIM(sim);
  auto model = makeModel(sim);
  ASSERT_TRUE(model->connected());
  model->applyLighting();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Fehler");
  EXPECT_EQ(model->errorMessage(),
            QString::fromStdString(ZEPAError::readFailed(hid::kIOReturnNoDevice).description()));
  EXPECT_FALSE(model->zepaConnected());
  EXPECT_FALSE(model->connected());
  EXPECT_FALSE(QFile::exists(profilePath()));
}

}  // namespace
}  // namespace zepa::test
