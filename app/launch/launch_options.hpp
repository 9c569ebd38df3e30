// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zepa {

// What the command line asks of zepa-control. Options are looked for in the whole argument
// list, the program path included; an option's value is the argument after it ("--x=value" is
// not recognised), and an option given last, without a value, counts as absent.
struct LaunchOptions {
  std::optional<QString> probeFile;      // --halvern-probe-file PATH
  std::optional<QString> writeTestFile;  // --halvern-write-test-file PATH
  std::optional<QString> deviceRoot;     // --device-root DIR: sysfs and device nodes below DIR
  bool printUdevRules = false;           // --print-udev-rules: print the rules, open no window
  bool help = false;                     // --help: print helpText(), open no window
  bool version = false;                  // --version: print versionText(), open no window
  // --quit-after-first-paint (not advertised): prints "first-paint" on standard output when the
  // main window has painted once, then quits. The start-up benchmark measures with it.
  bool quitAfterFirstPaint = false;
};

// The argument after the first one equal to `option`, if there is one.
std::optional<QString> optionValue(const QStringList& arguments, const QString& option);

LaunchOptions parseLaunchOptions(const QStringList& arguments);

// German, in the layout the man page is generated from (headings end in ":", options are
// indented and their description starts after two spaces).
QString helpText();
QString versionText();  // "zepa-control 1.2.3"

}  // namespace zepa
