#include <functional>
#include <semaphore>
#include <sstream>

#include <QSignalSpy>

#include <nlohmann/json.hpp>

#include "model_test_support.hpp"

namespace zepa::test {
namespace {

class OperationTest : public ModelTest {
 protected:
  // What the ZEPA firmware applied: the lighting report's first 16 bytes, and the written
  // slots of a block as "index: four bytes;".
  std::string lighting() const {
    const auto state = simulator_->zepaState()["lighting"];
    return state.is_null() ? "none" : state["report"].get<std::string>();
  }
  std::string slotList(const char* block) const {
    std::ostringstream out;
    const nlohmann::json state = simulator_->zepaState();
    for (const auto& slot : state[block]) {
      std::vector<std::uint8_t> bytes;
      for (const char* field :
           {"key", "red", "green", "blue", "action", "param1", "param2", "param3"}) {
        if (slot.contains(field)) bytes.push_back(slot[field].get<std::uint8_t>());
      }
      out << slot["index"] << ": " << hexBytes(bytes) << "; ";
    }
    return out.str();
  }
  std::string clock() const {
    const auto c = simulator_->zepaState()["clock"];
    return c.is_null() ? "none" : c.dump();
  }
  std::optional<HalvernLightingConfig> storedHalvernLighting() {
    const QVariant value = settings().value("halvernLighting");
    if (value.typeId() != QMetaType::QByteArray) return std::nullopt;
    return decodeHalvernLighting(value.toByteArray().toStdString());
  }
};

const char* const sundayClock =
    R"({"day":9,"hour":14,"minute":5,"month":3,"profile":1,"second":7,"weekday":0,"year":2025})";
const char* const profileLighting = "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55";

KeyRemap remap(std::uint8_t source, std::uint8_t param1, std::uint8_t param2) {
  return KeyRemap{source, RemapAction::key, param1, param2, 0};
}

TEST_F(OperationTest, SuccessSendsShowsTheTextAndSavesTheSnapshot) {
  const auto orange = [](AppModel& m) { m.setSelectedColor(QColor::fromRgbF(1.0f, 0.5f, 0.0f)); };
  const auto colours = [&](KeySelection keys) {
    return [&, keys](AppModel& m) {
      orange(m);
      m.editProfile([](ZEPAProfile& p) { p.keyColors = {{4, {1, 2, 3}}, {9, {9, 9, 9}}}; });
      m.setSelectedKeys(keys);
    };
  };
  const auto remaps = [](AppModel& m) {
    m.editProfile([](ZEPAProfile& p) { p.remaps = {remap(55, 0, 9), remap(20, 0, 7)}; });
  };
  const struct {
    const char* what;
    std::function<void(AppModel&)> prepare, operation;
    const char* message;
    const char* lighting;
    const char* perKey;  // key colour slots: key, red, green, blue
    const char* remaps;  // remap slots: action, param1-3
    const char* clock;
  } cases[] = {
      {"applyLighting", orange, &AppModel::applyLighting, "Beleuchtung aktualisiert",
       "0b ff 7f 00 00 00 00 00 01 05 03 00 00 00 aa 55", "", "", "none"},
      {"applyPerKey merges, sorts", colours({5, 3}), &AppModel::applyPerKey,
       "Einzeltastenfarben aktualisiert", "80 00 00 00 00 00 00 00 00 05 00 00 00 00 aa 55",
       "3: 03 ff 7f 00; 4: 04 01 02 03; 5: 05 ff 7f 00; 9: 09 09 09 09; ", "", "none"},
      {"applyPerKey replaces", colours({4}), &AppModel::applyPerKey,
       "Einzeltastenfarben aktualisiert", "80 00 00 00 00 00 00 00 00 05 00 00 00 00 aa 55",
       "4: 04 ff 7f 00; 9: 09 09 09 09; ", "", "none"},
      {"clearPerKey", colours({4}), &AppModel::clearPerKey, "Einzeltastenfarben gelöscht",
       "80 00 00 00 00 00 00 00 00 05 00 00 00 00 aa 55", "", "", "none"},
      {"syncClock", nullptr, &AppModel::syncClock, "Uhr synchronisiert", "none", "", "",
       sundayClock},
      {"addRemap Caps to Ctrl L replaces 55", remaps, &AppModel::addRemap,
       "Tastenbelegung aktualisiert", "none", "", "20: 02 00 07 00; 55: 02 01 00 00; ", "none"},
      {"addRemap Caps to A",
       [&](AppModel& m) {
         remaps(m);
         m.setTargetIndex(56);
       },
       &AppModel::addRemap, "Tastenbelegung aktualisiert", "none", "",
       "20: 02 00 07 00; 55: 02 00 04 00; ", "none"},
      {"resetRemaps", remaps, &AppModel::resetRemaps, "Tastenbelegung aktualisiert", "none", "", "",
       "none"},
      {"previewEffect", nullptr, [](AppModel& m) { m.previewEffect(5); },
       "Firmware-ID 05 wird getestet", "05 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55", "", "",
       "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    useKeyboards(true, false);
    QFile::remove(profilePath());
    auto model = makeModel();
    if (c.prepare) c.prepare(*model);
    c.operation(*model);
    const std::string sent = encodeProfile(model->profile());
    EXPECT_EQ(model->message(), "Wird übertragen …");
    // An edit while the work runs is undone by the snapshot.
    model->editProfile([](ZEPAProfile& p) { p.name = "Nacht"; });
    waitUntilIdle(*model);

    EXPECT_EQ(model->message(), c.message);
    EXPECT_FALSE(model->errorMessage());
    EXPECT_TRUE(model->connected());
    EXPECT_EQ(lighting(), c.lighting);
    EXPECT_EQ(slotList("perKeyColors"), c.perKey);
    EXPECT_EQ(slotList("baseRemaps"), c.remaps);
    EXPECT_EQ(clock(), c.clock);
    EXPECT_EQ(encodeProfile(model->profile()), sent);
    EXPECT_EQ(readFile(profilePath()), sent);
  }
  EXPECT_GT(*pauses_, 0);
}

TEST_F(OperationTest, AddRemapReplacesAtTheEndOrDoesNothingForAnUnknownKey) {
  useKeyboards(true, false);
  auto model = makeModel();
  model->editProfile([](ZEPAProfile& p) {
    p.remaps = {remap(55, 0, 9), remap(20, 0, 7), remap(10, 0, 8)};
  });
  model->addRemap();
  const std::vector<KeyRemap> expected{remap(20, 0, 7), remap(10, 0, 8), remap(55, 0x01, 0)};
  EXPECT_EQ(model->profile().remaps, expected);
  waitUntilIdle(*model);

  const auto sent = simulator_->log().size();
  model->setTargetIndex(0);  // no key has index 0
  model->addRemap();
  EXPECT_FALSE(model->busy());
  EXPECT_EQ(model->profile().remaps, expected);
  EXPECT_EQ(simulator_->log().size(), sent);
}

TEST_F(OperationTest, FailureShowsTheErrorRedetectsAndSavesNothing) {
  const std::pair<const char*, std::function<void(AppModel&)>> cases[] = {
      {"applyLighting", &AppModel::applyLighting},
      {"applyPerKey", &AppModel::applyPerKey},
      {"clearPerKey", &AppModel::clearPerKey},
      {"syncClock", &AppModel::syncClock},
      {"addRemap", &AppModel::addRemap},
      {"applyRemaps", &AppModel::applyRemaps},
      {"resetRemaps", &AppModel::resetRemaps},
      {"previewEffect", [](AppModel& m) { m.previewEffect(0); }},
  };
  const std::string stored = encodeProfile(ZEPAProfile::makeDefault());
  for (const auto& [what, operation] : cases) {
    SCOPED_TRACE(what);
    useKeyboards(true, true);
    writeFile(profilePath(), stored);
    auto model = makeModel();
    backend_->zepa = false;  // unplugged after launch: the model has not noticed yet
    operation(*model);
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), "Fehler");
    EXPECT_EQ(model->errorMessage(), QString::fromStdString(ZEPAError::notFound().description()));
    EXPECT_FALSE(model->zepaConnected());
    EXPECT_EQ(model->selectedKeyboard(), SupportedKeyboard::halvern);
    EXPECT_EQ(readFile(profilePath()), stored);
  }
}

TEST_F(OperationTest, SecondRequestWhileBusyIsDropped) {
  useKeyboards(true, true);
  auto model = makeModel();
  model->applyLighting();
  model->setErrorMessage(QStringLiteral("alt"));
  QSignalSpy started(model.get(), &AppModel::busyChanged);
  model->setSelectedColor(QColor(255, 0, 0));
  model->applyLighting();  // takes the colour, sends nothing
  for (auto operation : {&AppModel::syncClock, &AppModel::applyHalvernLighting,
                         &AppModel::applyHalvernRemaps, &AppModel::startup}) {
    (model.get()->*operation)();
  }
  EXPECT_EQ(started.count(), 0);
  EXPECT_EQ(model->message(), "Wird übertragen …");
  EXPECT_EQ(model->errorMessage(), QStringLiteral("alt"));
  EXPECT_EQ(model->profile().lighting.color, (RGBColor{255, 0, 0}));
  waitUntilIdle(*model);
  EXPECT_EQ(lighting(), profileLighting);
  EXPECT_EQ(clock(), "none");
  EXPECT_EQ(simulator_->halvernState()["color"], nullptr);
  // The snapshot also undoes the colour taken by the dropped request.
  EXPECT_EQ(model->profile().lighting.color, RGBColor::cyan);
}

TEST_F(OperationTest, StartupFollowsTheStoredOptionsOnce) {
  const struct {
    const char* what;
    bool attached;
    QVariant autoClock, autoApply;  // invalid: not stored
    const char *message, *clock, *lighting;
  } cases[] = {
      {"defaults", true, {}, {}, "Uhr synchronisiert", sundayClock, "none"},
      {"both", true, true, true, "Uhr und Profil synchronisiert", sundayClock, profileLighting},
      {"lighting only", true, false, true, "Profil angewendet", "none", profileLighting},
      {"neither", true, false, false, "Bereit", "none", "none"},
      {"keyboard absent", false, true, true, "Bereit", "none", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    useKeyboards(true, true);
    QFile::remove(profilePath());
    QSettings s = settings();
    s.clear();
    if (c.autoClock.isValid()) s.setValue("autoClock", c.autoClock);
    if (c.autoApply.isValid()) s.setValue("autoApply", c.autoApply);
    s.sync();
    backend_->zepa = c.attached;
    auto model = makeModel();
    backend_->zepa = true;
    model->startup();
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), c.message);
    EXPECT_EQ(clock(), c.clock);
    EXPECT_EQ(lighting(), c.lighting);
    EXPECT_EQ(QFile::exists(profilePath()), std::string_view(c.message) != "Bereit");

    // Never a second time, even with the keyboard attached now.
    const auto sent = simulator_->log().size();
    model->refreshConnection();
    model->startup();
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(simulator_->log().size(), sent);
  }
}

