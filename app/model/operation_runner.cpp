// SPDX-License-Identifier: MIT
#include <functional>
#include <utility>

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStringDecoder>
#include <QThreadPool>

#include "app/model/app_model.hpp"
#include "app/model/halvern_key_mapping.hpp"
#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"

namespace zepa {

namespace {

// Runs one device operation; the text the user sees for whatever it throws.
std::optional<QString> failureMessage(const std::function<void()>& work) {
  const std::optional<std::string> failure = failureText(work);
  if (!failure) return std::nullopt;
  return QString::fromStdString(*failure);
}

// The one runner of both keyboards and the key-map tool: `work` runs on the shared pool and
// gives nothing or the failure's text; `finish` gets that text on the main thread. The model is
// looked at only there, so a model destroyed while the work ran is simply skipped.
template <typename Work, typename Finish>
void submit(AppModel* target, Work work, Finish finish) {
  QThreadPool::globalInstance()->start([model = QPointer<AppModel>(target), work = std::move(work),
                                        finish = std::move(finish)]() mutable {
    std::optional<QString> failure = work();
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return;
    QMetaObject::invokeMethod(
        application,
        [model = std::move(model), failure = std::move(failure),
         finish = std::move(finish)]() mutable {
          if (model) finish(*model, failure);
        },
        Qt::QueuedConnection);
  });
}

const QString workingMessage = QStringLiteral("Wird übertragen …");

}  // namespace

bool AppModel::beginOperation(const QString& workingText) {
  if (busy_) return false;
  setBusy(true);
  setErrorMessage(std::nullopt);
  setMessage(workingText);
  return true;
}

void AppModel::finishWithFailure(const QString& description, bool refresh) {
  setBusy(false);
  if (refresh) refreshConnection();
  setMessage(QStringLiteral("Fehler"));
  setErrorMessage(description);
}

void AppModel::run(const QString& successMessage, ZEPAOperation operation) {
  if (!beginOperation(workingMessage)) return;
  submit(
      this,
      [backend = env_.backend, sleeper = env_.sleeper, calendar = env_.calendar,
       operation = std::move(operation)] {
        // The device lives only inside this call; its destruction closes the interface.
        return failureMessage([&] {
          ZEPADevice device(backend, sleeper, calendar);
          operation(device);
        });
      },
      [snapshot = profile_, successMessage](AppModel& self, const std::optional<QString>& failure) {
        if (failure) {
          self.finishWithFailure(*failure, true);
          return;
        }
        self.setBusy(false);
        self.setConnected(true);
        self.setMessage(successMessage);
        self.setProfile(snapshot);
        self.save();
      });
}

void AppModel::runHalvern(const QString& successMessage, HalvernOperation operation) {
  if (!beginOperation(workingMessage)) return;
  submit(
      this,
      [backend = env_.backend, sleeper = env_.sleeper, operation = std::move(operation)] {
        return failureMessage([&] {
          HalvernDevice device(backend, sleeper);
          operation(device);
        });
      },
      [snapshot = halvernLighting_, successMessage](AppModel& self,
                                                    const std::optional<QString>& failure) {
        if (failure) {
          self.finishWithFailure(*failure, true);
          return;
        }
        self.setBusy(false);
        self.setHalvernConnected(true);
        self.setConnected(true);
        self.setMessage(successMessage);
        self.setHalvernLighting(snapshot);
        self.settings_.setHalvernLighting(snapshot);
      });
}

namespace {

// A German sentence for a key-map tool that could not be started at all.
QString startFailure(const QString& program) {
  const QFileInfo info(program);
  if (!info.exists()) {
    return QStringLiteral("Das Programm %1 wurde nicht gefunden.").arg(program);
  }
  if (!info.isExecutable()) {
    return QStringLiteral("Das Programm %1 ist nicht ausführbar.").arg(program);
  }
  return QStringLiteral("Das Programm %1 konnte nicht gestartet werden.").arg(program);
}

// Runs the key-map tool to its end on the calling thread; nothing on success, else the text.
std::optional<QString> runKeymapTool(const QString& program, QStringList arguments,
                                     const KeyRemaps& remaps) {
  std::string property;
  try {
    property = HalvernKeyMapping::property(remaps);
  } catch (const std::exception&) {
    return QStringLiteral("Die Tastenbelegung konnte nicht codiert werden.");
  }
  arguments << QStringLiteral("property") << QStringLiteral("--matching")
            << QString::fromLatin1(HalvernKeyMapping::matching) << QStringLiteral("--set")
            << QString::fromStdString(property);

  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardInputFile(QProcess::nullDevice());
  process.start(program, arguments);
  if (!process.waitForStarted(-1)) {
    // Linux takes at most 128 KiB in one argument; QProcess does not say that was the cause.
    if (property.size() >= 32 * 4096) {
      return QStringLiteral(
                 "Die Tastenbelegung ist zu umfangreich, um sie an %1 zu übergeben. "
                 "Bitte weniger Tasten umbelegen.")
          .arg(QFileInfo(program).fileName());
    }
    return startFailure(program);
  }
  // Standard error is read into the process buffer while waiting, so a chatty tool cannot
  // block on a full pipe.
  process.waitForFinished(-1);
  const QByteArray errorBytes = process.readAllStandardError();
  if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
    return std::nullopt;
  }
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = QString(decoder.decode(errorBytes)).trimmed();
  if (decoder.hasError() || text.isEmpty()) {
    return QStringLiteral("zepa-keymap konnte die Tastenbelegung nicht anwenden.");
  }
  return text;
}

}  // namespace

void AppModel::applyHalvernRemaps() {
  if (!beginOperation(QStringLiteral("Tastenbelegung wird angewendet …"))) return;
  const bool reset = halvernRemaps_.empty();
  submit(
      this,
      [program = env_.keymapProgram, arguments = env_.keymapArguments, remaps = halvernRemaps_] {
        return runKeymapTool(program, arguments, remaps);
      },
      [reset](AppModel& self, const std::optional<QString>& failure) {
        // The tool never opens the HID interface, so no re-detection either way.
        if (failure) {
          self.finishWithFailure(*failure, false);
          return;
        }
        self.setBusy(false);
        self.setMessage(reset ? QStringLiteral("Halvern-Tastenbelegung zurückgesetzt")
                              : QStringLiteral("Halvern-Tastenbelegung aktiv"));
      });
}

}  // namespace zepa
