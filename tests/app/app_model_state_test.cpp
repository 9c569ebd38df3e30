#include <cmath>

#include <QSignalSpy>

#include "model_test_support.hpp"

namespace zepa::test {
namespace {

const HalvernLightingConfig defaultHalvern{HalvernEffect::aurora, RGBColor::cyan, 4, 4, true};

TEST_F(ModelTest, FirstLaunchUsesDefaultsAndWritesNothing) {
  useKeyboards(false, false);
  auto model = makeModel();
  EXPECT_EQ(model->message(), "Bereit");
  EXPECT_EQ(model->profile().name, "Standard");
  EXPECT_EQ(model->profile().lighting, ZEPAProfile::makeDefault().lighting);
  EXPECT_EQ(AppModel::colorValue(model->selectedColor()), RGBColor::cyan);
  EXPECT_EQ(model->halvernLighting(), defaultHalvern);
  EXPECT_TRUE(model->autoClock() && !model->autoApply());
  EXPECT_TRUE(QFileInfo(QFileInfo(profilePath()).absolutePath()).isDir());
  EXPECT_FALSE(QFile::exists(profilePath()));
  EXPECT_TRUE(settings().allKeys().isEmpty());
}

TEST_F(ModelTest, UnusableProfileFileFallsBackAndStaysUntouched) {
  ZEPAProfile stored = ZEPAProfile::makeDefault();
  stored.name = "Abend";
  const std::string good = encodeProfile(stored);
  std::string noRemaps = good;
  noRemaps.replace(noRemaps.find("\"remaps\""), 8, "\"remapz\"");
  useKeyboards(false, false);
  for (const std::string bytes :
       {"{\"id\": ", "", "[]", "\xff{}", noRemaps.c_str(), good.c_str()}) {
    writeFile(profilePath(), bytes);
    EXPECT_EQ(makeModel()->profile().name, bytes == good ? "Abend" : "Standard") << bytes;
    EXPECT_EQ(readFile(profilePath()), bytes);
  }
}

// Only data values that decode count, and only booleans as start options.
TEST_F(ModelTest, StoredValuesOfTheWrongKindCountAsAbsent) {
  const HalvernLightingConfig wave{HalvernEffect::wave, RGBColor{1, 2, 3}, 2, 1, false};
  const QByteArray lighting = QByteArray::fromStdString(encodeHalvernLighting(wave));
  const QByteArray remaps = R"([{"sourceIndex":57,"action":2,"param1":0,"param2":224,"param3":0}])";
  const QByteArray names = R"({"3":"x"})", semantic = R"({"3":10})";
  const char* keys[] = {"halvernLighting",   "halvernRemaps", "customEffectNames",
                        "effectSemanticMap", "autoClock",     "autoApply"};
  const std::array<QVariant, 6> cases[] = {
      {lighting, remaps, names, semantic, false, true},  // the only valid row
      {QString(lighting), QString(remaps), QString(names), QString(semantic), "nein", "ja"},
      {QByteArray("{"), QByteArray("[{"), QByteArray("x"), QByteArray("{"), QByteArray("false"), 1},
      {QByteArray(R"({"effect":3})"), QByteArray("{}"), QByteArray(R"(["x"])"),
       QByteArray(R"({"3":"a"})")},
  };
  useKeyboards(false, false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0].toString().toStdString());
    settings().clear();
    for (int i = 0; i < 6; ++i) {
      if (c[i].isValid()) settings().setValue(keys[i], c[i]);
    }
    auto model = makeModel();
    const bool valid = &c == cases;
    EXPECT_EQ(model->halvernLighting(), valid ? wave : defaultHalvern);
    EXPECT_EQ(AppModel::colorValue(model->halvernSelectedColor()), model->halvernLighting().color);
    EXPECT_EQ(model->halvernRemaps().size(), valid ? 1u : 0u);
    EXPECT_EQ(model->customEffectNames(), (valid ? EffectNames{{3, "x"}} : EffectNames{}));
    EXPECT_EQ(model->effectSemanticMap(),
              (valid ? EffectSemanticMap{{3, 10}} : EffectSemanticMap{}));
    EXPECT_EQ(model->autoClock(), !valid);
    EXPECT_EQ(model->autoApply(), valid);
  }
  // Read from the store on every access: a model built earlier sees what another wrote.
  auto earlier = makeModel();
  makeModel()->setAutoClock(false);
  makeModel()->setAutoApply(true);
  EXPECT_TRUE(!earlier->autoClock() && earlier->autoApply());
}

TEST_F(ModelTest, DetectionKeepsOrSwitchesTheSelection) {
  using enum SupportedKeyboard;
  const std::tuple<KeyboardList, SupportedKeyboard, SupportedKeyboard> cases[] = {
      {{}, zepa, zepa},
      {{}, halvern, halvern},
      {{zepa}, halvern, zepa},
      {{halvern}, zepa, halvern},
      {{zepa, halvern}, halvern, halvern},
  };
  auto model = makeModel();
  for (const auto& [attached, before, selected] : cases) {
    SCOPED_TRACE(testing::Message() << attached.size() << rawValue(before));
    backend_->zepa = std::ranges::count(attached, zepa) == 1;
    backend_->halvern = std::ranges::count(attached, halvern) == 1;
    model->setSelectedKeyboard(before);
    QSignalSpy notified(model.get(), &AppModel::connectedChanged);
    model->refreshConnection();
    EXPECT_EQ(notified.count(), 1);  // also when the value stays
    EXPECT_EQ(model->selectedKeyboard(), selected);
    EXPECT_EQ(model->connected(), !attached.empty());
    EXPECT_EQ(model->connectedKeyboards(), attached);
    EXPECT_EQ(model->selectedKeyboardName(),
              selected == zepa ? "ZEPA VX10" : "Halvern Corvane Pro 108");
  }
  useKeyboards(false, true);
  EXPECT_EQ(makeModel()->selectedKeyboard(), halvern) << "at launch";
}

