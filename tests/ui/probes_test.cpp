#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <array>
#include <functional>
#include <memory>

#include "app/launch/launch_options.hpp"
#include "app/launch/probes.hpp"
#include "tests/support/sim_mount.hpp"
#include "tools/sim/in_process_backend.hpp"

namespace zepa {
namespace {

// The answers the keyboard gives in these tests: a model answer with recognisable data bytes
// and a configuration block counting up from 0x80.
const char* const modelLine = "MODEL 06 82 01 00 01 00 06 00 10 11 12 13 2a 03\n";
const char* const configLine =
    "CONFIG 06 84 00 00 01 00 80 00 80 81 82 83 84 85 86 87 88 89 8a 8b 8c 8d 8e 8f 90 91 92 93 "
    "94 95 96 97 98 99 9a 9b 9c 9d 9e 9f a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af b0 b1 b2 "
    "b3 b4 b5 b6 b7 b8 b9 ba bb bc bd be bf c0 c1 c2 c3 c4 c5 c6 c7 c8 c9 ca cb cc cd ce cf d0 d1 "
    "d2 d3 d4 d5 d6 d7 d8 d9 da db dc dd de df e0 e1 e2 e3 e4 e5 e6 e7 e8 e9 ea eb ec ed ee ef f0 "
    "f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff\n";
const char* const notFound = "ERROR: Halvern Corvane Pro wurde nicht per USB gefunden.\n";
const char* const notPermitted =
    "ERROR: Linux verweigert den HID-Zugriff. Bitte die udev-Regel von ZEPA Control installieren "
    "(zepa-control --print-udev-rules) und die Tastatur neu verbinden.\n";

Sleeper noPauses() {
  return [](std::chrono::microseconds) {};
}

std::shared_ptr<sim::InProcessBackend> keyboards(bool halvern) {
  sim::SimulatorOptions options;
  options.zepa = true;
  options.halvern = halvern;
  auto backend = std::make_shared<sim::InProcessBackend>(options);
  if (!halvern) return backend;
  backend->halvern().setModelAnswer(
      {0x06, 0x82, 0x01, 0x00, 0x01, 0x00, 0x06, 0x00, 0x10, 0x11, 0x12, 0x13, 0x2a, 0x03});
  std::array<std::uint8_t, 128> block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0x80 + i);
  backend->halvern().setBlock(block);
  return backend;
}

using Probe = QByteArray (*)(std::shared_ptr<hid::Backend>, Sleeper);

struct ProbeRow {
  const char* name;
  Probe probe;
  bool halvern;
  std::function<void(sim::InProcessBackend&)> prepare;
  std::string expected;
};

TEST(ProbeText, ResultFileContents) {
  const auto nothing = [](sim::InProcessBackend&) {};
  const ProbeRow rows[] = {
      {"model: both answers", &halvernModelProbe, true, nothing,
       std::string(modelLine) + configLine},
      {"model: no keyboard", &halvernModelProbe, false, nothing, notFound},
      {"model: access refused", &halvernModelProbe, true,
       [](sim::InProcessBackend& b) { b.addFault("open:EACCES"); }, notPermitted},
      {"write test: unchanged", &halvernWriteTestProbe, true, nothing, "OK\n"},
      {"write test: byte 120 changed by the write", &halvernWriteTestProbe, true,
       [](sim::InProcessBackend& b) { b.halvern().corruptOnWrite(120); }, "MISMATCH\n"},
      {"write test: no keyboard", &halvernWriteTestProbe, false, nothing, notFound},
  };
  for (const ProbeRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto backend = keyboards(row.halvern);
    row.prepare(*backend);
    EXPECT_EQ(row.probe(backend, noPauses()).toStdString(), row.expected);
  }
}

TEST(ProbeText, ModelProbeLeavesTheKeyboardUnchanged) {
  auto backend = keyboards(true);
  halvernModelProbe(backend, noPauses());
  EXPECT_EQ(backend->halvern().configWrites(), 0);
  EXPECT_FALSE(backend->halvern().color().has_value());
}

struct OptionRow {
  QStringList arguments;
  std::optional<QString> probeFile;
  std::optional<QString> writeTestFile;
  std::optional<QString> deviceRoot;
};

TEST(LaunchOptionsTest, OptionsTakeTheNextArgument) {
  const QString program = "/usr/bin/zepa-control";
  const OptionRow rows[] = {
      {{program}, {}, {}, {}},
      {{program, "--halvern-probe-file", "out.txt"}, "out.txt", {}, {}},
      {{program, "--halvern-probe-file"}, {}, {}, {}},
      {{program, "--halvern-probe-file=out.txt"}, {}, {}, {}},
      {{program, "--halvern-probe-file", "a", "--halvern-probe-file", "b"}, "a", {}, {}},
      {{program, "--halvern-write-test-file", "w", "--halvern-probe-file", "p"}, "p", "w", {}},
      // The value is whatever follows, even another option.
      {{program, "--halvern-probe-file", "--device-root", "/tmp/r"}, "--device-root", {}, "/tmp/r"},
      // The program path is part of the list that is searched.
      {{"--halvern-write-test-file", "x"}, {}, "x", {}},
      {{program, "--device-root", "/tmp/sim"}, {}, {}, "/tmp/sim"},
  };
  for (const OptionRow& row : rows) {
    SCOPED_TRACE(row.arguments.join(' ').toStdString());
    const LaunchOptions options = parseLaunchOptions(row.arguments);
    EXPECT_EQ(options.probeFile, row.probeFile);
    EXPECT_EQ(options.writeTestFile, row.writeTestFile);
    EXPECT_EQ(options.deviceRoot, row.deviceRoot);
  }
}

TEST(ProbeFile, ReplacesWholeOrLeavesAsItWas) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("probe.txt");
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("a much longer previous result that must not shine through\n");
  }
  EXPECT_TRUE(writeProbeFile(path, "OK\n"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(), "OK\n");

  EXPECT_FALSE(writeProbeFile(dir.filePath("missing/probe.txt"), "OK\n"));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing/probe.txt")));
  EXPECT_FALSE(writeProbeFile(dir.path(), "OK\n")) << "a folder is not a file";
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"probe.txt"})
      << "no temporary file may be left behind";
}

