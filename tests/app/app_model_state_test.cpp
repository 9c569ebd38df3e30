#include <QFile>
#include <QSignalSpy>

#include "app/model/profile_store.hpp"
#include "model_test_support.hpp"

namespace zepa::test {
namespace {

class StateTest : public ModelTest {};

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  ProfileStore(path).createFolder();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

TEST_F(StateTest, FirstLaunchUsesDefaultsAndWritesNothing) {
  useKeyboards(false, false);
  auto model = makeModel();

  EXPECT_EQ(model->message(), "Bereit");
  EXPECT_FALSE(model->errorMessage());
  EXPECT_FALSE(model->busy());
  EXPECT_EQ(model->profile().name, "Standard");
  EXPECT_EQ(model->profile().lighting.mode, LightingMode::rolling);
  EXPECT_TRUE(model->profile().remaps.empty());
  EXPECT_TRUE(model->autoClock());
  EXPECT_FALSE(model->autoApply());
  EXPECT_EQ(model->halvernLighting(),
            (HalvernLightingConfig{HalvernEffect::aurora, RGBColor::cyan, 4, 4, true}));
  EXPECT_TRUE(model->halvernRemaps().empty());
  EXPECT_EQ(model->sourceIndex(), 55);
  EXPECT_EQ(model->targetIndex(), 91);
  EXPECT_EQ(model->halvernSourceHID(), 0x39);
  EXPECT_EQ(model->halvernTargetHID(), 0xE0);
  EXPECT_EQ(AppModel::colorValue(model->selectedColor()), RGBColor::cyan);
  EXPECT_EQ(AppModel::colorValue(model->halvernSelectedColor()), RGBColor::cyan);
  EXPECT_EQ(model->effectNamesRevision(), 0);

  // The folder is made at once, the file only by a successful operation.
  EXPECT_TRUE(QFileInfo(QFileInfo(profilePath()).absolutePath()).isDir());
  EXPECT_FALSE(QFile::exists(profilePath()));
  EXPECT_TRUE(settings().allKeys().isEmpty());
}

TEST_F(StateTest, EachLaunchWithoutAProfileGetsItsOwnIdentity) {
  useKeyboards(false, false);
  EXPECT_NE(makeModel()->profile().id, makeModel()->profile().id);
}

TEST_F(StateTest, UnusableProfileFileFallsBackAndStaysUntouched) {
  ZEPAProfile stored = ZEPAProfile::makeDefault();
  stored.name = "Abend";
  const std::string good = encodeProfile(stored);
  std::string withoutRemaps = good;
  withoutRemaps.replace(withoutRemaps.find("\"remaps\""), 8, "\"remapz\"");

  struct Case {
    const char* what;
    QByteArray bytes;
  };
  const Case cases[] = {
      {"not JSON", "{\"id\": "},
      {"empty", ""},
      {"lacks remaps", QByteArray::fromStdString(withoutRemaps)},
      {"array", "[]"},
      {"invalid UTF-8", "\xff\xfe{}"},
  };
  useKeyboards(false, false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(profilePath(), c.bytes);
    auto model = makeModel();
    EXPECT_EQ(model->profile().name, "Standard");
    EXPECT_EQ(model->profile().lighting.mode, LightingMode::rolling);
    EXPECT_EQ(readFile(profilePath()), c.bytes);
  }

  writeFile(profilePath(), QByteArray::fromStdString(good));
  EXPECT_EQ(encodeProfile(makeModel()->profile()), good);
}

TEST_F(StateTest, StoredValuesOfTheWrongKindCountAsAbsent) {
  const HalvernLightingConfig wave{HalvernEffect::wave, RGBColor{1, 2, 3}, 2, 1, false};
  const QByteArray waveJson = QByteArray::fromStdString(encodeHalvernLighting(wave));
  const QByteArray remapJson =
      QByteArray::fromStdString(encodeKeyRemaps({KeyRemap{0x39, RemapAction::key, 0, 0xE0, 0}}));

  struct Case {
    const char* what;
    QVariant lighting, remaps, names, semantic;
    bool expectStored;
  };
  const Case cases[] = {
      {"data values", waveJson, remapJson, QByteArray(R"({"3":"Scrollen"})"),
       QByteArray(R"({"3":10})"), true},
      {"text instead of data", QString::fromUtf8(waveJson), QString::fromUtf8(remapJson),
       QStringLiteral(R"({"3":"Scrollen"})"), QStringLiteral(R"({"3":10})"), false},
      {"numbers", 7, 7, 7, 7, false},
      {"data that is no JSON", QByteArray("{"), QByteArray("[{"), QByteArray("x"), QByteArray("{"),
       false},
      {"wrong JSON shape", QByteArray(R"({"effect":3})"), QByteArray(R"({"a":1})"),
       QByteArray(R"(["x"])"), QByteArray(R"({"3":"zehn"})"), false},
  };
  useKeyboards(false, false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      QSettings s = settings();
      s.clear();
      s.setValue("halvernLighting", c.lighting);
      s.setValue("halvernRemaps", c.remaps);
      s.setValue("customEffectNames", c.names);
      s.setValue("effectSemanticMap", c.semantic);
    }
    auto model = makeModel();
    if (c.expectStored) {
      EXPECT_EQ(model->halvernLighting(), wave);
      EXPECT_EQ(AppModel::colorValue(model->halvernSelectedColor()), (RGBColor{1, 2, 3}));
      EXPECT_EQ(model->halvernRemaps().size(), 1u);
      EXPECT_EQ(model->customEffectNames(), (EffectNames{{3, "Scrollen"}}));
      EXPECT_EQ(model->effectSemanticMap(), (EffectSemanticMap{{3, 10}}));
    } else {
      EXPECT_EQ(model->halvernLighting(),
                (HalvernLightingConfig{HalvernEffect::aurora, RGBColor::cyan, 4, 4, true}));
      EXPECT_TRUE(model->halvernRemaps().empty());
      EXPECT_TRUE(model->customEffectNames().empty());
      EXPECT_TRUE(model->effectSemanticMap().empty());
    }
  }
}

TEST_F(StateTest, StartOptionsAreReadAndWrittenThroughTheStore) {
  struct Case {
    const char* what;
    QVariant clock, apply;
    bool expectClock, expectApply;
  };
  const Case cases[] = {
      {"absent", QVariant(), QVariant(), true, false},
      {"booleans", false, true, false, true},
      {"data values", QByteArray("false"), QByteArray("true"), true, false},
      {"other words", QStringLiteral("nein"), QStringLiteral("ja"), true, false},
  };
  useKeyboards(false, false);
  auto model = makeModel();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      QSettings s = settings();
      s.clear();
      if (c.clock.isValid()) s.setValue("autoClock", c.clock);
      if (c.apply.isValid()) s.setValue("autoApply", c.apply);
    }
    // Read on every access: the model built before the store changed sees the new values.
    EXPECT_EQ(model->autoClock(), c.expectClock);
    EXPECT_EQ(model->autoApply(), c.expectApply);
  }

  QSignalSpy clockSpy(model.get(), &AppModel::autoClockChanged);
  model->setAutoClock(false);
  model->setAutoApply(true);
  EXPECT_EQ(clockSpy.count(), 1);
  EXPECT_EQ(settings().value("autoClock").toBool(), false);
  EXPECT_EQ(settings().value("autoApply").toBool(), true);
  EXPECT_FALSE(makeModel()->autoClock());
  EXPECT_TRUE(makeModel()->autoApply());
}

