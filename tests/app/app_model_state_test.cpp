// SPDX-License-Identifier: MIT
#include <QSignalSpy>

#include "model_test_support.hpp"

namespace zepa::test {

const HalvernLightingConfig defaultHalvern{HalvernEffect::aurora, RGBColor::cyan, 4, 4, true};

// A launch takes the profile file and the stored values that decode; a missing, unreadable or
// wrongly typed one counts as absent, and nothing is written back. An unreadable profile is
// moved aside unchanged (see stores_test.cpp).
TEST_F(ModelTest, LaunchUsesWhatDecodesAndWritesNothing) {
  ZEPAProfile evening = ZEPAProfile::makeDefault();
  evening.name = "Abend";
  evening.lighting.color = {1, 2, 3};
  const std::string profile = encodeProfile(evening);
  std::string noRemaps = profile;
  noRemaps.replace(noRemaps.find("\"remaps\""), 8, "\"remapz\"");
  const HalvernLightingConfig wave{HalvernEffect::wave, RGBColor{4, 5, 6}, 2, 1, false};
  using B = QByteArray;
  const B lighting = B::fromStdString(encodeHalvernLighting(wave));
  const B remaps = R"([{"sourceIndex":57,"action":2,"param1":0,"param2":224,"param3":0}])";
  const B names = R"({"3":"x"})", semantic = R"({"3":10})";
  const char* keys[] = {"halvernLighting",   "halvernRemaps", "customEffectNames",
                        "effectSemanticMap", "autoClock",     "autoApply"};
  const std::pair<std::optional<std::string>, std::array<QVariant, 6>> cases[] = {
      {std::nullopt, {}},
      {profile, {lighting, remaps, names, semantic, false, true}},  // the only valid row
      {"{\"id\": ",
       {QString(lighting), QString(remaps), QString(names), QString(semantic), "nein", "ja"}},
      {"\xff{}", {B("{"), B("[{"), B("x"), B("{"), B("false"), 2}},
      {noRemaps, {B(R"({"effect":3})"), B("{}"), B(R"(["x"])"), B(R"({"3":"a"})")}},
      {"", {}},
  };
  useKeyboards(false, false);
  for (const auto& [file, values] : cases) {
    SCOPED_TRACE(file.value_or("no file"));
    QFile::remove(profilePath());
    if (file) writeFile(profilePath(), *file);
    settings().clear();
    for (int i = 0; i < 6; ++i)
      if (values[i].isValid()) settings().setValue(keys[i], values[i]);
    const QStringList storedKeys = settings().allKeys();
    auto model = makeModel();
    const bool valid = file == profile;
    EXPECT_EQ(model->profile().name, valid ? "Abend" : "Standard");
    EXPECT_EQ(model->profile().lighting, (valid ? evening : ZEPAProfile::makeDefault()).lighting);
    EXPECT_EQ(AppModel::colorValue(model->selectedColor()), model->profile().lighting.color);
    EXPECT_EQ(model->halvernLighting(), valid ? wave : defaultHalvern);
    EXPECT_EQ(AppModel::colorValue(model->halvernSelectedColor()), model->halvernLighting().color);
    EXPECT_EQ(model->halvernRemaps().size(), valid ? 1u : 0u);
    EXPECT_EQ(model->customEffectNames(), (valid ? EffectNames{{3, "x"}} : EffectNames{}));
    EXPECT_EQ(model->effectSemanticMap(),
              (valid ? EffectSemanticMap{{3, 10}} : EffectSemanticMap{}));
    EXPECT_EQ(std::pair(model->autoClock(), model->autoApply()), std::pair(!valid, valid));
    EXPECT_TRUE(QFileInfo(QFileInfo(profilePath()).absolutePath()).isDir());
    EXPECT_EQ(readFile(profilePath()), valid ? *file : "<missing>");
    QDir data(QFileInfo(profilePath()).absolutePath());
    const QStringList aside = data.entryList({"profile.unreadable-*.json"});
    EXPECT_EQ(aside.size(), file && !valid ? 1 : 0);
    if (file && !valid && aside.size() == 1) {
      EXPECT_EQ(readFile(data.filePath(aside[0])), *file);
    }
    for (const QString& name : aside) data.remove(name);
    EXPECT_EQ(settings().allKeys(), storedKeys);
  }
}

TEST_F(ModelTest, DetectionKeepsOrSwitchesTheSelection) {
  using enum SupportedKeyboard;
  // attached, selected before, selected after
  // clang-format off
  const std::tuple<KeyboardList, SupportedKeyboard, SupportedKeyboard> cases[] = {
      {{}, zepa, zepa}, {{}, halvern, halvern}, {{zepa}, halvern, zepa}, {{halvern}, zepa, halvern},
      {{zepa, halvern}, halvern, halvern}};
  // clang-format on
  auto model = makeModel();
  for (const auto& [attached, before, selected] : cases) {
    SCOPED_TRACE(testing::Message() << attached.size() << rawValue(before));
    backend_->zepa = std::ranges::count(attached, zepa) == 1;
    backend_->halvern = std::ranges::count(attached, halvern) == 1;
    model->setSelectedKeyboard(before);
    QSignalSpy notified(model.get(), &AppModel::connectedChanged);
    model->refreshConnection();
    EXPECT_EQ(notified.count(), 1);  // also when the value stays
    EXPECT_EQ(
        std::tuple(model->connectedKeyboards(), model->selectedKeyboard(), model->connected()),
        std::tuple(attached, selected, !attached.empty()));
  }
  useKeyboards(false, true);
  EXPECT_EQ(makeModel()->selectedKeyboard(), halvern) << "at launch";
}

TEST(ColorValue, ComponentsAreScaledClampedAndTruncated) {
  EXPECT_EQ(AppModel::colorValue(QColor::fromRgbF(1.0f, 0.5f, 0.0f)), (RGBColor{255, 127, 0}));
  EXPECT_EQ(AppModel::colorValue(QColor()), (RGBColor{0, 255, 255}));
  for (int byte = 0; byte < 256; ++byte) {
    const RGBColor color{std::uint8_t(byte), std::uint8_t(255 - byte), std::uint8_t(byte)};
    EXPECT_EQ(AppModel::colorValue(AppModel::displayColor(color)), color) << byte;
  }
}

// A name matching a built-in effect (trimmed, any case) records that effect for the ID, on
// naming and for stored names at launch; blank names remove both entries.
TEST_F(ModelTest, EffectNamesRecordTheEffectTheyShow) {
  settings().setValue("customEffectNames",
                      QByteArray(R"({"2":"SCROLLEN","6":"Aus","7":"Wellen"})"));
  settings().setValue("effectSemanticMap", QByteArray(R"({"7":4,"8":13,"9":42})"));
  auto model = makeModel();
  EXPECT_EQ(model->effectSemanticMap(),
            (EffectSemanticMap{{2, 10}, {6, 0}, {7, 4}, {8, 13}, {9, 42}}));
  EXPECT_EQ(stored("effectSemanticMap"), R"({"7":4,"8":13,"9":42})") << "migration writes nothing";
  // clang-format off
  for (const auto& [id, name] : {std::pair{3, "Wellen"}, {3, " \tscrollen \n"}, {4, "AUS"},
                                 {5, "nach AUßEN"}, {12, "Wellen"}, {12, "Mein  Effekt"},
                                 {7, "  \n"}})
    model->setCustomEffectName(name, id);
  // clang-format on
  const EffectNames names{{2, "SCROLLEN"},   {3, "scrollen"}, {4, "AUS"},
                          {5, "nach AUßEN"}, {6, "Aus"},      {12, "Mein  Effekt"}};
  const EffectSemanticMap semantic{{2, 10}, {3, 10}, {4, 0}, {5, 9}, {6, 0}, {8, 13}, {9, 42}};
  EXPECT_EQ(std::pair(model->customEffectNames(), model->effectSemanticMap()),
            std::pair(names, semantic));
  EXPECT_EQ(stored("customEffectNames"), encodeEffectNames(names));
  EXPECT_EQ(stored("effectSemanticMap"), encodeEffectSemanticMap(semantic));
  EXPECT_EQ(model->effectNamesRevision(), 7);
  using enum LightingMode;
  const std::tuple<LightingMode, std::optional<std::uint8_t>, const char*> labels[] = {
      {singleOn, 7, "ID 02 – SCROLLEN · rechts"},     // the recorded effect has a direction
      {rotating, 0, "ID 12 – Mein  Effekt · links"},  // its own mode has one
      {outward, 1, "ID 09 – Nach außen"},             // entry 42 is ignored
  };
  for (const auto& [mode, direction, label] : labels)
    EXPECT_EQ(model->effectDisplayName(mode, direction).toStdString(), label);
  EXPECT_EQ(model->assignedFirmwareIDs(off), (std::vector<int>{4, 6}));
  EXPECT_EQ(model->assignedFirmwareIDs(scrolling), (std::vector<int>{2, 3}));
  QStringList assignments;  // IDs 3, 8, 9, 11
  for (int id : {3, 8, 9, 11}) assignments << model->assignmentName(id);
  EXPECT_EQ(assignments.join(" | "), "scrollen | Explosion | Nicht zugeordnet | Nicht zugeordnet");
  model->resetCustomEffectNames();
  EXPECT_TRUE(model->customEffectNames().empty() && model->effectSemanticMap().empty());
  EXPECT_EQ(model->effectNamesRevision(), 8);
  EXPECT_EQ(stored("customEffectNames") + stored("effectSemanticMap"), "<absent><absent>");
}

}  // namespace zepa::test