// ---------------------------------------------------------------------------------------------
// The real program against a mounted zepa-sim.

const QString program = QStringLiteral(ZEPA_BIN_DIR "/zepa-control");

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ProbeProcess : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home_.isValid()); }

  // zepa-control with its own settings folders and no display.
  void start(QProcess& app, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home_.filePath("config"));
    env.insert("XDG_DATA_HOME", home_.filePath("data"));
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(home_.path());
    app.start(program, arguments);
    ASSERT_TRUE(app.waitForStarted(10000)) << program.toStdString();
  }

  QString path(const char* name) const { return home_.filePath(QLatin1String(name)); }

  static std::string root(const test::SimMount& sim) { return sim.root().string(); }

  QTemporaryDir home_;
};

// The model probe reads what the simulator holds: its state file names the model answer and
// the configuration block, and the answers' headers are fixed.
std::string expectedModelProbe(const test::SimMount& sim) {
  const nlohmann::json state = sim.stateJson("halvern");
  return "MODEL " + state["modelAnswer"].get<std::string>() + "\nCONFIG 06 84 00 00 01 00 80 00 " +
         state["configBlock"].get<std::string>() + "\n";
}

TEST_F(ProbeProcess, ModelProbeWritesBothAnswersAndQuits) {
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  QProcess app;
  start(app,
        {"--device-root", QString::fromStdString(root(sim)), "--halvern-probe-file", "probe.txt"});
  ASSERT_TRUE(app.waitForFinished(30000)) << "the application did not quit after the probe";
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0);
  // A relative path lands in the working folder.
  const std::string written = readAll(path("probe.txt")).toStdString();
  EXPECT_EQ(written, expectedModelProbe(sim));
  EXPECT_EQ(written.substr(0, 12), "MODEL 06 82 ");
}

