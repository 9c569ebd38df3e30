// SPDX-License-Identifier: MIT
#include "tools/cli/resume_watch.hpp"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QProcess>
#include <QTimer>
#include <iostream>

namespace zepa::cli {

namespace {

// A keyboard needs a moment after login or resume before it takes configuration reports, and
// logind must have handed the session its device access again.
constexpr int settleMilliseconds = 2000;

}  // namespace

// Runs one restore at a time; a resume announced while one runs queues exactly one more.
class ResumeWatcher : public QObject {
  Q_OBJECT

 public:
  ResumeWatcher(QString program, QStringList restoreArguments)
      : program_(std::move(program)), restoreArguments_(std::move(restoreArguments)) {
    settle_.setSingleShot(true);
    settle_.setInterval(settleMilliseconds);
    connect(&settle_, &QTimer::timeout, this, &ResumeWatcher::restore);
    connect(&process_, &QProcess::finished, this, [this] {
      if (again_) {
        again_ = false;
        restore();
      }
    });
    connect(&process_, &QProcess::errorOccurred, this, [](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart)
        std::cerr << "zepactl: Die Wiederherstellung konnte nicht gestartet werden.\n";
    });
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
  }

  void scheduleRestore() { settle_.start(); }

 public slots:
  // logind's Manager.PrepareForSleep: true before sleeping, false after waking up.
  void prepareForSleep(bool sleeping) {
    if (sleeping) {
      settle_.stop();
    } else {
      std::cout << "zepactl: Ruhezustand beendet, Einstellungen werden wiederhergestellt.\n"
                << std::flush;
      scheduleRestore();
    }
  }

 private:
  void restore() {
    if (process_.state() != QProcess::NotRunning) {
      again_ = true;
      return;
    }
    process_.start(program_, restoreArguments_);
  }

  QString program_;
  QStringList restoreArguments_;
  QTimer settle_;
  QProcess process_;
  bool again_ = false;
};

std::optional<std::string> restoreWatchRequest(const std::vector<std::string_view>& arguments) {
  std::string root;
  std::size_t at = 0;
  if (arguments.size() == 4 && arguments[0] == "--device-root") {
    root = arguments[1];
    at = 2;
  }
  if (arguments.size() != at + 2 || arguments[at] != "restore" || arguments[at + 1] != "--watch")
    return std::nullopt;
  return root;
}

int runRestoreWatch(int argc, char** argv, const std::string& deviceRoot) {
  QCoreApplication app(argc, argv);
  QStringList restoreArguments;
  if (!deviceRoot.empty())
    restoreArguments << QStringLiteral("--device-root") << QString::fromStdString(deviceRoot);
  restoreArguments << QStringLiteral("restore");
  // Taken now: after a package upgrade the running file is gone, but the same path holds the
  // new zepactl.
  ResumeWatcher watcher(QCoreApplication::applicationFilePath(), restoreArguments);

  QDBusConnection bus = QDBusConnection::systemBus();
  // Only logind itself may announce a resume; anyone on the bus can emit a look-alike signal.
  if (!bus.isConnected() ||
      !bus.connect(QStringLiteral("org.freedesktop.login1"),
                   QStringLiteral("/org/freedesktop/login1"),
                   QStringLiteral("org.freedesktop.login1.Manager"),
                   QStringLiteral("PrepareForSleep"), &watcher, SLOT(prepareForSleep(bool)))) {
    std::cerr << "zepactl: Der Systembus ist nicht erreichbar, daher kann das Ende des "
                 "Ruhezustands nicht erkannt werden ("
              << bus.lastError().message().toStdString() << ").\n";
    return 1;
  }
  // Subscribed first, so a resume during the first restore is not missed.
  watcher.scheduleRestore();
  return QCoreApplication::exec();
}

}  // namespace zepa::cli

#include "resume_watch.moc"
