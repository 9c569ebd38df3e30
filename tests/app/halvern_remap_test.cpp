#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <nlohmann/json.hpp>

#include "app/model/halvern_key_mapping.hpp"
#include "model_test_support.hpp"

namespace zepa::test {
namespace {

// A stand-in for zepa-keymap: records its arguments, writes the given standard error and
// exits as told.
struct FakeTool {
  std::string stderrText;  // printf format, so "\\377" gives a raw byte
  std::string exit = "exit 0";
};

class HalvernRemapTest : public ModelTest {
 protected:
  QString writeTool(const FakeTool& tool) {
    const QString path = home_.filePath("zepa-keymap");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const std::string script = "#!/bin/sh\n: > '" + argsPath().toStdString() +
                               "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                               argsPath().toStdString() + "'; done\nprintf '" + tool.stderrText +
                               "' >&2\n" + tool.exit + "\n";
    file.write(script.c_str());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  }
  QString argsPath() const { return home_.filePath("arguments"); }
  QStringList recordedArguments() const {
    QFile file(argsPath());
    if (!file.open(QIODevice::ReadOnly)) return {"<not run>"};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  }

  std::unique_ptr<AppModel> makeModel(const QString& program,
                                      QStringList prefix = {"--device-root", "/tmp/root"}) {
    ModelEnvironment env = environment();
    env.keymapProgram = program;
    env.keymapArguments = std::move(prefix);
    return std::make_unique<AppModel>(env);
  }

  std::optional<std::vector<KeyRemap>> storedRemaps() {
    const QVariant value = settings().value("halvernRemaps");
    if (value.typeId() != QMetaType::QByteArray) return std::nullopt;
    return decodeKeyRemaps(value.toByteArray().toStdString());
  }
};

KeyRemap remap(std::uint8_t source, std::uint8_t target) {
  return KeyRemap{source, RemapAction::key, 0, target, 0};
}

TEST_F(HalvernRemapTest, AddingReplacesSortsStoresAndApplies) {
  const struct {
    const char* what;
    std::vector<KeyRemap> before;
    std::uint8_t source, target;
    std::vector<KeyRemap> after;
    const char* property;
  } cases[] = {
      {"first remap",
       {},
       0x39,
       0xE0,
       {remap(0x39, 0xE0)},
       R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,
                              "HIDKeyboardModifierMappingDst":30064771296}]})"},
      {"replaces and sorts",
       {remap(0x39, 0xE0), remap(0x04, 0x05)},
       0x04,
       0x06,
       {remap(0x04, 0x06), remap(0x39, 0xE0)},
       R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771076,
                              "HIDKeyboardModifierMappingDst":30064771078},
                             {"HIDKeyboardModifierMappingSrc":30064771129,
                              "HIDKeyboardModifierMappingDst":30064771296}]})"},
      {"to itself",
       {remap(0x50, 0x04)},
       0x05,
       0x05,
       {remap(0x05, 0x05), remap(0x50, 0x04)},
       R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771077,
                              "HIDKeyboardModifierMappingDst":30064771077},
                             {"HIDKeyboardModifierMappingSrc":30064771152,
                              "HIDKeyboardModifierMappingDst":30064771076}]})"},
  };
  const QString tool = writeTool({});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = makeModel(tool);
    model->setHalvernRemaps(c.before);
    model->setHalvernSourceHID(c.source);
    model->setHalvernTargetHID(c.target);
    model->addHalvernRemap();
    EXPECT_EQ(model->halvernRemaps(), c.after);
    EXPECT_EQ(storedRemaps(), c.after);
    EXPECT_EQ(model->message(), "Tastenbelegung wird angewendet …");
    waitUntilIdle(*model);

    EXPECT_EQ(model->message(), "Halvern-Tastenbelegung aktiv");
    EXPECT_FALSE(model->errorMessage());
    const QStringList args = recordedArguments();
    ASSERT_EQ(args.size(), 7) << args.join(' ').toStdString();
    EXPECT_EQ(args.mid(0, 6), (QStringList{"--device-root", "/tmp/root", "property", "--matching",
                                           HalvernKeyMapping::matching, "--set"}));
    EXPECT_EQ(QString(HalvernKeyMapping::matching).size(), 71);
    EXPECT_EQ(nlohmann::json::parse(args[6].toStdString()), nlohmann::json::parse(c.property))
        << args[6].toStdString();
    EXPECT_EQ(args[6].count(' '), 0) << "compact JSON";
  }
}

