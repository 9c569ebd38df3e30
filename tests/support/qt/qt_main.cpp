#include <QApplication>
#include <gtest/gtest.h>

// Widgets and queued calls need one application object for the whole test run.
int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setOrganizationName("ZEPA Control");
  QApplication::setApplicationName("ZEPA Control");
  return RUN_ALL_TESTS();
}
