// SPDX-License-Identifier: MIT
#include <iostream>

#include <QProcess>
#include <QThread>

#include "model_test_support.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa::test {

// The one path of the model through real hidraw requests at the simulated keyboard.
TEST_F(ModelTest, LightingReachesTheMountedKeyboard) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  ModelEnvironment env = systemEnvironment(QString::fromStdString(sim.root().string()));
  env.sleeper = environment().sleeper;
  AppModel model(env);
  model.setSelectedColor(QColor(255, 0, 0));
  model.applyLighting();
  waitUntilIdle(model);
  EXPECT_EQ(sim.stateJson("zepa")["lighting"]["report"],
            "0b ff 00 00 00 00 00 00 01 05 03 00 00 00 aa 55");
}

// Run only by the test below, as the process it kills in the middle of saving.
TEST(ProfileSavingChild, DISABLED_SavesUntilKilled) {
  const ProfileStore store(qEnvironmentVariable("ZEPA_TEST_SAVING_PROFILE"));
  ASSERT_TRUE(store.createFolder());
  ZEPAProfile profile = ZEPAProfile::makeDefault();
  ASSERT_TRUE(store.save(profile));
  std::cout << "saving" << std::endl;
  for (unsigned round = 0;; ++round) {
    profile.name = std::string(round % 5000, 'x');  // a torn file could not pass for a whole one
    ASSERT_TRUE(store.save(profile));
  }
}

TEST_F(ModelTest, AProfileWriterKilledAtAnyMomentLeavesADecodableFile) {
  qputenv("ZEPA_TEST_SAVING_PROFILE", profilePath().toUtf8());
  for (int round = 0; round < 20 && !HasFailure(); ++round) {
    SCOPED_TRACE(round);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=*SavesUntilKilled", "--gtest_also_run_disabled_tests"});
    while (!child.readAllStandardOutput().contains("saving"))
      ASSERT_TRUE(child.waitForReadyRead(20000)) << "the saving child never began";
    QThread::usleep(static_cast<unsigned long>(round) * 1500);  // 0 to 30 ms, 1.5 ms apart
    child.kill();
    ASSERT_TRUE(child.waitForFinished());
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the child stopped on its own";
    EXPECT_TRUE(decodeProfile(readFile(profilePath()))) << "torn: " << readFile(profilePath());
  }
}

}  // namespace zepa::test