struct DetectionCase {
  const char* what;
  bool zepa, halvern;
  SupportedKeyboard before;
  SupportedKeyboard selected;
  bool connected;
  KeyboardList list;
};

TEST_F(StateTest, DetectionKeepsOrSwitchesTheSelection) {
  using enum SupportedKeyboard;
  const DetectionCase cases[] = {
      {"none, zepa selected", false, false, zepa, zepa, false, {}},
      {"none, halvern selected", false, false, halvern, halvern, false, {}},
      {"only zepa", true, false, zepa, zepa, true, {zepa}},
      {"only zepa, halvern selected", true, false, halvern, zepa, true, {zepa}},
      {"only halvern", false, true, zepa, halvern, true, {halvern}},
      {"only halvern, halvern selected", false, true, halvern, halvern, true, {halvern}},
      {"both, zepa selected", true, true, zepa, zepa, true, {zepa, halvern}},
      {"both, halvern selected", true, true, halvern, halvern, true, {zepa, halvern}},
  };
  useKeyboards(true, true);
  auto model = makeModel();
  for (const DetectionCase& c : cases) {
    SCOPED_TRACE(c.what);
    backend_->zepa = c.zepa;
    backend_->halvern = c.halvern;
    model->setSelectedKeyboard(c.before);
    model->refreshConnection();
    EXPECT_EQ(model->zepaConnected(), c.zepa);
    EXPECT_EQ(model->halvernConnected(), c.halvern);
    EXPECT_EQ(model->selectedKeyboard(), c.selected);
    EXPECT_EQ(model->connected(), c.connected);
    EXPECT_EQ(model->connectedKeyboards(), c.list);
    EXPECT_EQ(model->selectedKeyboardName(), displayName(c.selected));
  }
}

