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
  // Counted before either starts, so a fast first probe cannot quit before the second began.
  running_ = (options.probeFile ? 1 : 0) + (options.writeTestFile ? 1 : 0);
  if (options.probeFile) start(&halvernModelProbe, *options.probeFile);
  if (options.writeTestFile) start(&halvernWriteTestProbe, *options.writeTestFile);
}

void ZEPAAppDelegate::start(Probe probe, const QString& path) {
  QPointer<ZEPAAppDelegate> self(this);
  auto backend = backend_;
  auto sleeper = sleeper_;
  QThreadPool::globalInstance()->start([self, probe, path, backend, sleeper] {
    const bool written = writeProbeFile(path, probe(backend, sleeper));
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, path, written] {
          if (self) self->probeEnded(path, written);
        },
        Qt::QueuedConnection);
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
