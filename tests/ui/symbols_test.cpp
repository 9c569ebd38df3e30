// SPDX-License-Identifier: MIT
// The symbols are drawn from their SVGs when the program is built; these tests read them back
// as the views do: every one present, at the size and in the colour asked for.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <string>

#include "app/views/symbols.hpp"

namespace zepa {
namespace {

class EverySymbol : public ::testing::TestWithParam<const char*> {};

TEST_P(EverySymbol, IsDrawnAtTheSizeAskedFor) {
  EXPECT_EQ(tintedSymbol(QLatin1String(GetParam()), 50, Qt::black).size(), QSize(50, 50));
}

INSTANTIATE_TEST_SUITE_P(Symbols, EverySymbol,
                         ::testing::Values("lightbulb", "keyboard", "arrow.left.arrow.right",
                                           "display", "arrow.clockwise", "keyboard.fill",
                                           "lock.shield", "clock.badge.checkmark", "dial",
                                           "chevron.right"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == '.' ? '_' : c;
                           return name;
                         });

TEST(Symbols, AnUnknownNameGivesNothing) {
  EXPECT_TRUE(tintedSymbol(QStringLiteral("kein.symbol"), 24, Qt::black).isNull());
}

TEST(Symbols, TheOutlineTakesTheColourAskedFor) {
  const QImage dial = tintedSymbol(QStringLiteral("dial"), 24, QColor(0x00, 0xb4, 0xd8)).toImage();
  // The dial's outer ring crosses the middle of the top edge, two pixels in.
  EXPECT_EQ(dial.pixelColor(12, 3).rgb(), QColor(0x00, 0xb4, 0xd8).rgb());
}

TEST(Symbols, OutsideTheOutlineStaysClear) {
  const QImage dial = tintedSymbol(QStringLiteral("dial"), 24, QColor(0x00, 0xb4, 0xd8)).toImage();
  EXPECT_EQ(dial.pixelColor(0, 0).alpha(), 0);
}

TEST(Symbols, AnIconIsDrawnSharpOnADoubleDensityScreen) {
  const QPixmap refresh = symbolIcon(QStringLiteral("arrow.clockwise")).pixmap(QSize(16, 16), 2.0);
  EXPECT_EQ(refresh.size(), QSize(32, 32));
}

TEST(Symbols, TheApplicationIconComesInTheSizesDesktopsAskFor) {
  const QList<QSize> sizes{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}};
  EXPECT_EQ(applicationIcon().availableSizes(), sizes);
}

}  // namespace
}  // namespace zepa