TEST_F(StateTest, LaunchWithOneKeyboardSelectsIt) {
  struct Case {
    bool zepa, halvern;
    SupportedKeyboard selected;
    const char* name;
  };
  const Case cases[] = {
      {true, false, SupportedKeyboard::zepa, "ZEPA VX10"},
      {false, true, SupportedKeyboard::halvern, "Halvern Corvane Pro 108"},
      {true, true, SupportedKeyboard::zepa, "ZEPA VX10"},
  };
  for (const Case& c : cases) {
    useKeyboards(c.zepa, c.halvern);
    auto model = makeModel();
    EXPECT_EQ(model->selectedKeyboard(), c.selected) << c.name;
    EXPECT_TRUE(model->connected()) << c.name;
    EXPECT_EQ(model->selectedKeyboardName(), c.name);
  }
}

TEST_F(StateTest, DetectionNotifiesEvenWhenNothingChanged) {
  useKeyboards(true, false);
  auto model = makeModel();
  QSignalSpy connected(model.get(), &AppModel::connectedChanged);
  QSignalSpy zepa(model.get(), &AppModel::zepaConnectedChanged);
  QSignalSpy halvern(model.get(), &AppModel::halvernConnectedChanged);
  QSignalSpy selected(model.get(), &AppModel::selectedKeyboardChanged);
  model->refreshConnection();
  EXPECT_EQ(connected.count(), 1);
  EXPECT_EQ(zepa.count(), 1);
  EXPECT_EQ(halvern.count(), 1);
  EXPECT_EQ(selected.count(), 0);  // only assigned when the selection has to move

  QSignalSpy message(model.get(), &AppModel::messageChanged);
  model->setMessage(model->message());
  EXPECT_EQ(message.count(), 1);
}

TEST(SupportedKeyboard, RawValuesRoundTripAndNothingElseParses) {
  const struct {
    std::string_view raw;
    std::optional<SupportedKeyboard> parsed;
  } cases[] = {
      {"zepa", SupportedKeyboard::zepa},
      {"halvern", SupportedKeyboard::halvern},
      {"ZEPA", std::nullopt},
      {"", std::nullopt},
      {"halvern ", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(supportedKeyboardFromRaw(c.raw), c.parsed) << c.raw;
  ASSERT_EQ(allSupportedKeyboards().size(), 2u);
  EXPECT_EQ(rawValue(allSupportedKeyboards()[0]), "zepa");
  EXPECT_EQ(rawValue(allSupportedKeyboards()[1]), "halvern");
}

TEST(ColorValue, ComponentsAreScaledClampedAndTruncated) {
  const struct {
    const char* what;
    QColor color;
    RGBColor expected;
  } cases[] = {
      {"half green truncates", QColor::fromRgbF(1.0f, 0.5f, 0.0f), {255, 127, 0}},
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
