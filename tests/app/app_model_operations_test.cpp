#include <condition_variable>
#include <functional>
#include <sstream>

#include <QFile>
#include <QSignalSpy>

#include <nlohmann/json.hpp>

#include "model_test_support.hpp"

namespace zepa::test {
namespace {

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class OperationTest : public ModelTest {
 protected:
  // What the ZEPA firmware applied, in the byte layout it received.
  std::string lightingReport() const {
    const auto state = simulator_->zepaState();
    return state["lighting"].is_null() ? "none" : state["lighting"]["report"].get<std::string>();
  }
  std::string slotList(const char* table) const {
    std::ostringstream out;
    const nlohmann::json state = simulator_->zepaState();
    for (const auto& slot : state[table]) {
      std::vector<std::uint8_t> bytes;
      for (const char* field :
           {"key", "action", "red", "param1", "green", "param2", "blue", "param3"}) {
        if (slot.contains(field)) bytes.push_back(slot[field].get<std::uint8_t>());
      }
      out << slot["index"].get<int>() << ": " << hex(bytes) << "; ";
    }
    return out.str();
  }
  std::string perKeySlots() const { return slotList("perKeyColors"); }
  std::string remapSlots() const { return slotList("baseRemaps"); }
  std::string clock() const {
    const auto c = simulator_->zepaState()["clock"];
    if (c.is_null()) return "none";
    std::ostringstream out;
    out << c["profile"] << " " << c["year"] << "-" << c["month"] << "-" << c["day"] << " "
        << c["hour"] << ":" << c["minute"] << ":" << c["second"] << " w" << c["weekday"];
    return out.str();
  }
  std::optional<HalvernLightingConfig> storedHalvernLighting() {
    const QVariant value = settings().value("halvernLighting");
    if (value.typeId() != QMetaType::QByteArray) return std::nullopt;
    return decodeHalvernLighting(value.toByteArray().toStdString());
  }
};

struct SuccessCase {
  const char* what;
  std::function<void(AppModel&)> prepare;
  std::function<void(AppModel&)> operation;
  const char* message;
  const char* lighting;  // first 16 bytes of the applied lighting report
  const char* perKey;
  const char* remaps;
  const char* clock;
};

TEST_F(OperationTest, SuccessSendsReportsShowsTextAndSavesTheProfile) {
  const auto orange = [](AppModel& m) { m.setSelectedColor(QColor::fromRgbF(1.0f, 0.5f, 0.0f)); };
  const SuccessCase cases[] = {
      {"applyLighting", orange, &AppModel::applyLighting, "Beleuchtung aktualisiert",
       "0b ff 7f 00 00 00 00 00 01 05 03 00 00 00 aa 55", "", "", "none"},
      {"applyPerKey merges and sorts",
       [&](AppModel& m) {
         orange(m);
         m.editProfile([](ZEPAProfile& p) { p.keyColors = {KeyColor{4, {1, 2, 3}}}; });
         m.setSelectedKeys({5, 3});
       },
       &AppModel::applyPerKey, "Einzeltastenfarben aktualisiert",
       "80 00 00 00 00 00 00 00 00 05 00 00 00 00 aa 55",
       "3: 03 ff 7f 00; 4: 04 01 02 03; 5: 05 ff 7f 00; ", "", "none"},
      {"applyPerKey replaces a key's colour",
       [&](AppModel& m) {
         orange(m);
         m.editProfile([](ZEPAProfile& p) { p.keyColors = {KeyColor{4, {1, 2, 3}}}; });
         m.setSelectedKeys({4});
       },
       &AppModel::applyPerKey, "Einzeltastenfarben aktualisiert",
       "80 00 00 00 00 00 00 00 00 05 00 00 00 00 aa 55", "4: 04 ff 7f 00; ", "", "none"},
      {"clearPerKey",
       [](AppModel& m) {
         m.editProfile([](ZEPAProfile& p) {
           p.keyColors = {KeyColor{4, {1, 2, 3}}};
           p.lighting.brightness = 3;
         });
       },
       &AppModel::clearPerKey, "Einzeltastenfarben gelöscht",
       "80 00 00 00 00 00 00 00 00 03 00 00 00 00 aa 55", "", "", "none"},
      {"syncClock", nullptr, &AppModel::syncClock, "Uhr synchronisiert", "none", "", "",
       "1 2025-3-9 14:5:7 w0"},
      {"addRemap to a modifier", nullptr, &AppModel::addRemap, "Tastenbelegung aktualisiert",
       "none", "", "55: 02 01 00 00; ", "none"},
      {"addRemap to a key",
       [](AppModel& m) {
         m.editProfile([](ZEPAProfile& p) { p.remaps = {KeyRemap{1, RemapAction::key, 0, 5, 0}}; });
         m.setSourceIndex(55);
         m.setTargetIndex(56);
       },
       &AppModel::addRemap, "Tastenbelegung aktualisiert", "none", "",
       "1: 02 00 05 00; 55: 02 00 04 00; ", "none"},
      {"resetRemaps",
       [](AppModel& m) {
         m.editProfile([](ZEPAProfile& p) { p.remaps = {KeyRemap{1, RemapAction::key, 0, 5, 0}}; });
       },
       &AppModel::resetRemaps, "Tastenbelegung aktualisiert", "none", "", "", "none"},
      {"previewEffect", nullptr, [](AppModel& m) { m.previewEffect(5); },
       "Firmware-ID 05 wird getestet", "05 00 d2 ff 00 00 00 00 00 05 02 00 00 00 aa 55", "", "",
       "none"},
  };
  for (const SuccessCase& c : cases) {
    SCOPED_TRACE(c.what);
    useKeyboards(true, false);
    QFile::remove(profilePath());
    auto model = makeModel();
    if (c.prepare) c.prepare(*model);
    const std::string before = encodeProfile(model->profile());

    c.operation(*model);
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->message(), "Wird übertragen …");
    waitUntilIdle(*model);

    EXPECT_EQ(model->message(), c.message);
    EXPECT_FALSE(model->errorMessage());
    EXPECT_TRUE(model->connected());
    EXPECT_EQ(lightingReport(), c.lighting);
    const auto firmwareError = simulator_->zepaState()["lastError"];
    EXPECT_EQ(perKeySlots(), c.perKey) << firmwareError;
    EXPECT_EQ(remapSlots(), c.remaps) << firmwareError;
    EXPECT_EQ(clock(), c.clock);
    EXPECT_EQ(readFile(profilePath()).toStdString(), encodeProfile(model->profile()));
    if (std::string_view(c.what) == "previewEffect" || std::string_view(c.what) == "syncClock") {
      EXPECT_EQ(encodeProfile(model->profile()), before) << "profile must not change";
    }
  }
}

TEST_F(OperationTest, ProfileEditsAreMadeBeforeSending) {
  useKeyboards(true, false);
  auto model = makeModel();
  model->editProfile([](ZEPAProfile& p) {
    p.keyColors = {KeyColor{9, {9, 9, 9}}, KeyColor{2, {2, 2, 2}}};
    p.remaps = {KeyRemap{55, RemapAction::key, 0, 9, 0}, KeyRemap{20, RemapAction::key, 0, 7, 0},
                KeyRemap{10, RemapAction::key, 0, 8, 0}};
  });
  model->setSelectedColor(QColor(10, 20, 30));
  model->setSelectedKeys({7});
  model->applyPerKey();
  const std::vector<KeyColor> colors{{2, {2, 2, 2}}, {7, {10, 20, 30}}, {9, {9, 9, 9}}};
  EXPECT_EQ(model->profile().keyColors, colors);
  EXPECT_EQ(model->selectedKeys(), KeySelection{7});
  waitUntilIdle(*model);

  // The replaced remap goes to the end; the others keep their order.
  model->addRemap();
  const std::vector<KeyRemap> remaps{{20, RemapAction::key, 0, 7, 0},
                                     {10, RemapAction::key, 0, 8, 0},
                                     {55, RemapAction::key, 0x01, 0, 0}};
  EXPECT_EQ(model->profile().remaps, remaps);
  waitUntilIdle(*model);

  QSignalSpy started(model.get(), &AppModel::busyChanged);
  model->setTargetIndex(0);  // no key has index 0
  model->addRemap();
  EXPECT_EQ(model->profile().remaps, remaps);
  EXPECT_EQ(started.count(), 0);
  EXPECT_EQ(model->message(), "Tastenbelegung aktualisiert");
}

TEST_F(OperationTest, FailureShowsTheErrorRedetectsAndSavesNothing) {
  const struct {
    const char* what;
    std::function<void(AppModel&)> operation;
  } cases[] = {
      {"applyLighting", &AppModel::applyLighting},
      {"applyPerKey", &AppModel::applyPerKey},
      {"clearPerKey", &AppModel::clearPerKey},
      {"syncClock", &AppModel::syncClock},
      {"addRemap", &AppModel::addRemap},
      {"applyRemaps", &AppModel::applyRemaps},
      {"resetRemaps", &AppModel::resetRemaps},
      {"previewEffect", [](AppModel& m) { m.previewEffect(0); }},
  };
  const QByteArray stored = QByteArray::fromStdString(encodeProfile(ZEPAProfile::makeDefault()));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    useKeyboards(true, true);
    {
      ProfileStore(profilePath()).createFolder();
      QFile file(profilePath());
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(stored);
    }
    auto model = makeModel();
    ASSERT_EQ(model->selectedKeyboard(), SupportedKeyboard::zepa);
    backend_->zepa = false;  // unplugged after launch: the model still thinks it is there
    QSignalSpy detection(model.get(), &AppModel::zepaConnectedChanged);

    c.operation(*model);
    waitUntilIdle(*model);

    EXPECT_EQ(model->message(), "Fehler");
    EXPECT_EQ(model->errorMessage(), QString::fromStdString(ZEPAError::notFound().description()));
    EXPECT_EQ(detection.count(), 1);
    EXPECT_FALSE(model->zepaConnected());
    EXPECT_EQ(model->selectedKeyboard(), SupportedKeyboard::halvern);
    EXPECT_EQ(readFile(profilePath()), stored);
  }
}