TEST_F(OperationTest, HalvernLightingIsStoredOnlyAfterTheKeyboardTookIt) {
  using enum HalvernEffect;
  const RGBColor picked{200, 100, 50};
  const struct {
    const char* what;
    bool attached;
    HalvernLightingConfig edited, sent;
    const char* error;  // nullptr: success
  } cases[] = {
      // clang-format off
      {"static drops multicolour", true, {staticColor, {}, 3, 2, true}, {staticColor, picked, 3, 2, false}, nullptr},
      {"wave keeps both", true, {wave, {}, 4, 4, true}, {wave, picked, 4, 4, true}, nullptr},
      {"unplugged", false, {wave, {}, 4, 4, true}, {wave, picked, 4, 4, true},
       "Halvern Corvane Pro wurde nicht per USB gefunden."},
      {"brightness 5", true, {wave, {}, 5, 4, true}, {wave, picked, 5, 4, true},
       "Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen."},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    useKeyboards(true, true);
    settings().clear();
    auto model = makeModel();
    backend_->halvern = c.attached;
    model->setHalvernLighting(c.edited);
    model->setHalvernSelectedColor(QColor(200, 100, 50));
    model->applyHalvernLighting();
    EXPECT_EQ(model->halvernLighting(), c.sent);
    model->editHalvernLighting([](HalvernLightingConfig& l) { l.speed = 0; });
    waitUntilIdle(*model);
    if (c.error) {
      EXPECT_EQ(model->message(), "Fehler");
      EXPECT_EQ(model->errorMessage(), QString::fromUtf8(c.error));
      EXPECT_EQ(model->halvernConnected(), c.attached);
      EXPECT_FALSE(storedHalvernLighting());
    } else {
      EXPECT_EQ(model->message(), "Halvern-Beleuchtung aktualisiert");
      EXPECT_EQ(model->halvernLighting(), c.sent);
      EXPECT_EQ(storedHalvernLighting(), c.sent);
      EXPECT_EQ(simulator_->halvernState()["effect"], rawValue(c.sent.effect));
    }
    EXPECT_FALSE(QFile::exists(profilePath()));
  }
}

TEST_F(OperationTest, ModelDestroyedWhileWorkRunsIsLeftAlone) {
  for (auto operation : {&AppModel::applyLighting, &AppModel::applyHalvernLighting}) {
    useKeyboards(true, true);
    // Holds the work item in its first pause until the model is gone.
    struct Gate {
      std::binary_semaphore entered{0}, open{0};
      std::atomic<bool> first = true;
    };
    auto gate = std::make_shared<Gate>();
    ModelEnvironment env = environment();
    env.sleeper = [gate](std::chrono::microseconds) {
      if (!gate->first.exchange(false)) return;
      gate->entered.release();
      gate->open.acquire();
    };
    auto model = std::make_unique<AppModel>(env);
    (model.get()->*operation)();
    gate->entered.acquire();
    model.reset();
    gate->open.release();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(profilePath()));
    EXPECT_FALSE(storedHalvernLighting());
  }
}

}  // namespace
}  // namespace zepa::test