TEST_F(HalvernRemapTest, ResetAppliesAnEmptyList) {
  auto model = makeModel(writeTool({}), {});
  model->setHalvernRemaps({});
  model->saveHalvernRemaps();
  model->applyHalvernRemaps();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Halvern-Tastenbelegung zurückgesetzt");
  EXPECT_EQ(settings().value("halvernRemaps").toByteArray(), "[]");
  EXPECT_EQ(recordedArguments(), (QStringList{"property", "--matching", HalvernKeyMapping::matching,
                                              "--set", R"({"UserKeyMapping":[]})"}));
}

TEST_F(HalvernRemapTest, ToolOutcomeDecidesTheStatus) {
  const char* fallback = "zepa-keymap konnte die Tastenbelegung nicht anwenden.";
  const struct {
    const char* what;
    FakeTool tool;
    const char* message;
    std::optional<const char*> error;
  } cases[] = {
      {"exit 1, padded message",
       {"   Keine passende Tastatur gefunden.\\n", "exit 1"},
       "Fehler",
       "Keine passende Tastatur gefunden."},
      {"exit 1, silent", {"", "exit 1"}, "Fehler", fallback},
      {"exit 3, only blanks", {" \\n\\t", "exit 3"}, "Fehler", fallback},
      {"exit 1, not UTF-8", {"\\377\\376 kaputt", "exit 1"}, "Fehler", fallback},
      {"killed", {"halb", "kill -9 $$"}, "Fehler", "halb"},
      {"exit 0 with warnings",
       {"Warnung: alt\\n", "exit 0"},
       "Halvern-Tastenbelegung aktiv",
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = makeModel(writeTool(c.tool));
    model->setHalvernRemaps({remap(0x39, 0xE0)});
    QSignalSpy detection(model.get(), &AppModel::halvernConnectedChanged);
    QSignalSpy connected(model.get(), &AppModel::connectedChanged);
    model->applyHalvernRemaps();
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), c.message);
    if (c.error) {
      EXPECT_EQ(model->errorMessage(), QString::fromUtf8(*c.error));
    } else {
      EXPECT_FALSE(model->errorMessage());
    }
    // The tool never opens the HID interface: no re-detection either way.
    EXPECT_EQ(detection.count(), 0);
    EXPECT_EQ(connected.count(), 0);
    EXPECT_EQ(model->halvernRemaps(), (std::vector<KeyRemap>{remap(0x39, 0xE0)}));
  }
}

TEST_F(HalvernRemapTest, AToolThatCannotStartIsNamed) {
  const QString notExecutable = home_.filePath("plain-file");
  {
    QFile file(notExecutable);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
  }
  const QString missing = home_.filePath("missing/zepa-keymap");
  const struct {
    QString program;
    QString error;
  } cases[] = {
      {missing, QStringLiteral("Das Programm %1 wurde nicht gefunden.").arg(missing)},
      {notExecutable, QStringLiteral("Das Programm %1 ist nicht ausführbar.").arg(notExecutable)},
  };
  for (const auto& c : cases) {
    auto model = makeModel(c.program);
    model->applyHalvernRemaps();
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), "Fehler");
    EXPECT_EQ(model->errorMessage(), c.error);
  }
}

TEST_F(HalvernRemapTest, AddingWhileBusyStoresButDoesNotRunTheTool) {
  auto model = makeModel(writeTool({}));
  model->syncClock();
  model->addHalvernRemap();
  EXPECT_EQ(model->halvernRemaps(), (std::vector<KeyRemap>{remap(0x39, 0xE0)}));
  EXPECT_EQ(storedRemaps(), model->halvernRemaps());
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Uhr synchronisiert");
  EXPECT_EQ(recordedArguments(), QStringList{"<not run>"});
}

TEST_F(HalvernRemapTest, StoredListIsLoadedAtStart) {
  {
    QSettings s = settings();
    s.setValue("halvernRemaps",
               QByteArray::fromStdString(encodeKeyRemaps({remap(0x04, 0x05), remap(0x39, 0xE0)})));
  }
  auto model = makeModel(writeTool({}));
  EXPECT_EQ(model->halvernRemaps(), (std::vector<KeyRemap>{remap(0x04, 0x05), remap(0x39, 0xE0)}));
  EXPECT_EQ(recordedArguments(), QStringList{"<not run>"});  // never applied at start
}

}  // namespace
}  // namespace zepa::test
