#include <cstdio>
#include <random>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "app/model/profile_store.hpp"

namespace zepa::test {
namespace {

constexpr const char* profilePathVariable = "ZEPA_TEST_SAVING_PROFILE";

// Not a test of its own: the crash test below starts this binary again with only this case,
// as the process it kills in the middle of saving.
TEST(ProfileSavingChild, DISABLED_SavesUntilKilled) {
  const QString path = qEnvironmentVariable(profilePathVariable);
  if (path.isEmpty()) GTEST_SKIP() << "runs only as the crash test's child";
  const ProfileStore store(path);
  ASSERT_TRUE(store.createFolder());
  ZEPAProfile profile = ZEPAProfile::makeDefault();
  for (unsigned round = 0;; ++round) {
    // Lengths change every round, so a torn write could not pass for a whole one.
    profile.keyColors.clear();
    for (unsigned key = 1; key <= round % 140 + 1; ++key) {
      const auto byte = static_cast<std::uint8_t>(key);
      profile.keyColors.push_back(KeyColor{byte, RGBColor{byte, byte, byte}});
    }
    profile.name = std::string(round % 300, 'x');
    ASSERT_TRUE(store.save(profile));
    if (round == 0) {
      std::puts("saving");
      std::fflush(stdout);
    }
  }
}

TEST(ProfileCrashSafety, AWriterKilledAtAnyMomentLeavesADecodableProfile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("ZEPA Control/profile.json");
  std::mt19937 random(static_cast<unsigned>(::testing::UnitTest::GetInstance()->random_seed()));
  std::uniform_int_distribution<int> pause(0, 30000);

  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(profilePathVariable, path);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=ProfileSavingChild.DISABLED_SavesUntilKilled",
                 "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForStarted());
    while (!child.readAllStandardOutput().contains("saving")) {
      ASSERT_TRUE(child.waitForReadyRead(20000)) << "the saving child never began";
    }
    QThread::usleep(static_cast<unsigned long>(pause(random)));
    child.kill();
    ASSERT_TRUE(child.waitForFinished());
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the child stopped on its own";

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(decodeProfile(text.toStdString())) << "torn profile: " << text.right(80).data();
  }
}

}  // namespace
}  // namespace zepa::test
