#include <QFile>
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
  EXPECT_EQ(model->profile().lighting.mode, LightingMode::rolling);
  EXPECT_TRUE(model->autoClock());
  EXPECT_FALSE(model->autoApply());
  EXPECT_EQ(model->halvernLighting(), defaultHalvern);
  EXPECT_EQ(AppModel::colorValue(model->selectedColor()), RGBColor::cyan);
  EXPECT_TRUE(QFileInfo(QFileInfo(profilePath()).absolutePath()).isDir());
  EXPECT_FALSE(QFile::exists(profilePath()));
  EXPECT_TRUE(settings().allKeys().isEmpty());
}

TEST_F(ModelTest, UnusableProfileFileFallsBackAndStaysUntouched) {
  ZEPAProfile stored = ZEPAProfile::makeDefault();
  stored.name = "Abend";
  const std::string good = encodeProfile(stored);
  std::string withoutRemaps = good;
  withoutRemaps.replace(withoutRemaps.find("\"remaps\""), 8, "\"remapz\"");
  const std::pair<std::string, std::string> cases[] = {
      {"not JSON", "{\"id\": "}, {"empty", ""},           {"lacks remaps", withoutRemaps},
      {"an array", "[]"},        {"not UTF-8", "\xff{}"}, {"valid", good}};
  useKeyboards(false, false);
  for (const auto& [what, bytes] : cases) {
    writeFile(profilePath(), bytes);
    auto model = makeModel();
    EXPECT_EQ(model->profile().name, what == "valid" ? "Abend" : "Standard") << what;
    EXPECT_EQ(readFile(profilePath()), bytes) << what;
  }
}

TEST_F(ModelTest, StoredValuesOfTheWrongKindCountAsAbsent) {
  const HalvernLightingConfig wave{HalvernEffect::wave, RGBColor{1, 2, 3}, 2, 1, false};
  const QByteArray waveJson = QByteArray::fromStdString(encodeHalvernLighting(wave));
  const QByteArray remapJson =
      R"([{"sourceIndex":57,"action":2,"param1":0,"param2":224,"param3":0}])";
  const struct {
    const char* what;
    QVariant lighting, remaps, names, semantic;
  } cases[] = {
      {"data values", waveJson, remapJson, QByteArray(R"({"3":"x"})"), QByteArray(R"({"3":10})")},
      {"text", QString(waveJson), QString(remapJson), QString(R"({"3":"x"})"), QString("{}")},
      {"numbers", 7, 7, 7, 7},
      {"not JSON", QByteArray("{"), QByteArray("[{"), QByteArray("x"), QByteArray("{")},
      {"wrong shape", QByteArray(R"({"effect":3})"), QByteArray("{}"), QByteArray(R"(["x"])"),
       QByteArray(R"({"3":"zehn"})")},
  };
  useKeyboards(false, false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QSettings s = settings();
    s.clear();
    s.setValue("halvernLighting", c.lighting);
    s.setValue("halvernRemaps", c.remaps);
    s.setValue("customEffectNames", c.names);
    s.setValue("effectSemanticMap", c.semantic);
    s.sync();
    auto model = makeModel();
    const bool stored = c.lighting.typeId() == QMetaType::QByteArray && c.lighting == waveJson;
    EXPECT_EQ(model->halvernLighting(), stored ? wave : defaultHalvern);
    EXPECT_EQ(AppModel::colorValue(model->halvernSelectedColor()), model->halvernLighting().color);
    EXPECT_EQ(model->halvernRemaps().size(), stored ? 1u : 0u);
    EXPECT_EQ(model->customEffectNames(), (stored ? EffectNames{{3, "x"}} : EffectNames{}));
    EXPECT_EQ(model->effectSemanticMap(),
              (stored ? EffectSemanticMap{{3, 10}} : EffectSemanticMap{}));
  }
}

