// SPDX-License-Identifier: MIT
// zepactl restore --watch against zepa-sim, with a private D-Bus daemon standing in for the
// system bus: it restores at start, again when logind announces the end of sleep, and not on
// a look-alike signal from anyone else.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <string>

#include "app/model/profile_store.hpp"
#include "tests/support/sim_mount.hpp"

namespace {

using zepa::test::SimMount;

const QString restored = QStringLiteral("ZEPA VX10: Tastenbelegung wiederhergestellt\n");
const QString logindService = QStringLiteral("org.freedesktop.login1");

// A bus daemon on a socket in a temporary folder that lets every connection own any name.
class PrivateBus {
 public:
  PrivateBus() {
    QFile config(dir_.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly)) return;
    config.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
    <allow user="*"/>
  </policy>
</busconfig>
)")
                     .arg(dir_.path())
                     .toUtf8());
    config.close();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (daemon_.waitForReadyRead(5000)) address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    daemon_.terminate();
    daemon_.waitForFinished(5000);
  }
  const QString& address() const { return address_; }

  // A connection of its own, optionally owning `name`.
  QDBusConnection connect(const QString& connectionName, const QString& name = {}) {
    QDBusConnection bus = QDBusConnection::connectToBus(address_, connectionName);
    if (!name.isEmpty()) bus.registerService(name);
    return bus;
  }

 private:
  // No spaces: the folder becomes part of a D-Bus address.
  QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/zepa-bus-XXXXXX")};
  QProcess daemon_;
  QString address_;
};

void emitPrepareForSleep(QDBusConnection& bus, bool sleeping) {
  QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                   QStringLiteral("org.freedesktop.login1.Manager"),
                                                   QStringLiteral("PrepareForSleep"));
  signal << sleeping;
  ASSERT_TRUE(bus.send(signal));
}

class RestoreWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(bus_.address().isEmpty()) << "dbus-daemon did not start";
    const zepa::ProfileStore profiles(
        home_.filePath(QStringLiteral("data/ZEPA Control/profile.json")));
    ASSERT_TRUE(profiles.createFolder());
    ASSERT_TRUE(profiles.save(zepa::ZEPAProfile::makeDefault()));
  }
  void TearDown() override {
    watcher_.terminate();
    watcher_.waitForFinished(5000);
  }

  void startWatch(const SimMount& sim) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus_.address());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    watcher_.setProcessEnvironment(environment);
    watcher_.setProcessChannelMode(QProcess::MergedChannels);
    watcher_.start(QStringLiteral(ZEPA_BIN_DIR "/zepactl"),
                   {QStringLiteral("--device-root"), QString::fromStdString(sim.root().string()),
                    QStringLiteral("restore"), QStringLiteral("--watch")});
  }

  // Everything the watch has written once `restores` restores have finished, or once `wait`
  // has passed.
  QString outputAfter(int restores, int wait) {
    QDeadlineTimer deadline(wait);
    while (output_.count(restored) < restores && !deadline.hasExpired()) {
      watcher_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
      output_ += QString::fromUtf8(watcher_.readAll());
    }
    return output_;
  }

  PrivateBus bus_;
  QTemporaryDir home_;
  QProcess watcher_;
  QString output_;
};

int zepaWrites(const SimMount& sim) {
  int count = 0;
  for (const auto& entry : sim.readLog()) count += entry.op == "SET";
  return count;
}

TEST_F(RestoreWatch, RestoresAtStartAndAfterResume) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  QDBusConnection logind = bus_.connect(QStringLiteral("logind"), logindService);
  startWatch(sim);
  ASSERT_EQ(outputAfter(1, 15000).count(restored), 1) << output_.toStdString();
  const int writesOfOneRestore = zepaWrites(sim);
  ASSERT_GT(writesOfOneRestore, 0);

  emitPrepareForSleep(logind, true);
  emitPrepareForSleep(logind, false);
  EXPECT_EQ(outputAfter(2, 15000).count(restored), 2) << output_.toStdString();
  EXPECT_EQ(zepaWrites(sim), 2 * writesOfOneRestore);
}

TEST_F(RestoreWatch, IgnoresSleepSignalsNotFromLogind) {
  SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  QDBusConnection logind = bus_.connect(QStringLiteral("logind"), logindService);
  QDBusConnection impostor = bus_.connect(QStringLiteral("impostor"));
  startWatch(sim);
  ASSERT_EQ(outputAfter(1, 15000).count(restored), 1) << output_.toStdString();

  emitPrepareForSleep(impostor, false);
  // Longer than the watch waits before restoring.
  EXPECT_EQ(outputAfter(2, 4000).count(restored), 1) << output_.toStdString();
}

TEST(RestoreWatchBus, UnreachableBusIsAGermanFailure) {
  QProcess watcher;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                     QStringLiteral("unix:path=/nonexistent/zepa-test-bus"));
  watcher.setProcessEnvironment(environment);
  watcher.start(QStringLiteral(ZEPA_BIN_DIR "/zepactl"),
                {QStringLiteral("restore"), QStringLiteral("--watch")});
  ASSERT_TRUE(watcher.waitForFinished(10000));
  EXPECT_EQ(watcher.exitCode(), 1);
  EXPECT_TRUE(
      watcher.readAllStandardError().startsWith("zepactl: Der Systembus ist nicht erreichbar"));
}

}  // namespace
