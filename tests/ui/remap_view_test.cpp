// SPDX-License-Identifier: MIT
#include <QRegularExpression>
#include <QToolButton>
#include <map>
#include <string>

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
  // "source → target" per shown row, in list order.
  static QStringList rows(const QWidget& view) {
    QStringList list;
    for (const QWidget* r : view.findChildren<QWidget*>(QRegularExpression("^remapRow\\d+$")))
      if (r->parentWidget() && r->isVisibleTo(r->window()))
        list << text(*r, "remapSource") + " → " + text(*r, "remapTarget");
    return list;
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

// ZEPA targets travel as modifier bits and a usage: a modifier bit alone names it, a usage
// wins over the bits.
struct Target {
  const char* name;
  std::uint8_t bits, usage;
  const char* shown;
};
using test::PrintTo;

class ZepaTargetName : public ::testing::TestWithParam<Target> {};

TEST_P(ZepaTargetName, NamesTheKeyItGives) {
  EXPECT_EQ(RemapView::targetName({55, RemapAction::key, GetParam().bits, GetParam().usage, 0}),
            QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Remaps, ZepaTargetName,
                         ::testing::Values(Target{"BitWithoutAKey", 0x80, 0x00, "Modifier"},
                                           Target{"TwoBits", 0x03, 0x00, "Unbekannt"},
                                           Target{"UsageWinsOverBits", 0x01, 0x04, "A"},
                                           Target{"UsageWithoutAName", 0x00, 0xab, "HID ab"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Named keys show in the rows below; a stored index without one still reads.
TEST(RemapNames, AZepaSourceWithoutANameShowsItsIndex) {
  EXPECT_EQ(RemapView::sourceName(200), "#200");
}

// The Halvern pickers carry usages and leave out Fn, which it has no usage for.
TEST_F(RemapViewTest, TheHalvernPickerLeavesOutFn) {
  RemapView view(attach(Attached::both));
  EXPECT_EQ(find<QComboBox>(view, "halvernTargetPicker")->findText("Fn"), -1);
}

TEST_F(RemapViewTest, ZepaChangesReachTheKeyboard) {
  const struct {
    Step step;
    std::map<int, std::string> keyboard;  // base-layer slots: action, param1-3
    QStringList rows;
  } steps[] = {
      {{"add", 55, 56}, {{55, "02 00 04 00"}}, {"Caps → A"}},
      {{"add", 20, 84}, {{20, "02 20 00 00"}, {55, "02 00 04 00"}}, {"Caps → A", "1 → Shift R"}},
      {{"add", 55, 91},
       {{20, "02 20 00 00"}, {55, "02 01 00 00"}},
       {"1 → Shift R", "Caps → Ctrl L"}},
      {{"trash", 55, 0}, {{20, "02 20 00 00"}}, {"1 → Shift R"}},
      {{"resetRemapsButton", 0, 0}, {}, {}}};
  auto& view = open<RemapView>(Attached::zepa);
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << s.step.button << ' ' << s.step.source);
    act(view, s.step, false);
    waitUntilIdle(model());
    QCoreApplication::processEvents();
    ASSERT_EQ(zepaSlots("baseRemaps", {"action", "param1", "param2", "param3"}), s.keyboard);
    ASSERT_EQ(rows(view), s.rows);
  }
}

TEST_F(RemapViewTest, HalvernRowsShowSourceThenTarget) {
  attach(Attached::halvern).setHalvernRemaps({{0x39, RemapAction::key, 0, 0xE0, 0}});
  EXPECT_EQ(rows(open<RemapView>()), QStringList{"Caps → Ctrl L"});
}

TEST_F(RemapViewTest, WithoutTheZepaADeletedRowLeavesOnlyTheList) {
  AppModel& model = attach(Attached::none);
  model.editProfile([](ZEPAProfile& p) {
    p.remaps = {{55, RemapAction::key, 1, 0, 0}, {20, RemapAction::key, 0, 4, 0}};
  });
  auto& list = open<RemapView>();
  act(list, {"trash", 55, 0}, false);
  waitUntilIdle(model);
  QCoreApplication::processEvents();
  EXPECT_EQ(rows(list), QStringList{"1 → A"});
}

// Through the real zepa-keymap on a mounted simulator: what Linux ends up with.
TEST_F(RemapViewTest, HalvernChangesReachTheKeyMap) {
  const struct {
    Step step;
    std::map<int, int> keyMap;  // usage: Linux keycode, per changed key
  } steps[] = {{{"add", 0x39, 0xE0}, {{0x39, 29}}},
               {{"add", 0x04, 0x05}, {{0x04, 48}, {0x39, 29}}},
               {{"trash", 0x39, 0}, {{0x04, 48}}},
               {{"reapplyHalvernRemapsButton", 0, 0}, {{0x04, 48}}},
               {{"resetHalvernRemapsButton", 0, 0}, {}}};
  test::SimMount sim({"--halvern"});
  ZEPA_REQUIRE_SIM(sim);
  ModelEnvironment env = systemEnvironment(QString::fromStdString(sim.root().string()));
  env.sleeper = environment().sleeper;
  env.keymapProgram = QStringLiteral(ZEPA_BIN_DIR "/zepa-keymap");
  model_ = std::make_unique<AppModel>(env);
  auto& view = open<RemapView>();
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << s.step.button << ' ' << s.step.source);
    act(view, s.step, true);
    waitUntilIdle(model());
    QCoreApplication::processEvents();
    std::map<int, int> keyMap;
    const nlohmann::json state = sim.stateJson("halvern");
    for (const auto& entry : state["keyMap"])
      keyMap[entry["usage"].get<int>()] = entry["keycode"].get<int>();
    ASSERT_EQ(keyMap, s.keyMap);
  }
}

}  // namespace
}  // namespace zepa::uitest