TEST_F(OperationTest, FailureInTheMiddleKeepsInMemoryChangesUnsaved) {
  useKeyboards(true, false);
  simulator_->addFault("set:2:EPIPE");
  auto model = makeModel();
  model->editProfile([](ZEPAProfile& p) { p.remaps = {KeyRemap{1, RemapAction::key, 0, 5, 0}}; });
  model->resetRemaps();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Fehler");
  EXPECT_TRUE(model->errorMessage() && !model->errorMessage()->isEmpty());
  EXPECT_TRUE(model->profile().remaps.empty());
  EXPECT_FALSE(QFile::exists(profilePath()));
  EXPECT_TRUE(model->zepaConnected());  // re-detected: still attached
}

TEST_F(OperationTest, InvalidSettingsAreReportedWithoutSending) {
  useKeyboards(true, false);
  auto model = makeModel();
  model->editProfile([](ZEPAProfile& p) { p.lighting.brightness = 9; });
  model->applyLighting();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Fehler");
  EXPECT_TRUE(model->errorMessage() && !model->errorMessage()->isEmpty());
  EXPECT_EQ(lightingReport(), "none");
  EXPECT_TRUE(simulator_->log().empty());
}

TEST_F(OperationTest, SecondRequestWhileBusyIsDropped) {
  useKeyboards(true, true);
  auto model = makeModel();
  model->applyLighting();
  model->setErrorMessage(QStringLiteral("alt"));
  QSignalSpy started(model.get(), &AppModel::busyChanged);

  model->setSelectedColor(QColor(255, 0, 0));
  model->applyLighting();  // colour taken, nothing sent
  model->syncClock();
  model->previewEffect(3);
  model->applyHalvernLighting();
  model->applyHalvernRemaps();
  model->startup();
  EXPECT_EQ(started.count(), 0);
  EXPECT_EQ(model->message(), "Wird übertragen …");
  EXPECT_EQ(model->errorMessage(), QStringLiteral("alt"));
  EXPECT_EQ(model->profile().lighting.color, (RGBColor{255, 0, 0}));
  waitUntilIdle(*model);

  // Only the first request reached the keyboard, with the colour it started with.
  EXPECT_EQ(lightingReport(), "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55");
  EXPECT_EQ(clock(), "none");
  EXPECT_EQ(simulator_->halvernState()["color"], nullptr);
  EXPECT_EQ(model->message(), "Beleuchtung aktualisiert");
}

