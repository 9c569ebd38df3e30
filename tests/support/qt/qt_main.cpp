// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <QApplication>

// Widgets and queued calls need one application object for the whole test run.
int main(int argc, char** argv) {
  // Tests never need a display; listing them (ctest discovery) runs without the ctest
  // environment, so choose the platform here.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setOrganizationName("ZEPA Control");
  QApplication::setApplicationName("ZEPA Control");
  return RUN_ALL_TESTS();
}
