// SPDX-License-Identifier: MIT
#include "app/launch/launch_options.hpp"

#include "protocol/version.hpp"

namespace zepa {

std::optional<QString> optionValue(const QStringList& arguments, const QString& option) {
  const qsizetype at = arguments.indexOf(option);
  if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
  return arguments.at(at + 1);
}

LaunchOptions parseLaunchOptions(const QStringList& arguments) {
  LaunchOptions options;
  options.probeFile = optionValue(arguments, QStringLiteral("--halvern-probe-file"));
  options.writeTestFile = optionValue(arguments, QStringLiteral("--halvern-write-test-file"));
  options.deviceRoot = optionValue(arguments, QStringLiteral("--device-root"));
  options.printUdevRules = arguments.contains(QStringLiteral("--print-udev-rules"));
  options.quitAfterFirstPaint = arguments.contains(QStringLiteral("--quit-after-first-paint"));
  options.help = arguments.contains(QStringLiteral("--help"));
  options.version = arguments.contains(QStringLiteral("--version"));
  return options;
}

QString helpText() {
  return QStringLiteral(
      "Aufruf: zepa-control [OPTION …]\n"
      "\n"
      "Stellt Beleuchtung, Einzeltastenfarben, Tastenbelegung und Uhr der Tastaturen\n"
      "ZEPA VX10 und Halvern Corvane Pro 108 ein.\n"
      "\n"
      "Optionen:\n"
      "  --device-root VERZEICHNIS        sysfs unter VERZEICHNIS/sys und Geräteknoten unter\n"
      "                                   VERZEICHNIS/dev statt /sys und /dev verwenden\n"
      "  --halvern-probe-file DATEI       Modell- und Konfigurationsantwort der Halvern\n"
      "                                   Corvane Pro 108 in DATEI schreiben\n"
      "  --halvern-write-test-file DATEI  die Konfiguration der Halvern Corvane Pro 108\n"
      "                                   unverändert zurückschreiben und OK oder MISMATCH\n"
      "                                   in DATEI festhalten\n"
      "  --print-udev-rules               die udev-Regeln für den Zugriff auf die Tastaturen\n"
      "                                   ausgeben, ohne ein Fenster zu öffnen\n"
      "  --help                           diese Hilfe ausgeben\n"
      "  --version                        die Version ausgeben\n");
}

QString versionText() {
  return QStringLiteral("zepa-control ") +
         QString::fromUtf8(projectVersion.data(), static_cast<qsizetype>(projectVersion.size()));
}

}  // namespace zepa