TEST_F(OperationTest, EditsDuringARunAreUndoneBySuccess) {
  useKeyboards(true, true);
  auto model = makeModel();
  model->applyLighting();
  const std::string sent = encodeProfile(model->profile());
  model->editProfile([](ZEPAProfile& p) {
    p.name = "Nacht";
    p.lighting.mode = LightingMode::breath;
  });
  waitUntilIdle(*model);
  EXPECT_EQ(encodeProfile(model->profile()), sent);
  EXPECT_EQ(readFile(profilePath()).toStdString(), sent);

  model->applyHalvernLighting();
  const HalvernLightingConfig halvernSent = model->halvernLighting();
  model->editHalvernLighting([](HalvernLightingConfig& l) { l.brightness = 1; });
  waitUntilIdle(*model);
  EXPECT_EQ(model->halvernLighting(), halvernSent);
  EXPECT_EQ(storedHalvernLighting(), halvernSent);
}

struct StartupCase {
  const char* what;
  bool attached;
  std::optional<bool> autoClock, autoApply;  // nothing: not stored
  const char* message;
  const char* clock;
  const char* lighting;
};

TEST_F(OperationTest, StartupFollowsTheStoredOptionsOnce) {
  const StartupCase cases[] = {
      {"defaults: clock only", true, std::nullopt, std::nullopt, "Uhr synchronisiert",
       "1 2025-3-9 14:5:7 w0", "none"},
      {"clock and lighting", true, true, true, "Uhr und Profil synchronisiert",
       "1 2025-3-9 14:5:7 w0", "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55"},
      {"lighting only", true, false, true, "Profil angewendet", "none",
       "0b 00 d2 ff 00 00 00 00 01 05 03 00 00 00 aa 55"},
      {"neither", true, false, false, "Bereit", "none", "none"},
      {"keyboard absent", false, true, true, "Bereit", "none", "none"},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.what);
    useKeyboards(true, true);
    QFile::remove(profilePath());
    {
      QSettings s = settings();
      s.clear();
      if (c.autoClock) s.setValue("autoClock", *c.autoClock);
      if (c.autoApply) s.setValue("autoApply", *c.autoApply);
    }
    backend_->zepa = c.attached;
    auto model = makeModel();
    backend_->zepa = true;

    model->startup();
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), c.message);
    EXPECT_EQ(clock(), c.clock);
    EXPECT_EQ(lightingReport(), c.lighting);
    EXPECT_EQ(QFile::exists(profilePath()), std::string_view(c.message) != "Bereit");

    // Never a second time, even with the keyboard now attached.
    const auto sentBefore = simulator_->log().size();
    model->refreshConnection();
    model->startup();
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(simulator_->log().size(), sentBefore);
  }
}

