#include <QPushButton>
#include <QScrollArea>
#include <functional>
#include <set>
#include <string>

#include "app/views/key_grid.hpp"
#include "app/views/per_key_view.hpp"
#include "app/views/unsupported_halvern_view.hpp"
#include "protocol/zepa_key_map.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class PerKeyViewTest : public ViewTest {
 protected:
  // Laid out at a window's size, as the user sees it; unshown buttons have no height to click.
  static void present(QWidget& view) {
    view.resize(900, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  static void click(const QWidget& view, const char* name) {
    QTest::mouseClick(find<QPushButton>(view, name), Qt::LeftButton);
  }
  static void clickKey(const QWidget& view, int index) {
    const std::string name = "key" + std::to_string(index);
    QTest::mouseClick(find<KeyButton>(view, name.c_str()), Qt::LeftButton);
  }
  // The checked keys as the grid shows them.
  static KeySelection checkedKeys(const QWidget& view) {
    KeySelection keys;
    for (const KeyButton* button : view.findChildren<KeyButton*>())
      if (button->isChecked()) keys.insert(button->keyIndex());
    return keys;
  }
  // The keyboard's per-key slots: "index: rr gg bb; " per lit key.
  std::string keyboardColors() const {
    std::string text;
    char slot[32];
    const nlohmann::json state = keyboards_->zepaState();
    for (const auto& entry : state["perKeyColors"]) {
      std::snprintf(slot, sizeof slot, "%d: %02x %02x %02x; ", entry["index"].get<int>(),
                    entry["red"].get<int>(), entry["green"].get<int>(), entry["blue"].get<int>());
      text += slot;
    }
    return text;
  }
};

struct SelectionStep {
  const char* what;
  std::function<void(const QWidget&)> act;
  bool allBut;                  // every key except `keys`
  std::set<std::uint8_t> keys;  // else exactly these
};

TEST_F(PerKeyViewTest, ButtonsAndKeysEditOneSelection) {
  const SelectionStep steps[] = {
      {"key Caps", [](const QWidget& v) { clickKey(v, 55); }, false, {55}},
      {"key A", [](const QWidget& v) { clickKey(v, 56); }, false, {55, 56}},
      {"Caps again", [](const QWidget& v) { clickKey(v, 55); }, false, {56}},
      {"Alle", [](const QWidget& v) { click(v, "selectAllButton"); }, true, {}},
      {"Leertaste off", [](const QWidget& v) { clickKey(v, 94); }, true, {94}},
      {"Alle again", [](const QWidget& v) { click(v, "selectAllButton"); }, true, {}},
      {"Keine", [](const QWidget& v) { click(v, "selectNoneButton"); }, false, {}},
      {"Leertaste on", [](const QWidget& v) { clickKey(v, 94); }, false, {94}},
  };
  KeySelection every;
  for (const ZEPAKey& key : ZEPAKeyMap::keys()) every.insert(key.index);
  AppModel& model = makeModel(Attached::zepa);
  PerKeyView view(model);
  present(view);
  ASSERT_EQ(view.findChildren<KeyButton*>().size(), 104);
  EXPECT_FALSE(find<QPushButton>(view, "applySelectionButton")->isEnabled());

  for (const SelectionStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(view);
    KeySelection expected = step.allBut ? every : KeySelection{};
    for (std::uint8_t key : step.keys) {
      if (step.allBut)
        expected.erase(key);
      else
        expected.insert(key);
    }
    EXPECT_EQ(model.selectedKeys(), expected);
    EXPECT_EQ(checkedKeys(view), expected);
    EXPECT_EQ(find<QPushButton>(view, "applySelectionButton")->isEnabled(), !expected.empty());
  }
  EXPECT_TRUE(keyboards_->log().empty()) << "selecting must not send";
}

struct ColourCase {
  const char* what;
  std::vector<KeyColor> stored;
  std::vector<int> clicked;
  QColor picked;
  const char* keyboard;  // slots after "Auswahl anwenden"
};

TEST_F(PerKeyViewTest, ApplyingWritesThePickedColourMergedWithTheStoredOnes) {
  const ColourCase cases[] = {
      {"two keys, empty profile", {}, {56, 55}, QColor(255, 0, 0), "55: ff 00 00; 56: ff 00 00; "},
      {"kept and replaced",
       {{4, {0, 0, 255}}, {94, {1, 2, 3}}},
       {5, 3, 94},
       QColor(0, 128, 0),
       "3: 00 80 00; 4: 00 00 ff; 5: 00 80 00; 94: 00 80 00; "},
  };
  for (const ColourCase& c : cases) {
    SCOPED_TRACE(c.what);
    AppModel& model = makeModel(Attached::zepa);
    model.editProfile([&](ZEPAProfile& p) { p.keyColors = c.stored; });
    PerKeyView view(model);
    present(view);
    for (int index : c.clicked) clickKey(view, index);
    model.setSelectedColor(c.picked);
    const KeySelection selected = model.selectedKeys();

    click(view, "applySelectionButton");
    EXPECT_FALSE(find<QPushButton>(view, "applySelectionButton")->isEnabled()) << "while sending";
    EXPECT_FALSE(find<QPushButton>(view, "clearColorsButton")->isEnabled()) << "while sending";
    waitUntilIdle(model);

    EXPECT_EQ(model.message(), "Einzeltastenfarben aktualisiert");
    EXPECT_EQ(keyboardColors(), c.keyboard);
    EXPECT_EQ(model.selectedKeys(), selected) << "the selection stays after applying";
    EXPECT_EQ(checkedKeys(view), selected);
    EXPECT_EQ(find<KeyButton>(view, "key56")->storedColor().value_or(QColor()),
              c.clicked.front() == 56 ? c.picked : QColor());
  }
}

TEST_F(PerKeyViewTest, ClearingEmptiesKeyboardAndProfileButKeepsTheSelection) {
  AppModel& model = makeModel(Attached::zepa);
  PerKeyView view(model);
  present(view);
  clickKey(view, 1);
  model.setSelectedColor(QColor(0, 0, 255));
  click(view, "applySelectionButton");
  waitUntilIdle(model);
  ASSERT_EQ(keyboardColors(), "1: 00 00 ff; ");

  click(view, "clearColorsButton");
  waitUntilIdle(model);
  EXPECT_EQ(model.message(), "Einzeltastenfarben gelöscht");
  EXPECT_EQ(keyboardColors(), "");
  EXPECT_TRUE(model.profile().keyColors.empty());
  EXPECT_FALSE(find<KeyButton>(view, "key1")->storedColor());
  EXPECT_EQ(model.selectedKeys(), KeySelection{1});
}

struct EnablementCase {
  const char* what;
  Attached attached;
  bool select, busy;
  bool apply, clear;
};

TEST_F(PerKeyViewTest, ActionButtonsFollowConnectionBusyAndSelection) {
  const EnablementCase cases[] = {
      {"ready", Attached::zepa, true, false, true, true},
      {"nothing selected", Attached::zepa, false, false, false, true},
      {"no keyboard", Attached::none, true, false, false, true},
      {"busy", Attached::zepa, true, true, false, false},
  };
  for (const EnablementCase& c : cases) {
    SCOPED_TRACE(c.what);
    AppModel& model = makeModel(c.attached);
    PerKeyView view(model);
    present(view);
    if (c.select) clickKey(view, 94);
    if (c.busy) model.syncClock();
    EXPECT_EQ(find<QPushButton>(view, "applySelectionButton")->isEnabled(), c.apply);
    EXPECT_EQ(find<QPushButton>(view, "clearColorsButton")->isEnabled(), c.clear);
    EXPECT_TRUE(find<QPushButton>(view, "selectAllButton")->isEnabled());
    EXPECT_TRUE(find<KeyButton>(view, "key94")->isEnabled());
    waitUntilIdle(model);
  }
}

TEST_F(PerKeyViewTest, HalvernShowsOnlyTheLockPanelAndTheSelectionComesBack) {
  AppModel& model = makeModel(Attached::both);
  auto view = std::make_unique<PerKeyView>(model);
  present(*view);
  clickKey(*view, 55);
  clickKey(*view, 73);

  model.setSelectedKeyboard(SupportedKeyboard::halvern);
  auto* panel = find<UnsupportedHalvernView>(*view, "unsupportedHalvernView");
  EXPECT_TRUE(shown(panel, view.get()));
  EXPECT_FALSE(shown(find<QWidget>(*view, "perKeyPage"), view.get()));
  EXPECT_EQ(panel->title(), "Einzeltastenfarben nicht verfügbar");
  EXPECT_EQ(panel->text(),
            "Die Corvane-Pro-Firmware stellt unter Linux keinen zuverlässig nutzbaren "
            "Konfigurationskanal für einzelne LEDs bereit. Diese Funktion ist deshalb für dieses "
            "Keyboard deaktiviert.");

  model.setSelectedKeyboard(SupportedKeyboard::zepa);
  EXPECT_TRUE(shown(find<QWidget>(*view, "perKeyPage"), view.get()));
  EXPECT_EQ(checkedKeys(*view), (KeySelection{55, 73}));
  // A rebuilt tab reads the same selection.
  view = std::make_unique<PerKeyView>(model);
  present(*view);
  EXPECT_EQ(checkedKeys(*view), (KeySelection{55, 73}));
}

struct GridCase {
  int width;
  int columns;
  int keyWidth;
};

TEST_F(PerKeyViewTest, GridFitsAsManyColumnsAsTheWidthAllows) {
  const GridCase cases[] = {
      {40, 1, 40},     // narrower than one key: one squeezed column
      {121, 1, 90},    // one column, capped at its maximum
      {122, 2, 58},    // two at their minimum plus one gap
      {200, 3, 62},    // 3 × 62 + 2 × 6 = 198
      {700, 11, 58},   // 11 × 58 + 10 × 6 = 698
      {1000, 15, 61},  // 15 × 61 + 14 × 6 = 999
  };
  AppModel& model = makeModel(Attached::zepa);
  PerKeyView view(model);
  present(view);
  const AdaptiveGridLayout* grid = view.gridLayout();
  for (const GridCase& c : cases) {
    SCOPED_TRACE(c.width);
    EXPECT_EQ(grid->columnCount(c.width), c.columns);
    EXPECT_EQ(grid->columnWidth(c.width), c.keyWidth);
  }
}

// Distinct x positions of the key buttons: the columns the grid really shows.
std::set<int> columnsShown(const QWidget& view) {
  std::set<int> xs;
  for (const KeyButton* key : view.findChildren<KeyButton*>()) xs.insert(key->x());
  return xs;
}

TEST_F(PerKeyViewTest, GridReflowsWhenTheWindowIsResized) {
  AppModel& model = makeModel(Attached::zepa);
  PerKeyView view(model);
  present(view);
  view.resize(900, 600);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  const std::set<int> wide = columnsShown(view);
  view.resize(500, 600);
  QTest::qWait(20);
  const std::set<int> narrow = columnsShown(view);
  EXPECT_GT(wide.size(), narrow.size());
  const QWidget* grid = find<QWidget>(view, "keyGrid");
  for (const KeyButton* key : view.findChildren<KeyButton*>()) {
    EXPECT_GE(key->width(), PerKeyView::minKeyWidth) << key->text().toStdString();
    EXPECT_LE(key->width(), PerKeyView::maxKeyWidth) << key->text().toStdString();
    EXPECT_EQ(key->width(), find<KeyButton>(view, "key1")->width()) << "keys are even-sized";
    EXPECT_LE(key->geometry().right(), grid->width()) << "no key is cut off at the right";
  }
  // Neighbours in a row sit one gap apart.
  auto it = narrow.begin();
  const int first = *it++;
  EXPECT_EQ(*it - first, find<KeyButton>(view, "key1")->width() + PerKeyView::keySpacing);
}

}  // namespace
}  // namespace zepa::uitest
