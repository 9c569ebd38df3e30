// SPDX-License-Identifier: MIT
#include "app/launch/zepa_control_app.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QThreadPool>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

#include "app/launch/font_warm_up.hpp"
#include "app/views/app_style.hpp"
#include "app/views/symbols.hpp"
#include "protocol/version.hpp"

namespace zepa {

namespace {

// Prints "first-paint" once the main window has painted, then quits; the start-up benchmark
// times the program up to that line.
class FirstPaintMarker : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // Queued so the whole window is painted and flushed before the line appears.
      QTimer::singleShot(0, qApp, [] {
        std::fputs("first-paint\n", stdout);
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

int printUdevRules() {
  const QByteArray rules = bundledUdevRules();
  if (rules.isEmpty()) {
    std::fputs("zepa-control: Die udev-Regeln sind in diesem Programm nicht enthalten.\n", stderr);
    return 1;
  }
  std::fwrite(rules.constData(), 1, static_cast<std::size_t>(rules.size()), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int printText(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

ZEPAControlApp::ZEPAControlApp(ModelEnvironment environment, const LaunchOptions& options) {
  appDelegate_ = std::make_unique<ZEPAAppDelegate>(environment.backend, environment.sleeper);
  model_ = std::make_unique<AppModel>(std::move(environment));
  window_ = std::make_unique<MainWindow>(*model_);
  if (options.quitAfterFirstPaint) window_->installEventFilter(new FirstPaintMarker(window_.get()));
}

ZEPAControlApp::~ZEPAControlApp() {
  QThreadPool::globalInstance()->waitForDone();
  window_.reset();
  model_.reset();
}

void ZEPAControlApp::show() {
  window_->show();
}

QByteArray bundledUdevRules() {
  initResources();
  QFile file(QStringLiteral(":/70-zepa-control.rules"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool installGermanQtTranslations() {
  // qtbase_de alone: qt_de only pulls it in together with catalogues of modules not used here.
  auto* translator = new QTranslator(qApp);
  if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

int runZEPAControl(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const LaunchOptions options = parseLaunchOptions(arguments);
  // Before the application object, so these work without a display.
  if (options.help) return printText(helpText());
  if (options.version) return printText(versionText() + QLatin1Char('\n'));
  if (options.printUdevRules) return printUdevRules();

  FontWarmUp fonts;
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("ZEPA Control"));
  QApplication::setApplicationName(QStringLiteral("ZEPA Control"));
  QApplication::setApplicationVersion(
      QString::fromUtf8(projectVersion.data(), static_cast<qsizetype>(projectVersion.size())));
  QGuiApplication::setDesktopFileName(QStringLiteral("zepa-control"));
  QApplication::setStyle(new AppStyle);
  installGermanQtTranslations();

  ZEPAControlApp shell(systemEnvironment(options.deviceRoot.value_or(QString())), options);
  QObject::connect(
      &shell.appDelegate(), &ZEPAAppDelegate::probesFinished, &app,
      [](bool allWritten) { QCoreApplication::exit(allWritten ? 0 : 1); }, Qt::QueuedConnection);
  fonts.wait();
  shell.show();
  shell.appDelegate().applicationDidFinishLaunching(QCoreApplication::arguments());
  return app.exec();
}

}  // namespace zepa