TEST_F(OperationTest, HalvernLightingIsSentThenStored) {
  useKeyboards(false, true);
  auto model = makeModel();
  model->setHalvernLighting({HalvernEffect::staticColor, RGBColor{0, 0, 0}, 3, 2, true});
  model->setHalvernSelectedColor(QColor(200, 100, 50));
  model->applyHalvernLighting();
  const HalvernLightingConfig sent{HalvernEffect::staticColor, RGBColor{200, 100, 50}, 3, 2, false};
  EXPECT_EQ(model->halvernLighting(), sent);
  EXPECT_FALSE(storedHalvernLighting());
  waitUntilIdle(*model);

  EXPECT_EQ(model->message(), "Halvern-Beleuchtung aktualisiert");
  EXPECT_TRUE(model->halvernConnected());
  EXPECT_TRUE(model->connected());
  EXPECT_EQ(storedHalvernLighting(), sent);
  EXPECT_EQ(simulator_->halvernState()["color"],
            (nlohmann::json{{"red", 200}, {"green", 100}, {"blue", 50}}));
  EXPECT_EQ(simulator_->halvernState()["effect"], 1);
  EXPECT_FALSE(QFile::exists(profilePath()));
}

TEST_F(OperationTest, HalvernWaveKeepsThePickedColourAndMulticolour) {
  useKeyboards(false, true);
  auto model = makeModel();
  model->setHalvernLighting({HalvernEffect::wave, RGBColor{0, 0, 0}, 4, 4, true});
  model->setHalvernSelectedColor(QColor(1, 2, 3));
  model->applyHalvernLighting();
  waitUntilIdle(*model);
  EXPECT_EQ(storedHalvernLighting(),
            (HalvernLightingConfig{HalvernEffect::wave, RGBColor{1, 2, 3}, 4, 4, true}));
}

