#include "app/launch/launch_options.hpp"

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
  return options;
}

}  // namespace zepa
