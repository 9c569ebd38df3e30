// SPDX-License-Identifier: MIT
// zepactl restore --watch against zepa-sim, with a private D-Bus daemon standing in for the
// system bus: it restores at start, again when logind announces the end of sleep, and not on
// a look-alike signal from anyone else.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "app/model/profile_store.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/sim_mount.hpp"

namespace {

const QString restored = QStringLiteral("ZEPA VX10: Tastenbelegung wiederhergestellt\n");

void emitPrepareForSleep(QDBusConnection& bus, bool sleeping) {
  QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                   QStringLiteral("org.freedesktop.login1.Manager"),
                                                   QStringLiteral("PrepareForSleep"));
  signal << sleeping;
  ASSERT_TRUE(bus.send(signal));
}

// A bus daemon of its own, whose session rules let any connection own any name, so one of the
// test's connections can be logind.
class RestoreWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    ASSERT_TRUE(daemon_.waitForReadyRead(5000)) << "dbus-daemon did not start";
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    const zepa::ProfileStore profiles(home_.filePath("data/ZEPA Control/profile.json"));
    ASSERT_TRUE(profiles.createFolder());
    ASSERT_TRUE(profiles.save(zepa::ZEPAProfile::makeDefault()));
  }
  void TearDown() override {
    for (QProcess* process : {&watcher_, &daemon_}) {
      process->terminate();
      process->waitForFinished(5000);
    }
  }

  void startWatch(const zepa::test::SimMount& sim) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
    environment.insert("XDG_DATA_HOME", home_.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home_.filePath("config"));
    watcher_.setProcessEnvironment(environment);
    watcher_.setProcessChannelMode(QProcess::MergedChannels);
    watcher_.start(
        QStringLiteral(ZEPA_BIN_DIR "/zepactl"),
        {"--device-root", QString::fromStdString(sim.root().string()), "restore", "--watch"});
  }
  // How many restores the watch has reported once `restores` have, or once `wait` ms passed.
  qsizetype restoresAfter(int restores, int wait) {
    QDeadlineTimer deadline(wait);
    while (output_.count(restored) < restores && !deadline.hasExpired()) {
      watcher_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
      output_ += QString::fromUtf8(watcher_.readAll());
    }
    return output_.count(restored);
  }

  QProcess daemon_;
  QString address_;
  QTemporaryDir home_;
  QProcess watcher_;
  QString output_;
};

// A look-alike signal from anyone else is ignored; logind's own brings the second restore.
TEST_F(RestoreWatch, RestoresAtStartAndAfterLogindAnnouncesTheResume) {
  zepa::test::SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  QDBusConnection logind = QDBusConnection::connectToBus(address_, "logind");
  ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
  QDBusConnection impostor = QDBusConnection::connectToBus(address_, "impostor");
  startWatch(sim);
  ASSERT_EQ(restoresAfter(1, 15000), 1) << output_.toStdString();
  emitPrepareForSleep(impostor, false);
  // Longer than the watch waits before restoring.
  EXPECT_EQ(restoresAfter(2, 4000), 1) << "restored on the impostor's signal";
  emitPrepareForSleep(logind, true);
  emitPrepareForSleep(logind, false);
  EXPECT_EQ(restoresAfter(2, 15000), 2) << output_.toStdString();
}

TEST(RestoreWatchBus, UnreachableBusIsAGermanFailure) {
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zepa-test-bus");
  const auto outcome = zepa::test::runProgram("zepactl", {"restore", "--watch"});
  EXPECT_TRUE(outcome.err.starts_with("zepactl: Der Systembus ist nicht erreichbar"))
      << outcome.err;
}

}  // namespace
