// SPDX-License-Identifier: MIT
#include <QDir>
#include <QProcess>
#include <algorithm>

#include "app/launch/launch_options.hpp"
#include "app/launch/probes.hpp"
#include "tests/app/model_test_support.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa {
namespace {

using test::readFile;
const char* const notFound = "ERROR: Halvern Corvane Pro wurde nicht per USB gefunden.\n";
const QString program = QStringLiteral(ZEPA_BIN_DIR "/zepa-control");

// What the process runs cannot show: a block the keyboard changed, and refused access.
TEST(ProbeText, MismatchAndRefusedAccess) {
  auto backend = std::make_shared<sim::InProcessBackend>(sim::SimulatorOptions{});
  const Sleeper none = [](std::chrono::microseconds) {};
  EXPECT_EQ(halvernWriteTestProbe(backend, none).toStdString(), "OK\n");
  backend->halvern().corruptOnWrite(120);
  EXPECT_EQ(halvernWriteTestProbe(backend, none).toStdString(), "MISMATCH\n");
  backend->addFault("open:EACCES");
  EXPECT_EQ(halvernModelProbe(backend, none).toStdString(),
            "ERROR: Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control "
            "installieren (zepa-control --print-udev-rules) und die Tastatur neu verbinden.\n");
}

TEST(ProbeText, OptionsTakeTheNextArgument) {
  const QString program = "/usr/bin/zepa-control";
  const std::pair<QStringList, QString> rows[] = {
      // probe file, write-test file, device root
      {{program, "--halvern-probe-file", "a", "--halvern-probe-file", "b"}, "a - -"},
      // The value is whatever follows, even another option.
      {{program, "--halvern-probe-file", "--device-root", "/tmp/r"}, "--device-root - /tmp/r"},
      // The program path is part of the list that is searched.
      {{"--halvern-write-test-file", "x"}, "- x -"}};
  for (const auto& [arguments, found] : rows) {
    const LaunchOptions o = parseLaunchOptions(arguments);
    EXPECT_EQ(o.probeFile.value_or("-") + " " + o.writeTestFile.value_or("-") + " " +
                  o.deviceRoot.value_or("-"),
              found)
        << arguments.join(' ').toStdString();
  }
}

TEST(ProbeText, ResultFileIsReplacedWholeOrLeftAsItWas) {
  QTemporaryDir dir;
  const QString path = dir.filePath("probe.txt");
  ASSERT_TRUE(writeProbeFile(path, "a much longer previous result that must not shine through\n"));
  EXPECT_TRUE(writeProbeFile(path, "OK\n"));
  EXPECT_EQ(readFile(path), "OK\n");
  EXPECT_FALSE(writeProbeFile(dir.filePath("missing/probe.txt"), "OK\n"));
  EXPECT_FALSE(writeProbeFile(dir.path(), "OK\n")) << "a folder is not a file";
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"probe.txt"})
      << "no temporary file or folder may be left behind";
}

// zepa-control as a process on a mounted zepa-sim, in its own folder as home and working folder.
TEST(ProbeProcess, ResultFilesAndExitFollowTheOptions) {
  const struct {
    const char* keyboard;
    QStringList arguments;  // --device-root ROOT goes in at the third place, or first
    int exitCode;           // -1: no probe was asked for, the application stays open
    const char* probe;      // probe.txt; "MODEL": the answers the simulator holds
    const char* write;      // write.txt
  } rows[] = {{"--halvern", {"--halvern-probe-file", "probe.txt"}, 0, "MODEL", ""},
              {"--halvern",
               {"--halvern-write-test-file", "write.txt", "--halvern-probe-file", "probe.txt"},
               0,
               "MODEL",
               "OK\n"},
              {"--zepa", {"--halvern-probe-file", "probe.txt"}, 0, notFound, ""},
              {"--halvern", {"--halvern-probe-file", "missing/probe.txt"}, 1, "", ""},
              {"--halvern", {"--halvern-probe-file"}, -1, "", ""},
              {"--halvern", {"--halvern-write-test-file"}, -1, "", ""},
              {"--halvern", {"--halvern-probe-file=probe.txt"}, -1, "", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments.join(' ').toStdString());
    test::SimMount sim({row.keyboard});
    ZEPA_REQUIRE_SIM(sim);
    const bool halvern = std::string(row.keyboard) == "--halvern";
    const nlohmann::json before = halvern ? sim.stateJson("halvern") : nlohmann::json();
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    QProcess app;
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(home.path());
    QStringList arguments = row.arguments;
    const qsizetype at = arguments.size() > 2 ? 2 : 0;
    arguments.insert(at, QString::fromStdString(sim.root().string()));
    arguments.insert(at, "--device-root");
    app.start(program, arguments);
    ASSERT_TRUE(app.waitForStarted(10000));
    if (row.exitCode < 0) {
      EXPECT_FALSE(app.waitForFinished(1500)) << "quit although no probe was asked for";
      app.kill();
      app.waitForFinished(5000);
      const auto log = sim.readLog();
      EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const auto& e) { return e.op == "SET"; }))
          << "nothing may be sent to the Halvern keyboard";
    } else {
      ASSERT_TRUE(app.waitForFinished(30000)) << "the application did not quit after the probe";
      EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(app.exitCode(), row.exitCode) << "a lost result must not look successful";
    }
    if (row.exitCode == 1) {
      EXPECT_TRUE(app.readAllStandardError().contains("konnte nicht geschrieben werden"));
    }
    if (halvern) {  // only the write test writes, and it puts back what it read
      nlohmann::json after = sim.stateJson("halvern");
      EXPECT_EQ(after["configWrites"], *row.write ? 1 : 0);
      after["configWrites"] = before["configWrites"];
      EXPECT_EQ(after, before);
    }
    QStringList files;
    for (auto [name, expected] : {std::pair<QString, std::string>{"probe.txt", row.probe},
                                  std::pair<QString, std::string>{"write.txt", row.write}}) {
      if (expected.empty()) continue;
      files << name;
      if (expected == "MODEL")
        expected = "MODEL " + before["modelAnswer"].get<std::string>() +
                   "\nCONFIG 06 84 00 00 01 00 80 00 " + before["configBlock"].get<std::string>() +
                   "\n";
      EXPECT_EQ(readFile(home.filePath(name)), expected) << name.toStdString();
    }
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), files);
  }
}

TEST(ProbeProcess, UdevRulesArePrintedWithoutADisplay) {
  QProcess app;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // With a window this would abort: there is no X server to reach.
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.insert("QT_QPA_PLATFORM", "xcb");
  app.setProcessEnvironment(env);
  app.start(program, {"--print-udev-rules"});
  ASSERT_TRUE(app.waitForFinished(10000));
  EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
  EXPECT_EQ(app.readAllStandardOutput().toStdString(),
            readFile(QStringLiteral(ZEPA_SOURCE_DIR "/resources/70-zepa-control.rules")));
}

}  // namespace
}  // namespace zepa
