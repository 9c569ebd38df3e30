#include <QSignalSpy>

#include <nlohmann/json.hpp>

#include "app/model/halvern_key_mapping.hpp"
#include "model_test_support.hpp"

namespace zepa::test {
namespace {

class HalvernRemapTest : public ModelTest {
 protected:
  // A stand-in for zepa-keymap: records its arguments one per line, writes `errorText`
  // (printf format) to standard error and ends with `exit`.
  std::unique_ptr<AppModel> makeModel(const std::string& errorText = "",
                                      const std::string& exit = "exit 0") {
    const std::string args = argsPath().toStdString();
    writeFile(toolPath(), "#!/bin/sh\n: > '" + args +
                              "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + args +
                              "'; done\nprintf '" + errorText + "' >&2\n" + exit + "\n");
    QFile(toolPath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ModelEnvironment env = environment();
    env.keymapProgram = toolPath();
    env.keymapArguments = {"--device-root", "/tmp/root"};
    return std::make_unique<AppModel>(env);
  }
  QString toolPath() const { return home_.filePath("tool/zepa-keymap"); }
  QString argsPath() const { return home_.filePath("arguments"); }
  QStringList recordedArguments() const {
    QFile file(argsPath());
    if (!file.open(QIODevice::ReadOnly)) return {"<not run>"};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  }
  std::string storedRemaps() {
    return settings().value("halvernRemaps").toByteArray().toStdString();
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
      {"first",
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = makeModel();
    model->setHalvernRemaps(c.before);
    model->setHalvernSourceHID(c.source);
    model->setHalvernTargetHID(c.target);
    model->addHalvernRemap();
    EXPECT_EQ(model->halvernRemaps(), c.after);
    EXPECT_EQ(storedRemaps(), encodeKeyRemaps(c.after));
    EXPECT_EQ(model->message(), "Tastenbelegung wird angewendet …");
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), "Halvern-Tastenbelegung aktiv");
    const QStringList args = recordedArguments();
    ASSERT_EQ(args.size(), 7) << args.join(' ').toStdString();
    EXPECT_EQ(
        args.mid(0, 6),
        (QStringList{"--device-root", "/tmp/root", "property", "--matching",
                     R"({"VendorID":9610,"ProductID":268,"PrimaryUsagePage":1,"PrimaryUsage":6})",
                     "--set"}));
    EXPECT_EQ(nlohmann::json::parse(args[6].toStdString()), nlohmann::json::parse(c.property));
    EXPECT_FALSE(args[6].contains(' ')) << "compact JSON";
  }
}

TEST_F(HalvernRemapTest, ResetAppliesAnEmptyList) {
  auto model = makeModel();
  model->setHalvernRemaps({});
  model->saveHalvernRemaps();
  model->applyHalvernRemaps();
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Halvern-Tastenbelegung zurückgesetzt");
  EXPECT_EQ(storedRemaps(), "[]");
  EXPECT_EQ(recordedArguments().last(), R"({"UserKeyMapping":[]})");
}

TEST_F(HalvernRemapTest, ToolOutcomeDecidesTheStatus) {
  const char* fallback = "zepa-keymap konnte die Tastenbelegung nicht anwenden.";
  const struct {
    const char *what, *errorText, *exit, *message, *error;  // error nullptr: none
  } cases[] = {
      {"padded message", "   Keine Tastatur gefunden.\\n", "exit 1", "Fehler",
       "Keine Tastatur gefunden."},
      {"silent", "", "exit 1", "Fehler", fallback},
      {"only blanks", " \\n\\t", "exit 3", "Fehler", fallback},
      {"not UTF-8", "\\377\\376 kaputt", "exit 1", "Fehler", fallback},
      {"killed", "halb", "kill -9 $$", "Fehler", "halb"},
      {"warnings on success", "Warnung\\n", "exit 0", "Halvern-Tastenbelegung aktiv", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = makeModel(c.errorText, c.exit);
    model->setHalvernRemaps({remap(0x39, 0xE0)});
    QSignalSpy detection(model.get(), &AppModel::halvernConnectedChanged);
    model->applyHalvernRemaps();
    waitUntilIdle(*model);
    EXPECT_EQ(model->message(), c.message);
    EXPECT_EQ(model->errorMessage(),
              c.error ? std::optional(QString::fromUtf8(c.error)) : std::nullopt);
    EXPECT_EQ(detection.count(), 0) << "the tool never opens the HID interface";
  }
}

TEST_F(HalvernRemapTest, AToolThatCannotStartIsNamed) {
  auto model = makeModel();
  const QString missing = home_.filePath("missing/zepa-keymap");
  QFile(toolPath()).setPermissions(QFile::ReadOwner);
  const std::pair<QString, QString> cases[] = {
      {missing, QStringLiteral("Das Programm %1 wurde nicht gefunden.").arg(missing)},
      {toolPath(), QStringLiteral("Das Programm %1 ist nicht ausführbar.").arg(toolPath())},
  };
  for (const auto& [program, error] : cases) {
    ModelEnvironment env = environment();
    env.keymapProgram = program;
    AppModel model(env);
    model.applyHalvernRemaps();
    waitUntilIdle(model);
    EXPECT_EQ(model.message(), "Fehler");
    EXPECT_EQ(model.errorMessage(), error);
  }
}

TEST_F(HalvernRemapTest, AddingWhileBusyStoresButDoesNotRunTheTool) {
  auto model = makeModel();
  model->syncClock();
  model->addHalvernRemap();
  EXPECT_EQ(storedRemaps(), encodeKeyRemaps({remap(0x39, 0xE0)}));
  waitUntilIdle(*model);
  EXPECT_EQ(model->message(), "Uhr synchronisiert");
  EXPECT_EQ(recordedArguments(), QStringList{"<not run>"});
}

}  // namespace
}  // namespace zepa::test
