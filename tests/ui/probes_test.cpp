// SPDX-License-Identifier: MIT
#include <QProcess>

#include "app/launch/launch_options.hpp"
#include "app/launch/probes.hpp"
#include "tests/app/model_test_support.hpp"
#include "tests/support/sim_mount.hpp"

namespace zepa {
namespace {

using test::readFile;
const char* const notFound = "ERROR: Halvern Corvane Pro wurde nicht per USB gefunden.\n";
const QString program = QStringLiteral(ZEPA_BIN_DIR "/zepa-control");

TEST(ProbeText, WithoutTheHalvernTheProbeSaysSo) {
  auto backend = std::make_shared<sim::InProcessBackend>(sim::SimulatorOptions{true, false, 0, {}});
  EXPECT_EQ(halvernModelProbe(backend, [](std::chrono::microseconds) {}).toStdString(), notFound);
}

TEST(ProbeText, AnOptionWithoutItsValueAsksForNoProbe) {
  EXPECT_FALSE(parseLaunchOptions({"/usr/bin/zepa-control", "--halvern-probe-file"}).probeFile);
}

// zepa-control as a process on a mounted zepa-sim, in its own folder as home and working folder.
class ProbeRun : public ::testing::Test {
 protected:
  void launch(const test::SimMount& sim, QStringList arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home_.filePath("config"));
    env.insert("XDG_DATA_HOME", home_.filePath("data"));
    app_.setProcessEnvironment(env);
    app_.setWorkingDirectory(home_.path());
    app_.start(program, QStringList{"--device-root", QString::fromStdString(sim.root().string())} +
                            arguments);
    ASSERT_TRUE(app_.waitForStarted(10000));
  }
  void expectExit(int code) {
    ASSERT_TRUE(app_.waitForFinished(30000)) << "the application did not quit after the probe";
    EXPECT_EQ(app_.exitCode(), code) << "a lost result must not look successful";
  }
  QTemporaryDir home_;
  QProcess app_;
};

// What the write test writes to the keyboard is the device tests' concern; here the files.
TEST_F(ProbeRun, WritesTheModelAndTheWriteTestResults) {
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  const nlohmann::json state = sim.stateJson("halvern");
  launch(sim, {"--halvern-write-test-file", "write.txt", "--halvern-probe-file", "probe.txt"});
  expectExit(0);
  EXPECT_EQ(readFile(home_.filePath("probe.txt")),
            "MODEL " + state["modelAnswer"].get<std::string>() +
                "\nCONFIG 06 84 00 00 01 00 80 00 " + state["configBlock"].get<std::string>() +
                "\n");
  EXPECT_EQ(readFile(home_.filePath("write.txt")), "OK\n");
}

TEST_F(ProbeRun, AResultItCannotWriteEndsInAnError) {
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  launch(sim, {"--halvern-probe-file", "missing/probe.txt"});
  expectExit(1);
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
  EXPECT_EQ(app.readAllStandardOutput().toStdString(),
            readFile(QStringLiteral(ZEPA_SOURCE_DIR "/resources/70-zepa-control.rules")));
}

}  // namespace
}  // namespace zepa
