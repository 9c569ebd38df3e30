// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

#include "protocol/hid/hid.hpp"
#include "protocol/pacing.hpp"

namespace zepa {

// Finishes the launch: sets the application icon and starts the probes the command line asks
// for. The normal start goes on beside the probes; the application quits once every requested
// probe has written its file. Two probes run one after the other: the keyboard answers one
// request at a time, and interleaved requests would hand each probe the other's answer.
class ZEPAAppDelegate : public QObject {
  Q_OBJECT
 public:
  ZEPAAppDelegate(std::shared_ptr<hid::Backend> backend, Sleeper sleeper,
                  QObject* parent = nullptr);

  // Called once on the main thread, when the event loop is about to run.
  void applicationDidFinishLaunching(const QStringList& arguments);

  int runningProbes() const { return running_; }

 signals:
  // Every started probe has ended; `allWritten` is false when a result file could not be written.
  void probesFinished(bool allWritten);

 private:
  using Probe = QByteArray (*)(std::shared_ptr<hid::Backend>, Sleeper);
  struct Job {
    Probe probe;
    QString path;
  };
  void start(std::vector<Job> jobs);
  void probeEnded(const QString& path, bool written);

  std::shared_ptr<hid::Backend> backend_;
  Sleeper sleeper_;
  int running_ = 0;
  bool allWritten_ = true;
};

}  // namespace zepa
