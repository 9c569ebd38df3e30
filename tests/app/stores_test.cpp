// SPDX-License-Identifier: MIT
// The stores through a real start of the model: what cannot be read is kept beside the file
// under a name that says so, the user is told once, the defaults are used; a lock left by a
// killed write never stalls the next one.
#include <iostream>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "model_test_support.hpp"

namespace zepa::test {

namespace {

QStringList asideFiles(const QString& path) {
  const QFileInfo info(path);
  return info.dir().entryList({info.completeBaseName() + ".unreadable-*." + info.suffix()},
                              QDir::Files, QDir::Name);
}

std::string randomBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::string profileWith(const std::string& from, const std::string& to) {
  std::string text = encodeProfile(ZEPAProfile::makeDefault());
  text.replace(text.find(from), from.size(), to);
  return text;
}

}  // namespace

struct DamagedFile {
  const char* name;
  std::string bytes;
};

class UnreadableProfile : public ModelTest, public ::testing::WithParamInterface<DamagedFile> {};

TEST_P(UnreadableProfile, IsMovedAsideAndTheDefaultUsed) {
  useKeyboards(false, false);
  writeFile(profilePath(), GetParam().bytes);
  auto model = makeModel();
  EXPECT_EQ(model->profile().name, "Standard");
  const QStringList aside = asideFiles(profilePath());
  ASSERT_EQ(aside.size(), 1);
  const QString asidePath = QFileInfo(profilePath()).dir().filePath(aside[0]);
  EXPECT_EQ(readFile(asidePath), GetParam().bytes);
  EXPECT_TRUE(error(*model).contains(asidePath)) << error(*model).toStdString();
  // The next save writes the default without touching the kept file.
  model->save();
  EXPECT_TRUE(decodeProfile(readFile(profilePath())).has_value());
  EXPECT_EQ(readFile(asidePath), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, UnreadableProfile,
    ::testing::Values(DamagedFile{"Empty", ""},
                      DamagedFile{"Truncated",
                                  encodeProfile(ZEPAProfile::makeDefault()).substr(0, 40)},
                      DamagedFile{"NulThenGarbage", encodeProfile(ZEPAProfile::makeDefault()) +
                                                        std::string(1, '\0') + "x"},
                      DamagedFile{"RandomBytes", randomBytes(2 * 1024 * 1024)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelTest, WrittenInAnyIntegralNotationTheProfileIsRead) {
  useKeyboards(false, false);
  writeFile(profilePath(), profileWith("\"brightness\":5", "\"brightness\":5.0"));
  auto model = makeModel();
  EXPECT_EQ(model->profile().lighting.brightness, 5);
  EXPECT_FALSE(model->errorMessage().has_value());
  EXPECT_TRUE(asideFiles(profilePath()).isEmpty());
}

TEST_F(ModelTest, OnlyTheNewestUnreadableProfilesAreKept) {
  useKeyboards(false, false);
  for (int i = 0; i < UnreadableFile::kept + 2; ++i) {
    writeFile(profilePath(), "damaged " + std::to_string(i));
    makeModel();
  }
  const QStringList aside = asideFiles(profilePath());
  ASSERT_EQ(aside.size(), UnreadableFile::kept);
  const QString newest = QFileInfo(profilePath()).dir().filePath(aside.back());
  EXPECT_EQ(readFile(newest), "damaged " + std::to_string(UnreadableFile::kept + 1));
}

TEST_F(ModelTest, TheNoticeOutlastsTheStartUpClockSync) {
  writeFile(profilePath(), "{");
  auto model = makeModel();
  model->startup();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Uhr synchronisiert");
  EXPECT_TRUE(error(*model).contains("profile.unreadable-")) << error(*model).toStdString();
}

TEST_F(ModelTest, AbandonedSaveFilesAreRemovedButNotARunningSave) {
  useKeyboards(false, false);
  const QString folder = QFileInfo(profilePath()).absolutePath();
  writeFile(folder + "/profile.json.Ab12Cd", "{\"half");
  writeFile(folder + "/profile.json.Ef34Gh", "{\"running");
  QFile old(folder + "/profile.json.Ab12Cd");
  ASSERT_TRUE(old.open(QIODevice::ReadWrite));
  ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                              QFileDevice::FileModificationTime));
  old.close();
  makeModel();
  EXPECT_FALSE(QFileInfo::exists(folder + "/profile.json.Ab12Cd"));
  EXPECT_TRUE(QFileInfo::exists(folder + "/profile.json.Ef34Gh"));
}

// Settings files as a person, a crash or another program may leave them.
class DamagedSettings : public ModelTest, public ::testing::WithParamInterface<DamagedFile> {
 protected:
  QString settingsPath() const { return home_.filePath("config/ZEPA Control/ZEPA Control.conf"); }
};

TEST_P(DamagedSettings, AreCopiedAsideBeforeTheFirstWrite) {
  useKeyboards(false, false);
  writeFile(settingsPath(), GetParam().bytes);
  auto model = makeModel();
  EXPECT_EQ(model->halvernLighting(), SettingsStore::defaultHalvernLighting());
  const QStringList aside = asideFiles(settingsPath());
  ASSERT_EQ(aside.size(), 1);
  const QString asidePath = QFileInfo(settingsPath()).dir().filePath(aside[0]);
  EXPECT_EQ(readFile(asidePath), GetParam().bytes);
  EXPECT_TRUE(error(*model).contains(asidePath)) << error(*model).toStdString();
  model->setAutoApply(true);
  SettingsStore::waitForWrites();
  EXPECT_EQ(readFile(asidePath), GetParam().bytes);
  EXPECT_EQ(asideFiles(settingsPath()).size(), 1);
}

// As QSettings writes a byte array with commas: quoted, inner quotes escaped.
const std::string lightingSetting =
    R"x("@ByteArray({\"brightness\":2,\"color\":{\"blue\":3,\"green\":2,\"red\":1},)x"
    R"x(\"colorful\":false,\"effect\":3,\"speed\":1})")x";

INSTANTIATE_TEST_SUITE_P(
    Stores, DamagedSettings,
    ::testing::Values(
        DamagedFile{"BinaryGarbage", randomBytes(1024)},
        DamagedFile{"DuplicateKey", "[General]\nhalvernLighting=" + lightingSetting +
                                        "\nhalvernLighting=@ByteArray({})\n"},
        DamagedFile{"UnterminatedQuote", "[General]\nhalvernLighting=" +
                                             lightingSetting.substr(0, lightingSetting.size() - 1) +
                                             "\n"},
        DamagedFile{"WrongType", "[General]\nhalvernLighting=3\n"},
        DamagedFile{"CorruptVariant", "[General]\nhalvernLighting=@Variant(\\0\\0\\0\\x7f\\0)\n"},
        DamagedFile{"UndecodableJson", "[General]\nhalvernLighting=@ByteArray({\"effect\":99})\n"},
        DamagedFile{"NotABoolean", "[General]\nautoClock=vielleicht\n"},
        DamagedFile{"LineWithoutValue", "[General]\nautoClock\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelTest, ReadableSettingsAreNeitherCopiedNorReported) {
  useKeyboards(false, false);
  writeFile(home_.filePath("config/ZEPA Control/ZEPA Control.conf"),
            "[General]\nautoApply=TRUE\nautoClock=0\ncustomEffectNames=\"@ByteArray({\\\"07\\\":"
            "\\\"Mond\\\"})\"\n"
            "halvernLighting=" +
                lightingSetting + "\n");
  auto model = makeModel();
  EXPECT_FALSE(model->errorMessage().has_value());
  EXPECT_TRUE(model->autoApply()) << "any case";
  EXPECT_FALSE(model->autoClock()) << "as a number";
  EXPECT_EQ(model->customEffectNames().count(7), 1u);
  EXPECT_EQ(model->halvernLighting().brightness, 2);
  EXPECT_TRUE(asideFiles(home_.filePath("config/ZEPA Control/ZEPA Control.conf")).isEmpty());
}

struct LeftLock {
  const char* name;
  std::string content;
  int ageSeconds;
};

class AbandonedLock : public ModelTest, public ::testing::WithParamInterface<LeftLock> {};

// A writer killed inside QSettings' write leaves its lock file behind; the next write must
// not wait out Qt's 30-second stale time.
TEST_P(AbandonedLock, DoesNotStallTheNextWrite) {
  useKeyboards(false, false);
  const QString conf = home_.filePath("config/ZEPA Control/ZEPA Control.conf");
  writeFile(conf, "[General]\nautoApply=false\n");
  writeFile(conf + ".lock", GetParam().content);
  QFile lock(conf + ".lock");
  ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
  ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addSecs(-GetParam().ageSeconds),
                               QFileDevice::FileModificationTime));
  lock.close();
  auto model = makeModel();
  QElapsedTimer timer;
  timer.start();
  model->setAutoApply(true);
  SettingsStore::waitForWrites();
  EXPECT_LT(timer.elapsed(), 3000);
  EXPECT_NE(readFile(conf).find("autoApply=true"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Stores, AbandonedLock,
                         ::testing::Values(LeftLock{"EmptyAndFresh", "", 0},
                                           LeftLock{"OnlyTheProcessId", "4194300\n", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Run only by the test below, as a second process on the same settings file.
TEST(SettingsChild, DISABLED_PrintsStoredOptions) {
  const SettingsStore store;
  std::cout << "autoClock=" << store.autoClock() << "\nautoApply=" << store.autoApply()
            << std::endl;
}

QString runChild(const char* test) {
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=SettingsChild.DISABLED_") + test,
               "--gtest_also_run_disabled_tests"});
  child.waitForFinished(20000);
  return QString::fromUtf8(child.readAllStandardOutput());
}

// Qt's cache in this process would hand back the booleans it was given; another process reads
// what the file says.
TEST_F(ModelTest, StoredOptionsReadTheSameInAnotherProcess) {
  useKeyboards(false, false);
  auto model = makeModel();
  model->setAutoClock(false);
  model->setAutoApply(true);
  SettingsStore::waitForWrites();
  const QString read = runChild("PrintsStoredOptions");
  EXPECT_TRUE(read.contains("autoClock=0\n")) << read.toStdString();
  EXPECT_TRUE(read.contains("autoApply=1\n")) << read.toStdString();
}

}  // namespace zepa::test
