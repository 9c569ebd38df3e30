#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <functional>
#include <string>

#include "app/views/halvern_remap_view.hpp"
#include "app/views/remap_view.hpp"
#include "tests/support/sim_mount.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

class RemapViewTest : public ViewTest {
 protected:
  // Laid out at a window's size, as the user sees it; unshown buttons have no height to click.
  static void present(QWidget& view) {
    view.resize(900, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  static QWidget* row(const QWidget& view, int source) {
    const std::string name = "remapRow" + std::to_string(source);
    return find<QWidget>(view, name.c_str());
  }
  // "source → target; " per row, in list order.
  static std::string rows(const QWidget& view) {
    std::string text;
    for (const QWidget* r : view.findChildren<QWidget*>(QRegularExpression("^remapRow\\d+$"))) {
      if (!r->parentWidget() || !r->isVisibleTo(r->window())) continue;
      text += r->findChild<QLabel*>("remapSource")->text().toStdString() + " → " +
              r->findChild<QLabel*>("remapTarget")->text().toStdString() + "; ";
    }
    return text;
  }
  static void clickTrash(const QWidget& view, int source) {
    QTest::mouseClick(row(view, source)->findChild<QToolButton*>("remapDelete"), Qt::LeftButton);
  }
  static void choose(const QWidget& view, const char* picker, int value) {
    auto* box = find<QComboBox>(view, picker);
    const int index = box->findData(value);
    ASSERT_GE(index, 0) << picker << " offers no " << value;
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  static void click(const QWidget& view, const char* name) {
    QTest::mouseClick(find<QPushButton>(view, name), Qt::LeftButton);
  }
  // The keyboard's base-layer slots: "index: action p1 p2 p3; ".
  std::string keyboardRemaps() const {
    std::string text;
    char slot[40];
    const nlohmann::json state = keyboards_->zepaState();
    for (const auto& e : state["baseRemaps"]) {
      std::snprintf(slot, sizeof slot, "%d: %02x %02x %02x %02x; ", e["index"].get<int>(),
                    e["action"].get<int>(), e["param1"].get<int>(), e["param2"].get<int>(),
                    e["param3"].get<int>());
      text += slot;
    }
    return text;
  }
};

struct NameCase {
  KeyRemap remap;
  const char* source;
  const char* target;
};

TEST_F(RemapViewTest, ZepaRowsNameSourceAndTarget) {
  const NameCase cases[] = {
      {{55, RemapAction::key, 0x01, 0x00, 0}, "Caps", "Ctrl L"},
      {{56, RemapAction::key, 0x02, 0x00, 0}, "A", "Shift L"},
      {{57, RemapAction::key, 0x40, 0x00, 0}, "S", "Alt R"},
      {{58, RemapAction::key, 0x80, 0x00, 0}, "D", "Modifier"},  // 0xE7 has no key
      {{59, RemapAction::key, 0x03, 0x00, 0}, "F", "Unbekannt"},
      {{60, RemapAction::key, 0x00, 0x00, 0}, "G", "Unbekannt"},
      {{61, RemapAction::key, 0x00, 0x68, 0}, "H", "HID 68"},
      {{62, RemapAction::key, 0x00, 0xab, 0}, "J", "HID ab"},
      {{63, RemapAction::key, 0x01, 0x04, 0}, "K", "A"},  // a usage wins over the bits
      {{96, RemapAction::key, 0x00, 0xaf, 0}, "Fn", "Fn"},
      {{200, RemapAction::key, 0x00, 0x04, 0}, "#200", "A"},
      {{14, RemapAction::key, 0x00, 0x2c, 0}, "#14", "Leertaste"},
  };
  AppModel& model = makeModel(Attached::zepa);
  RemapView view(model);
  present(view);
  model.editProfile([&](ZEPAProfile& p) {
    for (const NameCase& c : cases) p.remaps.push_back(c.remap);
  });
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.remap.sourceIndex);
    QWidget* r = row(view, c.remap.sourceIndex);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->findChild<QLabel*>("remapSource")->text(), QString::fromUtf8(c.source));
    EXPECT_EQ(r->findChild<QLabel*>("remapTarget")->text(), QString::fromUtf8(c.target));
  }
}

struct HalvernNameCase {
  std::uint8_t source, target;
  const char* sourceName;
  const char* targetName;
};

TEST_F(RemapViewTest, HalvernRowsNameBothUsages) {
  const HalvernNameCase cases[] = {
      {0x04, 0x68, "A", "HID 68"},
      {0x39, 0xE0, "Caps", "Ctrl L"},
      {0x68, 0x05, "HID 68", "B"},
      {0x69, 0xE7, "HID 69", "HID e7"},
  };
  KeyRemaps remaps;
  for (const auto& c : cases) remaps.push_back({c.source, RemapAction::key, 0, c.target, 0});
  AppModel& model = makeModel(Attached::halvern);
  RemapView view(model);
  present(view);
  model.setHalvernRemaps(remaps);
  EXPECT_TRUE(shown(find<QWidget>(view, "halvernRemapView"), &view));
  EXPECT_FALSE(shown(find<QWidget>(view, "zepaRemapPage"), &view));
  std::string expected;
  for (const auto& c : cases) expected += std::string(c.sourceName) + " → " + c.targetName + "; ";
  EXPECT_EQ(rows(view), expected);
}

