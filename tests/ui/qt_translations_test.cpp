// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "app/launch/zepa_control_app.hpp"

// Qt's own dialogs and menus speak German once the program has installed Qt's catalogue, also
// when the process runs under an English locale.
namespace zepa {
namespace {

class QtTranslationsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    installGermanQtTranslations();
  }
};

TEST_F(QtTranslationsTest, ColourDialogIsGerman) {
  const QColorDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), "Farbauswahl");
}

TEST_F(QtTranslationsTest, TextFieldContextMenuIsGerman) {
  QLineEdit field;
  field.setText(QStringLiteral("Wellen"));
  field.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), field.mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(&field, &event);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr) << "no context menu opened";
  QStringList entries;
  for (const QAction* action : menu->actions()) {
    // "&Kopieren\tStrg+C": the entry without mnemonic and shortcut.
    if (!action->isSeparator())
      entries << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
  }
  menu->close();
  EXPECT_TRUE(entries.contains("Kopieren")) << entries.join(" | ").toStdString();
}

}  // namespace
}  // namespace zepa
