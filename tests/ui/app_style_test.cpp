// SPDX-License-Identifier: MIT
// The application style skips two PNG reads at start-up (each loads every image plug-in); what
// it draws and hands out must stay what the desktop style gives.
#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "app/views/app_style.hpp"
#include "app/views/main_window.hpp"
#include "tests/ui/ui_test_support.hpp"

namespace zepa {
namespace {

QImage groupBoxIn(QStyle& style, const QString& title) {
  QWidget window;
  window.setStyle(&style);
  auto* box = new QGroupBox(title, &window);
  box->setStyle(&style);
  (new QVBoxLayout(box))->addWidget(new QLabel(QStringLiteral("Inhalt")));
  (new QVBoxLayout(&window))->addWidget(box);
  window.resize(240, 120);
  return window.grab().toImage();
}

int largestChannelDifference(const QImage& a, const QImage& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QColor p = a.pixelColor(x, y);
      const QColor q = b.pixelColor(x, y);
      largest = std::max({largest, std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                          std::abs(p.blue() - q.blue())});
    }
  }
  return largest;
}

class GroupBoxFrame : public ::testing::TestWithParam<const char*> {};

// A frame drawn a line off, or not at all, differs by far more than the shading of its
// corners.
TEST_P(GroupBoxFrame, LooksLikeFusions) {
  std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  AppStyle style;
  EXPECT_LE(largestChannelDifference(groupBoxIn(*fusion, QLatin1String(GetParam())),
                                     groupBoxIn(style, QLatin1String(GetParam()))),
            8);
}

INSTANTIATE_TEST_SUITE_P(AppStyle, GroupBoxFrame, ::testing::Values("Hauptbeleuchtung", ""),
                         [](const auto& info) {
                           return std::string(*info.param ? "titled" : "untitled");
                         });

TEST(AppStyle, AStandardIconIsTheDesktopStylesWhenDrawn) {
  std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  AppStyle style;
  EXPECT_EQ(style.standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32).toImage(),
            fusion->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32).toImage());
}

class FirstPaint : public uitest::ViewTest {};

TEST_F(FirstPaint, LoadsNoImagePlugin) {
  QApplication::setStyle(new AppStyle);
  attach(uitest::Attached::both);
  open<MainWindow>().grab();
  QFile maps(QStringLiteral("/proc/self/maps"));
  ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
  EXPECT_FALSE(maps.readAll().contains("/imageformats/"));
}

}  // namespace
}  // namespace zepa
