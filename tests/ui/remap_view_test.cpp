// SPDX-License-Identifier: MIT
#include <QRegularExpression>
#include <QToolButton>
#include <string>

#include "app/views/halvern_remap_view.hpp"
#include "app/views/remap_view.hpp"
#include "tests/support/sim_mount.hpp"
#include "ui_test_support.hpp"

namespace zepa::uitest {
namespace {

// One user action: "add" picks source and target first, "trash" deletes the row of `source`,
// anything else is a button's name.
struct Step {
  const char* button;
  int source, target;
};

class RemapViewTest : public ViewTest {
 protected:
  static QToolButton* trash(const QWidget& view, int source) {
    return find(view, ("remapRow" + std::to_string(source)).c_str())
        ->findChild<QToolButton*>("remapDelete");
  }
  // "source → target; " per shown row, in list order.
  static std::string rows(const QWidget& view) {
    QString list;
    for (const QWidget* r : view.findChildren<QWidget*>(QRegularExpression("^remapRow\\d+$")))
      if (r->parentWidget() && r->isVisibleTo(r->window()))
        list += text(*r, "remapSource") + " → " + text(*r, "remapTarget") + "; ";
    return list.toStdString();
  }
  static void act(const QWidget& view, const Step& step, bool halvern) {
    const std::string button = step.button;
    if (button == "trash") return QTest::mouseClick(trash(view, step.source), Qt::LeftButton);
    if (button == "add") {
      choose(view, halvern ? "halvernSourcePicker" : "sourcePicker", step.source);
      choose(view, halvern ? "halvernTargetPicker" : "targetPicker", step.target);
    }
    click(view, button != "add" ? step.button
                : halvern       ? "addHalvernRemapButton"
                                : "addRemapButton");
  }
};

TEST_F(RemapViewTest, RowsNameSourceAndTargetForBothKeyboards) {
  // Key remaps as source, modifier bits, usage. ZEPA targets: a modifier bit alone names it (0xE7
  // has no key), a usage wins over the bits.
  // clang-format off
  const std::tuple<Attached, std::vector<std::array<std::uint8_t, 3>>, const char*> cases[] = {
      {Attached::zepa,
       {{55, 0x01, 0x00}, {57, 0x40, 0x00}, {58, 0x80, 0x00}, {59, 0x03, 0x00}, {60, 0x00, 0x00},
        {62, 0x00, 0xab}, {63, 0x01, 0x04}, {96, 0x00, 0xaf}, {200, 0x00, 0x04}, {14, 0x00, 0x2c}},
       "Caps → Ctrl L; S → Alt R; D → Modifier; F → Unbekannt; G → Unbekannt; J → HID ab; "
       "K → A; Fn → Fn; #200 → A; #14 → Leertaste; "},
      {Attached::halvern,
       {{0x04, 0, 0x68}, {0x39, 0, 0xE0}, {0x68, 0, 0x05}, {0x69, 0, 0xE7}},
       "A → HID 68; Caps → Ctrl L; HID 68 → B; HID 69 → HID e7; "}};
  // clang-format on
  for (const auto& [attached, remaps, expected] : cases) {
    AppModel& model = attach(attached);
    auto& view = open<RemapView>();
    KeyRemaps list;
    for (auto [source, bits, usage] : remaps)
      list.push_back({source, RemapAction::key, bits, usage, 0});
    attached == Attached::zepa ? model.editProfile([&](ZEPAProfile& p) { p.remaps = list; })
                               : model.setHalvernRemaps(list);
    EXPECT_EQ(rows(view), expected);
  }
  // The Halvern pickers carry usages and leave out Fn, which it has no usage for.
  const std::tuple<const char*, int, int> pickers[] = {{"sourcePicker", 104, 55},
                                                       {"targetPicker", 104, 91},
                                                       {"halvernSourcePicker", 103, 0x39},
                                                       {"halvernTargetPicker", 103, 0xE0}};
  RemapView view(attach(Attached::both));
  for (const auto& [name, entries, current] : pickers) {
    auto* box = find<QComboBox>(view, name);
    EXPECT_EQ(box->count(), entries) << name;
    EXPECT_EQ(box->findText("Fn") >= 0, entries == 104) << name;
    EXPECT_EQ(box->currentData().toInt(), current) << name;
  }
}

TEST_F(RemapViewTest, ZepaChangesReachTheKeyboardAndWithoutItOnlyTheList) {
  const struct {
    Step step;
    const char* keyboard;  // base-layer slots: "index: action p1 p2 p3; "
    const char* rows;
  } steps[] = {
      {{"add", 55, 56}, "55: 02 00 04 00; ", "Caps → A; "},
      {{"add", 20, 84}, "20: 02 20 00 00; 55: 02 00 04 00; ", "Caps → A; 1 → Shift R; "},
      {{"add", 55, 91}, "20: 02 20 00 00; 55: 02 01 00 00; ", "1 → Shift R; Caps → Ctrl L; "},
      {{"trash", 55, 0}, "20: 02 20 00 00; ", "1 → Shift R; "},
      {{"resetRemapsButton", 0, 0}, "", ""}};
  AppModel& model = attach(Attached::zepa);
  auto& view = open<RemapView>();
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << s.step.button << ' ' << s.step.source);
    act(view, s.step, false);
    waitUntilIdle(model);
    QCoreApplication::processEvents();
    EXPECT_EQ(model.message(), "Tastenbelegung aktualisiert");
    EXPECT_EQ(zepaSlots("baseRemaps", {"action", "param1", "param2", "param3"}), s.keyboard);
    EXPECT_EQ(rows(view), s.rows);
  }
  const QWidget* page = find(view, "zepaRemapPage");
  EXPECT_TRUE(find(*page, "remapEmptyState")->isVisible());
  EXPECT_EQ(text(*page, "remapEmptyText"), "Keine Umbelegungen");