TEST(ColorValue, ComponentsAreScaledClampedAndTruncated) {
  EXPECT_EQ(AppModel::colorValue(QColor::fromRgbF(1.0f, 0.5f, 0.0f)), (RGBColor{255, 127, 0}));
  EXPECT_EQ(AppModel::colorValue(QColor()), (RGBColor{0, 255, 255}));
  EXPECT_EQ(AppModel::colorValue(QColor::fromRgbF(1.5f, -0.25f, 0.999f)), (RGBColor{255, 0, 254}));
  EXPECT_EQ(AppModel::colorValue(QColor::fromRgbF(std::nanf(""), 2.0f, 0)),
            (RGBColor{255, 255, 0}));
  for (int byte = 0; byte < 256; ++byte) {
    const RGBColor color{std::uint8_t(byte), std::uint8_t(255 - byte), std::uint8_t(byte)};
    EXPECT_EQ(AppModel::colorValue(AppModel::displayColor(color)), color) << byte;
  }
}

TEST_F(ModelTest, NamingDerivesTheSemanticEffectAndStoresBothMaps) {
  const std::tuple<QString, EffectNames, EffectSemanticMap> cases[] = {
      {" \tscrollen \n", {{3, "scrollen"}}, {{3, 10}}},
      {"AUS", {{3, "AUS"}}, {{3, 0}}},
      {"nach AUßEN", {{3, "nach AUßEN"}}, {{3, 9}}},
      {"Mein  Effekt", {{3, "Mein  Effekt"}}, {}},
      {"  \n", {}, {}},
  };
  for (const auto& [name, names, semantic] : cases) {
    SCOPED_TRACE(name.toStdString());
    settings().clear();
    auto model = makeModel();
    model->setCustomEffectName("Wellen", 3);  // replaced or removed, never kept beside
    model->setCustomEffectName(name, 3);
    EXPECT_EQ(model->customEffectNames(), names);
    EXPECT_EQ(model->effectSemanticMap(), semantic);
    EXPECT_EQ(model->effectNamesRevision(), 2);
    EXPECT_EQ(stored("customEffectNames"), encodeEffectNames(names));
    EXPECT_EQ(stored("effectSemanticMap"), encodeEffectSemanticMap(semantic));
  }
}

TEST_F(ModelTest, LabelsAndAssignmentsFollowTheSemanticEffect) {
  // Hand-edited store: a semantic entry without a name, one out of range, two names to migrate.
  storeOnly({{"customEffectNames", QByteArray(R"({"2":"SCROLLEN","6":"Aus","7":"Wellen"})")},
             {"effectSemanticMap", QByteArray(R"({"7":4,"8":13,"9":42})")}});
  auto model = makeModel();
  // Migration fills in 2 and 6; an existing entry (7) wins; nothing is written back yet.
  EXPECT_EQ(model->effectSemanticMap(),
            (EffectSemanticMap{{2, 10}, {6, 0}, {7, 4}, {8, 13}, {9, 42}}));
  EXPECT_EQ(stored("effectSemanticMap"), R"({"7":4,"8":13,"9":42})");
  model->setCustomEffectName(" scrollen ", 3);
  model->setCustomEffectName("Eigener", 12);
  using enum LightingMode;
  const std::tuple<LightingMode, std::optional<std::uint8_t>, const char*> labels[] = {
      {breath, std::nullopt, "ID 07 – Wellen"},   {scrolling, 7, "ID 10 – Scrollen · rechts"},
      {singleOff, 0, "ID 03 – scrollen · links"},  // its semantic mode has a direction
      {rotating, 0, "ID 12 – Eigener · links"},    // its own mode has one
      {outward, 1, "ID 09 – Nach außen"},          // entry 42 is ignored
  };
  for (const auto& [mode, direction, label] : labels) {
    EXPECT_EQ(model->effectDisplayName(mode, direction).toStdString(), label);
  }
  EXPECT_EQ(model->assignedFirmwareIDs(glittering), (std::vector<int>{7}));
  EXPECT_EQ(model->assignedFirmwareIDs(scrolling), (std::vector<int>{2, 3}));
  for (const auto& [id, name] : {std::pair{3, "scrollen"},
                                 {8, "Explosion"},
                                 {9, "Nicht zugeordnet"},
                                 {4, "Nicht zugeordnet"}}) {
    EXPECT_EQ(model->assignmentName(id).toStdString(), name) << id;
  }
  model->resetCustomEffectNames();
  EXPECT_TRUE(model->customEffectNames().empty() && model->effectSemanticMap().empty());
  EXPECT_EQ(model->effectNamesRevision(), 3);
  EXPECT_EQ(stored("customEffectNames") + stored("effectSemanticMap"), "<absent><absent>");
}

}  // namespace
}  // namespace zepa::test