TEST_F(ModelTest, StartOptionsAreReadAndWrittenThroughTheStore) {
  const struct {
    const char* what;
    QVariant clock, apply;
    bool expectClock, expectApply;
  } cases[] = {
      {"absent", {}, {}, true, false},
      {"booleans", false, true, false, true},
      {"data values", QByteArray("false"), QByteArray("true"), true, false},
      {"other words", QString("nein"), QString("ja"), true, false},
  };
  useKeyboards(false, false);
  auto model = makeModel();
  for (const auto& c : cases) {
    QSettings s = settings();
    s.clear();
    if (c.clock.isValid()) s.setValue("autoClock", c.clock);
    if (c.apply.isValid()) s.setValue("autoApply", c.apply);
    s.sync();
    // The model was built before: it must read the store on every access.
    EXPECT_EQ(model->autoClock(), c.expectClock) << c.what;
    EXPECT_EQ(model->autoApply(), c.expectApply) << c.what;
  }
  model->setAutoClock(false);
  model->setAutoApply(true);
  EXPECT_FALSE(makeModel()->autoClock());
  EXPECT_TRUE(makeModel()->autoApply());
}

TEST_F(ModelTest, DetectionKeepsOrSwitchesTheSelection) {
  using enum SupportedKeyboard;
  const struct {
    bool zepa, halvern;
    SupportedKeyboard before, selected;
    bool connected;
    KeyboardList list;
  } cases[] = {
      {false, false, zepa, zepa, false, {}},
      {false, false, halvern, halvern, false, {}},
      {true, false, zepa, zepa, true, {zepa}},
      {true, false, halvern, zepa, true, {zepa}},  // Halvern unplugged
      {false, true, zepa, halvern, true, {halvern}},
      {true, true, zepa, zepa, true, {zepa, halvern}},
      {true, true, halvern, halvern, true, {zepa, halvern}},
  };
  useKeyboards(true, true);
  auto model = makeModel();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.zepa << c.halvern << rawValue(c.before));
    backend_->zepa = c.zepa;
    backend_->halvern = c.halvern;
    model->setSelectedKeyboard(c.before);
    QSignalSpy notified(model.get(), &AppModel::connectedChanged);
    model->refreshConnection();
    EXPECT_EQ(notified.count(), 1);  // also when the value stays
    EXPECT_EQ(model->selectedKeyboard(), c.selected);
    EXPECT_EQ(model->connected(), c.connected);
    EXPECT_EQ(model->connectedKeyboards(), c.list);
    EXPECT_EQ(model->selectedKeyboardName(),
              c.selected == zepa ? "ZEPA VX10" : "Halvern Corvane Pro 108");
  }
  useKeyboards(false, true);
  EXPECT_EQ(makeModel()->selectedKeyboard(), halvern) << "at launch";
}

TEST(ColorValue, ComponentsAreScaledClampedAndTruncated) {
  const struct {
    const char* what;
    QColor color;
    RGBColor expected;
  } cases[] = {
      {"half truncates", QColor::fromRgbF(1.0f, 0.5f, 0.0f), {255, 127, 0}},
      {"invalid is system cyan", QColor(), {0, 255, 255}},
      {"HSV converts", QColor::fromHsv(240, 255, 255), {0, 0, 255}},
      {"extended range clamps", QColor::fromRgbF(1.5f, -0.25f, 0.999f), {255, 0, 254}},
      {"not a number is full", QColor::fromRgbF(std::nanf(""), 2.0f, 0.0f), {255, 255, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(AppModel::colorValue(c.color), c.expected) << c.what;
}

TEST(ColorValue, EveryByteSurvivesTheDisplayColour) {
  for (int byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<std::uint8_t>(byte);
    const RGBColor color{b, static_cast<std::uint8_t>(255 - b), b};
    EXPECT_EQ(AppModel::colorValue(AppModel::displayColor(color)), color) << "byte " << byte;
  }
}

}  // namespace
}  // namespace zepa::test