  AppModel& unplugged = attach(Attached::none);
  unplugged.editProfile([](ZEPAProfile& p) {
    p.remaps = {{55, RemapAction::key, 1, 0, 0}, {20, RemapAction::key, 0, 4, 0}};
  });
  auto& list = open<RemapView>();
  act(list, {"trash", 55, 0}, false);
  waitUntilIdle(unplugged);
  QCoreApplication::processEvents();
  EXPECT_EQ(rows(list), "1 → A; ");
  EXPECT_EQ(unplugged.message(), "Fehler") << "the failed write is reported";
}

// Through the real zepa-keymap on a mounted simulator: what Linux ends up with.
TEST_F(RemapViewTest, HalvernChangesReachTheKeyMap) {
  const struct {
    Step step;
    const char* keyMap;  // "usage: Linux keycode; " per changed key
    const char* rows;
  } steps[] = {{{"add", 0x39, 0xE0}, "39: 29; ", "Caps → Ctrl L; "},
               {{"add", 0x04, 0x05}, "04: 48; 39: 29; ", "A → B; Caps → Ctrl L; "},
               {{"trash", 0x39, 0}, "04: 48; ", "A → B; "},
               {{"reapplyHalvernRemapsButton", 0, 0}, "04: 48; ", "A → B; "},
               {{"resetHalvernRemapsButton", 0, 0}, "", ""}};
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  ModelEnvironment env = systemEnvironment(QString::fromStdString(sim.root().string()));
  env.sleeper = environment().sleeper;
  env.keymapProgram = QStringLiteral(ZEPA_BIN_DIR "/zepa-keymap");
  model_ = std::make_unique<AppModel>(env);
  AppModel& model = *model_;
  ASSERT_EQ(model.selectedKeyboard(), SupportedKeyboard::halvern);
  auto& view = open<RemapView>();
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << s.step.button << ' ' << s.step.source);
    act(view, s.step, true);
    waitUntilIdle(model);
    QCoreApplication::processEvents();
    EXPECT_EQ(model.message(),
              *s.keyMap ? "Halvern-Tastenbelegung aktiv" : "Halvern-Tastenbelegung zurückgesetzt")
        << model.errorMessage().value_or("").toStdString();
    std::string keyMap;
    const nlohmann::json state = sim.stateJson("halvern");
    for (const auto& entry : state["keyMap"]) {
      EXPECT_EQ(entry["scancode"], 0x70000 | entry["usage"].get<int>());
      keyMap +=
          QString::asprintf("%02x: %d; ", entry["usage"].get<int>(), entry["keycode"].get<int>())
              .toStdString();
    }
    EXPECT_EQ(keyMap, s.keyMap);
    EXPECT_EQ(rows(view), s.rows);
  }
  EXPECT_FALSE(find(view, "reapplyHalvernRemapsButton")->isEnabled());
}

}  // namespace
}  // namespace zepa::uitest
