// SPDX-License-Identifier: MIT
// The stores through a real start of the model: what cannot be read is kept beside the file
// under a name that says so and the user is told; a lock left by a killed write never stalls
// the next one.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "model_test_support.hpp"

namespace zepa::test {

namespace {

QStringList asideFiles(const QString& path) {
  const QFileInfo info(path);
  return info.dir().entryList({info.completeBaseName() + ".unreadable-*." + info.suffix()},
                              QDir::Files, QDir::Name);
}

using StoreTest = ModelTest;

}  // namespace

// Nothing stored is lost: the bytes as they were stay under the new name. (A profile goes the
// same way; see the two tests below.)
TEST_F(StoreTest, UndecodableSettingsAreKeptAsideAndTheUserTold) {
  const std::string bytes = "[General]\nhalvernLighting=@ByteArray({\"effect\":99})\n";
  writeFile(settingsPath(), bytes);
  auto model = makeModel();
  const QStringList aside = asideFiles(settingsPath());
  ASSERT_EQ(aside.size(), 1);
  const QString asidePath = QFileInfo(settingsPath()).dir().filePath(aside[0]);
  EXPECT_EQ(readFile(asidePath), bytes);
  EXPECT_TRUE(error(*model).contains(asidePath)) << error(*model).toStdString();
}

TEST_F(StoreTest, OnlyTheNewestUnreadableProfilesAreKept) {
  for (int i = 0; i < UnreadableFile::kept + 2; ++i) {
    writeFile(profilePath(), "damaged " + std::to_string(i));
    makeModel();
  }
  const QStringList aside = asideFiles(profilePath());
  ASSERT_EQ(aside.size(), UnreadableFile::kept);
  const QString newest = QFileInfo(profilePath()).dir().filePath(aside.back());
  EXPECT_EQ(readFile(newest), "damaged " + std::to_string(UnreadableFile::kept + 1));
}

TEST_F(StoreTest, TheNoticeOutlastsTheStartUpClockSync) {
  writeFile(profilePath(), "{");
  auto model = makeModel();
  model->startup();
  waitUntilIdle(*model);
  ASSERT_EQ(model->message(), "Uhr synchronisiert") << "the start-up run did not happen";
  EXPECT_TRUE(error(*model).contains("profile.unreadable-")) << error(*model).toStdString();
}

TEST_F(StoreTest, AbandonedSaveFilesAreRemovedButNotARunningSave) {
  writeFile(profilePath() + ".Ab12Cd", "{\"half");
  QFile abandoned(profilePath() + ".Ab12Cd");
  ASSERT_TRUE(abandoned.open(QIODevice::ReadWrite));
  ASSERT_TRUE(abandoned.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                    QFileDevice::FileModificationTime));
  writeFile(profilePath() + ".Ef34Gh", "{\"running");
  makeModel();
  EXPECT_FALSE(QFileInfo::exists(profilePath() + ".Ab12Cd"));
  EXPECT_TRUE(QFileInfo::exists(profilePath() + ".Ef34Gh"));
}

// A writer killed inside QSettings' write before it wrote its process ID leaves an empty lock
// file, which Qt cannot tell from a live writer's; the next write must not wait out Qt's
// 30-second stale time. (A lock naming a dead process Qt clears on its own.)
TEST_F(StoreTest, AnAbandonedLockDoesNotStallTheNextWrite) {
  writeFile(settingsPath() + ".lock", "");
  auto model = makeModel();
  QElapsedTimer timer;
  timer.start();
  model->setAutoApply(true);
  SettingsStore::waitForWrites();
  EXPECT_LT(timer.elapsed(), 3000);
  EXPECT_NE(readFile(settingsPath()).find("autoApply=true"), std::string::npos);
}

}  // namespace zepa::test
