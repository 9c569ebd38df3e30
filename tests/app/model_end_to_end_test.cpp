// SPDX-License-Identifier: MIT
#include <iostream>

#include <QProcess>
#include <QThread>

#include "model_test_support.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa::test {

// The window applies lighting while `zepactl restore` holds the keyboard: the work item waits
// for the lock, so both sequences arrive whole and the window's comes last.
TEST_F(ModelTest, LightingDuringARestoreWaitsItsTurn) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  const QString root = QString::fromStdString(sim.root().string());
  ModelEnvironment env = systemEnvironment(root);
  env.sleeper = environment().sleeper;
  AppModel model(env);
  model.setSelectedColor(QColor(0, 0, 255));
  model.applyLighting();  // also stores the profile the restore sends again
  waitUntilIdle(model);
  ASSERT_EQ(model.message(), "Beleuchtung aktualisiert");
  const auto before = sim.readLog().size();

  QProcess restore;
  restore.start(QStringLiteral(ZEPA_BIN_DIR "/zepactl"),
                {QStringLiteral("--device-root"), root, QStringLiteral("restore")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim.readLog().size() > before; }, 10000))
      << "the restore never began";
  model.setSelectedColor(QColor(255, 0, 0));
  model.applyLighting();
  waitUntilIdle(model);
  // The event loop of the wait above may already have seen it end.
  ASSERT_TRUE(restore.state() == QProcess::NotRunning || restore.waitForFinished(20000));
  EXPECT_EQ(restore.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(restore.exitCode(), 0) << restore.readAllStandardError().toStdString();
  EXPECT_EQ(model.message(), "Beleuchtung aktualisiert");
  const auto state = sim.stateJson("zepa");
  EXPECT_EQ(state["rejected"], 0);
  EXPECT_EQ(state["lighting"]["report"], "0b ff 00 00 00 00 00 00 01 05 03 00 00 00 aa 55");
  EXPECT_EQ(state["applied"], 1 + 2 + 1) << "first lighting, restore's two, the window's";
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