TEST_F(OperationTest, HalvernFailureLeavesTheStoredLightingAlone) {
  const struct {
    const char* what;
    HalvernLightingConfig lighting;
    const char* error;
  } cases[] = {
      {"unplugged",
       {HalvernEffect::wave, {}, 4, 4, true},
       "Halvern Corvane Pro wurde nicht per USB gefunden."},
      {"brightness 5",
       {HalvernEffect::wave, {}, 5, 4, true},
       "Halvern-Helligkeit und -Tempo müssen zwischen 0 und 4 liegen."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    useKeyboards(true, true);
    settings().clear();
    auto model = makeModel();
    model->setSelectedKeyboard(SupportedKeyboard::halvern);
    if (std::string_view(c.what) == "unplugged") backend_->halvern = false;
    model->setHalvernLighting(c.lighting);
    model->applyHalvernLighting();
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), "Fehler");
    EXPECT_EQ(model->errorMessage(), QString::fromUtf8(c.error));
    EXPECT_EQ(model->halvernConnected(), std::string_view(c.what) != "unplugged");
    EXPECT_FALSE(storedHalvernLighting());
  }
}

// Holds the work item inside its first pause until released.
class Gate {
 public:
  Sleeper sleeper() {
    return [this](std::chrono::microseconds) {
      std::unique_lock lock(mutex_);
      entered_ = true;
      changed_.notify_all();
      changed_.wait(lock, [&] { return open_; });
    };
  }
  void waitEntered() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return entered_; });
  }
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false, open_ = false;
};

TEST_F(OperationTest, ModelDestroyedWhileWorkRunsIsLeftAlone) {
  for (auto operation : {&AppModel::applyLighting, &AppModel::applyHalvernLighting}) {
    useKeyboards(true, true);
    Gate gate;
    ModelEnvironment env = environment();
    env.sleeper = gate.sleeper();
    auto model = std::make_unique<AppModel>(env);
    (model.get()->*operation)();
    gate.waitEntered();
    model.reset();
    gate.open();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(profilePath()));
    EXPECT_FALSE(storedHalvernLighting());
  }
}

}  // namespace
}  // namespace zepa::test