struct PickerCase {
  const char* picker;
  int entries;
  bool offersFn;
};

TEST_F(RemapViewTest, HalvernPickersLeaveOutFn) {
  const PickerCase cases[] = {
      {"sourcePicker", 104, true},
      {"targetPicker", 104, true},
      {"halvernSourcePicker", 103, false},
      {"halvernTargetPicker", 103, false},
  };
  AppModel& model = makeModel(Attached::both);
  RemapView view(model);
  present(view);
  for (const PickerCase& c : cases) {
    SCOPED_TRACE(c.picker);
    auto* box = find<QComboBox>(view, c.picker);
    EXPECT_EQ(box->count(), c.entries);
    EXPECT_EQ(box->findText("Fn") >= 0, c.offersFn);
  }
  // The Halvern pickers carry usages, the ZEPA pickers firmware indices.
  EXPECT_EQ(find<QComboBox>(view, "halvernSourcePicker")->currentData().toInt(), 0x39);
  EXPECT_EQ(find<QComboBox>(view, "halvernTargetPicker")->currentData().toInt(), 0xE0);
  EXPECT_EQ(find<QComboBox>(view, "sourcePicker")->currentText(), "Caps");
  EXPECT_EQ(find<QComboBox>(view, "targetPicker")->currentData().toInt(), 91);
}

struct GuardCase {
  const char* what;
  Attached attached;
  bool withRemap, busy;
  bool add, reset, trash, reapply;
};

TEST_F(RemapViewTest, ButtonsFollowConnectionBusyAndList) {
  const GuardCase cases[] = {
      {"ZEPA ready", Attached::zepa, true, false, true, true, true, false},
      {"ZEPA unplugged", Attached::none, true, false, false, false, true, false},
      {"ZEPA busy", Attached::zepa, true, true, false, false, false, false},
      {"Halvern ready", Attached::halvern, true, false, true, true, true, true},
      {"Halvern empty list", Attached::halvern, false, false, true, true, true, false},
      {"Halvern busy", Attached::halvern, true, true, false, false, false, false},
  };
  for (const GuardCase& c : cases) {
    SCOPED_TRACE(c.what);
    AppModel& model = makeModel(c.attached);
    RemapView view(model);
    present(view);
    const bool halvern = model.selectedKeyboard() == SupportedKeyboard::halvern;
    if (c.withRemap) {
      const KeyRemap remap{0x39, RemapAction::key, 0, 0x04, 0};
      if (halvern)
        model.setHalvernRemaps({remap});
      else
        model.editProfile([&](ZEPAProfile& p) { p.remaps = {remap}; });
    }
    if (c.busy) model.previewEffect(1);  // any operation holds the guard
    EXPECT_EQ(
        find<QPushButton>(view, halvern ? "addHalvernRemapButton" : "addRemapButton")->isEnabled(),
        c.add);
    EXPECT_EQ(find<QPushButton>(view, halvern ? "resetHalvernRemapsButton" : "resetRemapsButton")
                  ->isEnabled(),
              c.reset);
    if (c.withRemap) {
      EXPECT_EQ(row(view, 0x39)->findChild<QToolButton*>("remapDelete")->isEnabled(), c.trash);
    }
    EXPECT_EQ(find<QPushButton>(view, "reapplyHalvernRemapsButton")->isEnabled(), c.reapply);
    const QWidget* page = find<QWidget>(view, halvern ? "halvernRemapView" : "zepaRemapPage");
    EXPECT_EQ(shown(page->findChild<QWidget*>("remapEmptyState"), &view), !c.withRemap);
    waitUntilIdle(model);
  }
}

struct ZepaStep {
  const char* what;
  std::function<void(RemapViewTest&, const QWidget&)> act;
  const char* keyboard;
  const char* rows;
};

