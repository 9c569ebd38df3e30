// SPDX-License-Identifier: MIT
#include "app/launch/zepa_app_delegate.hpp"

#include <QApplication>
#include <QPointer>
#include <QThreadPool>
#include <cstdio>

#include "app/launch/launch_options.hpp"
#include "app/launch/probes.hpp"
#include "app/views/symbols.hpp"

namespace zepa {

ZEPAAppDelegate::ZEPAAppDelegate(std::shared_ptr<hid::Backend> backend, Sleeper sleeper,
                                 QObject* parent)
    : QObject(parent), backend_(std::move(backend)), sleeper_(std::move(sleeper)) {}

void ZEPAAppDelegate::applicationDidFinishLaunching(const QStringList& arguments) {
  const QIcon icon = applicationIcon();
  if (!icon.isNull()) QApplication::setWindowIcon(icon);

  const LaunchOptions options = parseLaunchOptions(arguments);
  std::vector<Job> jobs;
  if (options.probeFile) jobs.push_back({&halvernModelProbe, *options.probeFile});
  if (options.writeTestFile) jobs.push_back({&halvernWriteTestProbe, *options.writeTestFile});
  if (!jobs.empty()) start(std::move(jobs));
}

void ZEPAAppDelegate::start(std::vector<Job> jobs) {
  running_ = static_cast<int>(jobs.size());
  QPointer<ZEPAAppDelegate> self(this);
  QThreadPool::globalInstance()->start([self, jobs, backend = backend_, sleeper = sleeper_] {
    for (const Job& job : jobs) {
      const bool written = writeProbeFile(job.path, job.probe(backend, sleeper));
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [self, path = job.path, written] {
            if (self) self->probeEnded(path, written);
          },
          Qt::QueuedConnection);
    }
  });
}

void ZEPAAppDelegate::probeEnded(const QString& path, bool written) {
  if (!written) {
    allWritten_ = false;
    std::fprintf(stderr, "zepa-control: Die Ergebnisdatei „%s“ konnte nicht geschrieben werden.\n",
                 qUtf8Printable(path));
  }
  if (--running_ > 0) return;
  emit probesFinished(allWritten_);
}

}  // namespace zepa
