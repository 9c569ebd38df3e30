// SPDX-License-Identifier: MIT
// Settings writes leave the window's thread: queued in order, seen at once by reads, and on
// disk before the application is gone. An empty, fresh lock file holds the first write back
// for a second (a writer that may still be filling it), so the later ones are still queued.
#include "app/launch/zepa_control_app.hpp"
#include "model_test_support.hpp"

namespace zepa::test {
namespace {

const KeyRemap capsToControl{0x39, RemapAction::key, 0, 0xE0, 0};
const KeyRemap escToCaps{0x29, RemapAction::key, 0, 0x39, 0};

class SettingsWriterTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    writeFile(settingsPath() + ".lock", "");  // holds the first write back
  }
};

TEST_F(SettingsWriterTest, ReadsSeeQueuedWritesBeforeTheyReachTheFile) {
  writeFile(settingsPath(), "[General]\nautoApply=false\n");
  SettingsStore store(SettingsStore::Writes::background);
  store.setAutoApply(true);
  EXPECT_TRUE(store.autoApply());
  EXPECT_EQ(readFile(settingsPath()), "[General]\nautoApply=false\n") << "written on this thread";
}

TEST_F(SettingsWriterTest, QueuedWritesLandInOrderAndTheLastWins) {
  {
    SettingsStore store(SettingsStore::Writes::background);
    store.setHalvernRemaps({capsToControl});
    store.setHalvernRemaps({capsToControl, escToCaps});
    store.setCustomEffectNames({{4, "Wellen"}});
    store.remove(SettingsStore::customEffectNamesKey);
  }
  const SettingsStore written;
  EXPECT_EQ(written.halvernRemaps(), (std::vector{capsToControl, escToCaps}));
  EXPECT_FALSE(written.contains(SettingsStore::customEffectNamesKey));
}

TEST_F(SettingsWriterTest, ARemovalQueuedAfterAWriteReadsAsAbsentAtOnce) {
  SettingsStore store(SettingsStore::Writes::background);
  store.setCustomEffectNames({{4, "Wellen"}});
  store.remove(SettingsStore::customEffectNamesKey);
  EXPECT_FALSE(store.contains(SettingsStore::customEffectNamesKey));
}

// What the program does after its event loop ends: the application goes, and with it the model.
TEST_F(SettingsWriterTest, QuittingTheApplicationWaitsForQueuedWrites) {
  auto app = std::make_unique<ZEPAControlApp>(environment(), LaunchOptions{});
  AppModel& model = app->model();
  model.setAutoApply(true);
  app.reset();
  const std::string text = readFile(settingsPath());
  EXPECT_NE(text.find("autoApply=true"), std::string::npos) << text;
}

}  // namespace
}  // namespace zepa::test
