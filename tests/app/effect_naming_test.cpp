#include "model_test_support.hpp"

namespace zepa::test {
namespace {

class EffectNamingTest : public ModelTest {
 protected:
  std::optional<std::string> stored(const char* key) {
    const QVariant value = settings().value(key);
    if (!value.isValid()) return std::nullopt;
    return value.toByteArray().toStdString();
  }
};

TEST_F(EffectNamingTest, NamingDerivesTheSemanticEffectAndStoresBothMaps) {
  const struct {
    const char* what;
    QString name;
    EffectNames names;
    EffectSemanticMap semantic;
  } cases[] = {
      {"trimmed, case ignored", " \tscrollen \n", {{3, "scrollen"}}, {{3, 10}}},
      {"off takes part", "AUS", {{3, "AUS"}}, {{3, 0}}},
      {"non-ASCII letters fold", QString::fromUtf8("nach AUßEN"), {{3, "nach AUßEN"}}, {{3, 9}}},
      {"free text has none", "Mein  Effekt", {{3, "Mein  Effekt"}}, {}},
      {"blank deletes", "  \n", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    settings().clear();
    auto model = makeModel();
    model->setCustomEffectName("Wellen", 3);  // replaced or removed, never kept beside
    model->setCustomEffectName(c.name, 3);
    EXPECT_EQ(model->customEffectNames(), c.names);
    EXPECT_EQ(model->effectSemanticMap(), c.semantic);
    EXPECT_EQ(model->effectNamesRevision(), 2);
    EXPECT_EQ(stored("customEffectNames"), encodeEffectNames(c.names));
    EXPECT_EQ(stored("effectSemanticMap"), encodeEffectSemanticMap(c.semantic));
  }
}

TEST_F(EffectNamingTest, LabelsAndAssignmentsFollowTheSemanticEffect) {
  // Hand-edited store: a semantic entry without a name, one out of range, one to migrate.
  QSettings s = settings();
  s.setValue("customEffectNames", QByteArray(R"({"2":"SCROLLEN","6":"Aus","7":"Wellen"})"));
  s.setValue("effectSemanticMap", QByteArray(R"({"7":4,"8":13,"9":42})"));
  s.sync();
  auto model = makeModel();
  // Migration fills in 2 and 6; an existing entry (7) wins; nothing is written back yet.
  EXPECT_EQ(model->effectSemanticMap(),
            (EffectSemanticMap{{2, 10}, {6, 0}, {7, 4}, {8, 13}, {9, 42}}));
  EXPECT_EQ(stored("effectSemanticMap"), R"({"7":4,"8":13,"9":42})");
  model->setCustomEffectName(" scrollen ", 3);
  model->setCustomEffectName("Eigener", 12);
  model->setCustomEffectName("Wellen", 15);

  const struct {
    LightingMode mode;
    std::optional<std::uint8_t> direction;
    const char* expected;
  } labels[] = {
      {LightingMode::breath, std::nullopt, "ID 07 – Wellen"},
      {LightingMode::scrolling, 1, "ID 10 – Scrollen · rechts"},
      {LightingMode::scrolling, 7, "ID 10 – Scrollen · rechts"},
      {LightingMode::scrolling, std::nullopt, "ID 10 – Scrollen"},
      {LightingMode::ripples, 0, "ID 15 – Wellen"},
      {LightingMode::singleOff, 0, "ID 03 – scrollen · links"},  // semantic mode has direction
      {LightingMode::rotating, 0, "ID 12 – Eigener · links"},    // its own mode has one
      {LightingMode::outward, 1, "ID 09 – Nach außen"},          // entry 42 is ignored
  };
  for (const auto& c : labels) {
    EXPECT_EQ(model->effectDisplayName(c.mode, c.direction).toStdString(), c.expected);
  }
  EXPECT_EQ(model->assignedFirmwareIDs(LightingMode::ripples), (std::vector<int>{15}));
  EXPECT_EQ(model->assignedFirmwareIDs(LightingMode::glittering), (std::vector<int>{7}));
  EXPECT_EQ(model->assignedFirmwareIDs(LightingMode::scrolling), (std::vector<int>{2, 3}));
  const std::pair<int, const char*> names[] = {
      {3, "scrollen"}, {8, "Explosion"}, {9, "Nicht zugeordnet"}, {4, "Nicht zugeordnet"}};
  for (const auto& [id, expected] : names) {
    EXPECT_EQ(model->assignmentName(id).toStdString(), expected) << id;
  }

  model->resetCustomEffectNames();
  EXPECT_TRUE(model->customEffectNames().empty() && model->effectSemanticMap().empty());
  EXPECT_EQ(model->effectNamesRevision(), 4);
  EXPECT_FALSE(settings().contains("customEffectNames"));
  EXPECT_FALSE(settings().contains("effectSemanticMap"));
}

TEST_F(EffectNamingTest, PreviewShowsTheFirmwareIdAsItIs) {
  useKeyboards(true, false);
  auto model = makeModel();
  model->setCustomEffectName("Aus", 19);  // the preview never looks at names
  for (int id : {-1, 20}) {
    model->previewEffect(id);
    EXPECT_FALSE(model->busy()) << id;
    EXPECT_EQ(model->message(), "Bereit") << id;
  }
  model->previewEffect(19);
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Firmware-ID 19 wird getestet");
  EXPECT_EQ(simulator_->zepaState()["lighting"]["report"],
            "13 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55");
}

}  // namespace
}  // namespace zepa::test
