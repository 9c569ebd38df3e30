#include <QSignalSpy>

#include "model_test_support.hpp"

namespace zepa::test {
namespace {

class EffectNamingTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    useKeyboards(true, false);
  }
  std::optional<QByteArray> stored(const char* key) {
    const QVariant value = settings().value(key);
    if (!value.isValid()) return std::nullopt;
    return value.toByteArray();
  }
};

TEST_F(EffectNamingTest, NamingDerivesTheSemanticEffect) {
  const struct {
    const char* what;
    QString name;
    int id;
    EffectNames names;
    EffectSemanticMap semantic;
  } cases[] = {
      {"trimmed, case ignored", " \tscrollen \n", 3, {{3, "scrollen"}}, {{3, 10}}},
      {"off takes part", "AUS", 4, {{4, "AUS"}}, {{4, 0}}},
      {"non-ASCII letters fold too",
       QString::fromUtf8("nach AUßEN"),
       6,
       {{6, "nach AUßEN"}},
       {{6, 9}}},
      {"free text has no effect", "Mein Effekt", 3, {{3, "Mein Effekt"}}, {}},
      {"inner blanks stay", "Mein  Effekt", 2, {{2, "Mein  Effekt"}}, {}},
      {"blank deletes", "  \n", 3, {}, {}},
      {"empty deletes", "", 3, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    settings().clear();
    auto model = makeModel();
    // A name that was there before must be replaced or removed, never kept beside.
    model->setCustomEffectName("Wellen", c.id);
    model->setCustomEffectName(c.name, c.id);
    EXPECT_EQ(model->customEffectNames(), c.names);
    EXPECT_EQ(model->effectSemanticMap(), c.semantic);
    EXPECT_EQ(model->effectNamesRevision(), 2);
    EXPECT_EQ(stored("customEffectNames"), QByteArray::fromStdString(encodeEffectNames(c.names)));
    EXPECT_EQ(stored("effectSemanticMap"),
              QByteArray::fromStdString(encodeEffectSemanticMap(c.semantic)));
  }
}

TEST_F(EffectNamingTest, DisplayNamesCarryTheDirectionOfTheSemanticEffect) {
  auto model = makeModel();
  model->setCustomEffectName(" scrollen ", 3);
  model->setCustomEffectName("Eigener", 12);
  const struct {
    LightingMode mode;
    std::optional<std::uint8_t> direction;
    const char* expected;
  } cases[] = {
      {LightingMode::breath, std::nullopt, "ID 07 – Atmen"},
      {LightingMode::scrolling, 1, "ID 10 – Scrollen · rechts"},
      {LightingMode::scrolling, 7, "ID 10 – Scrollen · rechts"},
      {LightingMode::scrolling, 0, "ID 10 – Scrollen · links"},
      {LightingMode::scrolling, std::nullopt, "ID 10 – Scrollen"},
      {LightingMode::ripples, 0, "ID 15 – Wellen"},
      {LightingMode::singleOff, 0, "ID 03 – scrollen · links"},
      {LightingMode::rotating, 0, "ID 12 – Eigener · links"},  // its own mode has a direction
  };
  for (const auto& c : cases) {
    EXPECT_EQ(model->effectDisplayName(c.mode, c.direction).toStdString(), c.expected);
  }
  ASSERT_TRUE(supportsDirection(LightingMode::rotating))
      << "row 12 expects the suffix of its own mode";

  model->setCustomEffectName("kein Effekt", 3);
  EXPECT_EQ(model->effectDisplayName(LightingMode::singleOff, 0).toStdString(),
            "ID 03 – kein Effekt");
  EXPECT_EQ(model->semanticMode(LightingMode::singleOff), LightingMode::singleOff);
}

TEST_F(EffectNamingTest, AssignmentsAndTheirNames) {
  {
    QSettings s = settings();
    // Hand-edited: a semantic entry without a name, and one out of range.
    s.setValue("effectSemanticMap", QByteArray(R"({"8":13,"9":42})"));
  }
  auto model = makeModel();
  model->setCustomEffectName("Wellen", 15);
  model->setCustomEffectName("wellen", 4);
  model->setCustomEffectName("Frei", 5);

  EXPECT_EQ(model->assignedFirmwareIDs(LightingMode::ripples), (std::vector<int>{4, 15}));
  EXPECT_EQ(model->assignedFirmwareIDs(LightingMode::explode), (std::vector<int>{8}));
  EXPECT_EQ(model->assignedFirmwareIDs(LightingMode::off), (std::vector<int>{}));

  const struct {
    int id;
    const char* expected;
  } names[] = {{4, "wellen"},           {5, "Frei"},
               {8, "Explosion"},        {9, "Nicht zugeordnet"},
               {3, "Nicht zugeordnet"}, {-1, "Nicht zugeordnet"}};
  for (const auto& c : names) {
    EXPECT_EQ(model->assignmentName(c.id).toStdString(), c.expected) << "ID " << c.id;
  }
  // An out-of-range entry does not change what the ID shows.
  EXPECT_EQ(model->semanticMode(9), LightingMode::outward);
  EXPECT_EQ(model->semanticMode(8), LightingMode::explode);
  EXPECT_EQ(model->semanticMode(42), LightingMode::off);
}

TEST_F(EffectNamingTest, LoadingMigratesNamesWithoutWritingBack) {
  const QByteArray names = R"({"2":"SCROLLEN","5":"Frei","6":"Aus","7":"Wellen"})";
  const QByteArray semantic = R"({"7":4})";
  {
    QSettings s = settings();
    s.setValue("customEffectNames", names);
    s.setValue("effectSemanticMap", semantic);
  }
  auto model = makeModel();
  // An existing entry wins over the name; nothing is stored until the next change.
  EXPECT_EQ(model->effectSemanticMap(), (EffectSemanticMap{{2, 10}, {6, 0}, {7, 4}}));
  EXPECT_EQ(stored("effectSemanticMap"), semantic);
  EXPECT_EQ(model->effectNamesRevision(), 0);

  model->setCustomEffectName("Frei", 5);
  EXPECT_EQ(decodeEffectSemanticMap(stored("effectSemanticMap")->toStdString()),
            (EffectSemanticMap{{2, 10}, {6, 0}, {7, 4}}));
}

TEST_F(EffectNamingTest, ResetRemovesBothKeys) {
  auto model = makeModel();
  model->setCustomEffectName("Wellen", 15);
  QSignalSpy revision(model.get(), &AppModel::effectNamesRevisionChanged);
  model->resetCustomEffectNames();
  EXPECT_TRUE(model->customEffectNames().empty());
  EXPECT_TRUE(model->effectSemanticMap().empty());
  EXPECT_EQ(model->effectNamesRevision(), 2);
  EXPECT_EQ(revision.count(), 1);
  EXPECT_FALSE(settings().contains("customEffectNames"));
  EXPECT_FALSE(settings().contains("effectSemanticMap"));
  EXPECT_TRUE(makeModel()->customEffectNames().empty());
}

TEST_F(EffectNamingTest, PreviewIgnoresIdsOutsideTheEffects) {
  auto model = makeModel();
  model->setCustomEffectName("Scrollen", 19);  // the preview never looks at names
  for (int id : {-1, 20, 255}) {
    model->previewEffect(id);
    EXPECT_FALSE(model->busy()) << id;
    EXPECT_EQ(model->message(), "Bereit") << id;
  }
  EXPECT_TRUE(simulator_->log().empty());

  model->previewEffect(19);
  EXPECT_EQ(model->message(), "Wird übertragen …");
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Firmware-ID 19 wird getestet");
  EXPECT_EQ(simulator_->zepaState()["lighting"]["report"],
            "13 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55");
}

}  // namespace
}  // namespace zepa::test