TEST_F(RemapViewTest, ZepaChangesReachTheKeyboard) {
  const ZepaStep steps[] = {
      {"Caps → A",
       [](RemapViewTest&, const QWidget& v) {
         choose(v, "sourcePicker", 55);
         choose(v, "targetPicker", 56);
         click(v, "addRemapButton");
       },
       "55: 02 00 04 00; ", "Caps → A; "},
      {"1 → Shift R",
       [](RemapViewTest&, const QWidget& v) {
         choose(v, "sourcePicker", 20);
         choose(v, "targetPicker", 84);
         click(v, "addRemapButton");
       },
       "20: 02 20 00 00; 55: 02 00 04 00; ", "Caps → A; 1 → Shift R; "},
      {"Caps replaced",
       [](RemapViewTest&, const QWidget& v) {
         choose(v, "sourcePicker", 55);
         choose(v, "targetPicker", 91);
         click(v, "addRemapButton");
       },
       "20: 02 20 00 00; 55: 02 01 00 00; ", "1 → Shift R; Caps → Ctrl L; "},
      {"trash Caps", [](RemapViewTest&, const QWidget& v) { clickTrash(v, 55); },
       "20: 02 20 00 00; ", "1 → Shift R; "},
      {"reset", [](RemapViewTest&, const QWidget& v) { click(v, "resetRemapsButton"); }, "", ""},
  };
  AppModel& model = makeModel(Attached::zepa);
  RemapView view(model);
  present(view);
  for (const ZepaStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(*this, view);
    waitUntilIdle(model);
    QCoreApplication::processEvents();
    EXPECT_EQ(model.message(), "Tastenbelegung aktualisiert");
    EXPECT_EQ(keyboardRemaps(), step.keyboard);
    EXPECT_EQ(rows(view), step.rows);
  }
  const QWidget* page = find<QWidget>(view, "zepaRemapPage");
  EXPECT_TRUE(shown(find<QWidget>(*page, "remapEmptyState"), &view));
  EXPECT_EQ(find<QLabel>(*page, "remapEmptyText")->text(), "Keine Umbelegungen");
}

TEST_F(RemapViewTest, TrashWithoutKeyboardStillRemovesTheRow) {
  AppModel& model = makeModel(Attached::none);
  model.editProfile([](ZEPAProfile& p) {
    p.remaps = {{55, RemapAction::key, 1, 0, 0}, {20, RemapAction::key, 0, 4, 0}};
  });
  RemapView view(model);
  present(view);
  clickTrash(view, 55);
  waitUntilIdle(model);
  QCoreApplication::processEvents();
  EXPECT_EQ(rows(view), "1 → A; ");
  EXPECT_EQ(model.message(), "Fehler") << "the failed write is reported";
}

struct HalvernStep {
  const char* what;
  std::function<void(const QWidget&)> act;
  const char* message;
  nlohmann::json keyMap;  // as zepa-sim reports it
  const char* rows;
};

nlohmann::json mapped(std::initializer_list<std::pair<int, int>> usageToKeycode) {
  nlohmann::json list = nlohmann::json::array();
  for (auto [usage, keycode] : usageToKeycode)
    list.push_back({{"scancode", 0x70000 | usage}, {"usage", usage}, {"keycode", keycode}});
  return list;
}

// Through the real zepa-keymap on a mounted simulator: what Linux ends up with.
TEST_F(RemapViewTest, HalvernChangesReachTheKeyMap) {
  const HalvernStep steps[] = {
      {"Caps → Ctrl L",
       [](const QWidget& v) {
         choose(v, "halvernSourcePicker", 0x39);
         choose(v, "halvernTargetPicker", 0xE0);
         click(v, "addHalvernRemapButton");
       },
       "Halvern-Tastenbelegung aktiv", mapped({{0x39, 29}}), "Caps → Ctrl L; "},
      {"A → B",
       [](const QWidget& v) {
         choose(v, "halvernSourcePicker", 0x04);
         choose(v, "halvernTargetPicker", 0x05);
         click(v, "addHalvernRemapButton");
       },
       "Halvern-Tastenbelegung aktiv", mapped({{0x04, 48}, {0x39, 29}}), "A → B; Caps → Ctrl L; "},
      {"trash Caps", [](const QWidget& v) { clickTrash(v, 0x39); }, "Halvern-Tastenbelegung aktiv",
       mapped({{0x04, 48}}), "A → B; "},
      {"reapply", [](const QWidget& v) { click(v, "reapplyHalvernRemapsButton"); },
       "Halvern-Tastenbelegung aktiv", mapped({{0x04, 48}}), "A → B; "},
      {"reset", [](const QWidget& v) { click(v, "resetHalvernRemapsButton"); },
       "Halvern-Tastenbelegung zurückgesetzt", nlohmann::json::array(), ""},
  };
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  ModelEnvironment env = systemEnvironment(QString::fromStdString(sim.root().string()));
  env.sleeper = sleeper_.sleeper();
  env.keymapProgram = QStringLiteral(ZEPA_BIN_DIR "/zepa-keymap");
  AppModel model(env);
  ASSERT_EQ(model.selectedKeyboard(), SupportedKeyboard::halvern);
  RemapView view(model);
  present(view);

  for (const HalvernStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(view);
    waitUntilIdle(model);
    QCoreApplication::processEvents();
    EXPECT_EQ(model.message(), QString::fromUtf8(step.message))
        << model.errorMessage().value_or("").toStdString();
    EXPECT_EQ(sim.stateJson("halvern")["keyMap"], step.keyMap);
    EXPECT_EQ(rows(view), step.rows);
    const QByteArray stored =
        QSettings("ZEPA Control", "ZEPA Control").value("halvernRemaps").toByteArray();
    EXPECT_EQ(decodeKeyRemaps(stored.toStdString()), model.halvernRemaps()) << "stored at once";
  }
  EXPECT_FALSE(find<QPushButton>(view, "reapplyHalvernRemapsButton")->isEnabled());
}

}  // namespace
}  // namespace zepa::uitest