TEST_F(ProbeProcess, BothProbesWriteTheirFilesBeforeTheQuit) {
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  QProcess app;
  start(app, {"--halvern-write-test-file", path("write.txt"), "--device-root",
              QString::fromStdString(root(sim)), "--halvern-probe-file", path("probe.txt")});
  ASSERT_TRUE(app.waitForFinished(30000));
  EXPECT_EQ(app.exitCode(), 0);
  EXPECT_EQ(readAll(path("write.txt")).toStdString(), "OK\n");
  EXPECT_EQ(readAll(path("probe.txt")).toStdString(), expectedModelProbe(sim));
}

TEST_F(ProbeProcess, WithoutTheKeyboardTheFileSaysSo) {
  test::SimMount sim({"--zepa"});
  ZEPA_REQUIRE_SIM(sim);
  QProcess app;
  start(app, {"--device-root", QString::fromStdString(root(sim)), "--halvern-probe-file",
              path("probe.txt")});
  ASSERT_TRUE(app.waitForFinished(30000));
  EXPECT_EQ(app.exitCode(), 0);
  EXPECT_EQ(readAll(path("probe.txt")).toStdString(), notFound);
}

TEST_F(ProbeProcess, UnwritableResultFileIsReportedAndStillQuits) {
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  QProcess app;
  start(app, {"--device-root", QString::fromStdString(root(sim)), "--halvern-probe-file",
              path("missing/probe.txt")});
  ASSERT_TRUE(app.waitForFinished(30000));
  EXPECT_EQ(app.exitCode(), 1) << "a probe whose result was lost must not look successful";
  EXPECT_TRUE(app.readAllStandardError().contains("konnte nicht geschrieben werden"));
  EXPECT_FALSE(QFileInfo::exists(path("missing/probe.txt")));
}

struct IgnoredRow {
  const char* name;
  QStringList arguments;
};

TEST_F(ProbeProcess, OptionWithoutValueIsIgnoredAndTheAppStaysOpen) {
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const QString dev = QString::fromStdString(root(sim));
  const IgnoredRow rows[] = {
      {"probe option last", {"--device-root", dev, "--halvern-probe-file"}},
      {"write test option last", {"--device-root", dev, "--halvern-write-test-file"}},
      {"joined with =", {"--device-root", dev, "--halvern-probe-file=" + path("probe.txt")}},
  };
  for (const IgnoredRow& row : rows) {
    SCOPED_TRACE(row.name);
    QProcess app;
    start(app, row.arguments);
    EXPECT_FALSE(app.waitForFinished(1500)) << "quit although no probe was asked for";
    app.kill();
    app.waitForFinished(5000);
    EXPECT_EQ(QDir(home_.path()).entryList(QDir::Files), QStringList{});
  }
  const auto writes = sim.readLog();
  EXPECT_TRUE(std::none_of(writes.begin(), writes.end(), [](const sim::LogEntry& entry) {
    return entry.op == "SET";
  })) << "nothing may be sent to the Halvern keyboard";
}

TEST(UdevRules, PrintedWithoutADisplay) {
  QFile source(QStringLiteral(ZEPA_SOURCE_DIR "/resources/70-zepa-control.rules"));
  ASSERT_TRUE(source.open(QIODevice::ReadOnly));
  QProcess app;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // With a window this would abort: there is no X server to reach.
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.insert("QT_QPA_PLATFORM", "xcb");
  app.setProcessEnvironment(env);
  app.start(program, {"--print-udev-rules"});
  ASSERT_TRUE(app.waitForFinished(10000));
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
  EXPECT_EQ(app.readAllStandardOutput(), source.readAll());
}

}  // namespace
}  // namespace zepa
