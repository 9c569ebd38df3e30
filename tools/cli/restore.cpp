// SPDX-License-Identifier: MIT
#include "tools/cli/restore.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include <QFileInfo>

#include "app/model/halvern_key_mapping.hpp"
#include "app/model/profile_store.hpp"
#include "app/model/settings_store.hpp"
#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"
#include "tools/cli/keymap_tool.hpp"
#include "tools/cli/transfer_progress.hpp"

namespace zepa::cli {

namespace {

constexpr const char* zepaName = "ZEPA VX10";
constexpr const char* halvernName = "Halvern Corvane Pro 108";

// One line per step; remembers whether any step failed.
class StepLines {
 public:
  explicit StepLines(DeviceContext& context) : context_(context) {}

  void note(const char* keyboard, const std::string& text) {
    context_.out << keyboard << ": " << text << '\n' << std::flush;
  }
  void fail(const char* keyboard, const std::string& text) {
    failed_ = true;
    context_.err << keyboard << ": " << text << '\n' << std::flush;
  }
  // Runs one step and writes its line.
  void step(const char* keyboard, const char* what, const std::function<void()>& work) {
    if (auto failure = failureText(work)) {
      fail(keyboard, std::string(what) + " fehlgeschlagen: " + *failure);
    } else {
      note(keyboard, std::string(what) + " wiederhergestellt");
    }
  }
  bool failed() const { return failed_; }

 private:
  DeviceContext& context_;
  bool failed_ = false;
};

// The device keeps the sleeper it was made with; this lets each step choose its own, so the
// long transfers can show their progress.
class StepSleeper {
 public:
  explicit StepSleeper(Sleeper base) : base_(base), current_(std::move(base)) {}
  Sleeper forwarding() {
    return [this](std::chrono::microseconds pause) { return current_(pause); };
  }
  template <typename Work>
  void run(DeviceContext& context, const char* label, int pauses, Work&& work) {
    if (!context.showProgress) {
      work();
      return;
    }
    TransferProgress progress(context.err, label, pauses);
    current_ = progress.wrap(base_);
    try {
      work();
    } catch (...) {
      current_ = base_;
      progress.finish(false);
      throw;
    }
    current_ = base_;
    progress.finish(true);
  }

 private:
  Sleeper base_;
  Sleeper current_;
};

void restoreZepa(DeviceContext& context, StepLines& lines) {
  StepSleeper sleeper(context.sleeper);
  std::unique_ptr<ZEPADevice> device;
  try {
    device = std::make_unique<ZEPADevice>(context.backend, sleeper.forwarding(), context.calendar);
  } catch (const ZEPAError& error) {
    if (error.kind() == ZEPAError::Kind::notFound) {
      lines.note(zepaName, "nicht angeschlossen, übersprungen");
    } else {
      lines.fail(zepaName, error.description());
    }
    return;
  }

  const ProfileStore store;
  if (!QFileInfo::exists(store.path())) {
    lines.note(zepaName, "kein gespeichertes Profil, übersprungen");
    return;
  }
  // A damaged file is not replaced by the default profile here: that would overwrite the
  // keyboard with settings the user never chose.
  const std::optional<ZEPAProfile> profile = store.load();
  if (!profile) {
    lines.fail(zepaName, "Das gespeicherte Profil " + store.path().toStdString() +
                             " kann nicht gelesen werden; nichts wurde gesendet.");
    return;
  }

  lines.step(zepaName, "Beleuchtung", [&] { device->setLighting(profile->lighting); });
  // The per-key mode replaces the lighting effect, so an empty list would turn every key off
  // instead of restoring anything.
  if (profile->keyColors.empty()) {
    lines.note(zepaName, "keine Einzeltastenfarben gespeichert");
  } else {
    std::vector<KeyColor> colors = profile->keyColors;
    std::stable_sort(colors.begin(), colors.end(),
                     [](const KeyColor& a, const KeyColor& b) { return a.index < b.index; });
    lines.step(zepaName, "Einzeltastenfarben", [&] {
      sleeper.run(context, "Einzeltastenfarben werden übertragen", perKeyPauses,
                  [&] { device->setPerKeyRGB(colors, profile->lighting.brightness); });
    });
  }
  lines.step(zepaName, "Tastenbelegung", [&] {
    sleeper.run(context, "Tastenbelegung wird übertragen", remapPauses,
                [&] { device->setRemaps(profile->remaps, false); });
  });
}

void restoreHalvernLighting(DeviceContext& context, const SettingsStore& settings,
                            StepLines& lines) {
  if (!settings.contains(SettingsStore::halvernLightingKey)) {
    lines.note(halvernName, "keine gespeicherte Beleuchtung");
    return;
  }
  const auto stored = settings.data(SettingsStore::halvernLightingKey);
  const auto config = stored ? decodeHalvernLighting(view(*stored)) : std::nullopt;
  if (!config) {
    lines.fail(halvernName,
               "Die gespeicherte Beleuchtung kann nicht gelesen werden; nichts wurde "
               "gesendet.");
    return;
  }
  lines.step(halvernName, "Beleuchtung",
             [&] { HalvernDevice(context.backend, context.sleeper).setLighting(*config); });
}

void restoreHalvernRemaps(const SettingsStore& settings, const RestoreTools& tools,
                          StepLines& lines) {
  std::optional<std::vector<KeyRemap>> remaps = std::vector<KeyRemap>{};
  if (settings.contains(SettingsStore::halvernRemapsKey)) {
    const auto stored = settings.data(SettingsStore::halvernRemapsKey);
    remaps = stored ? decodeKeyRemaps(view(*stored)) : std::nullopt;
  }
  if (!remaps) {
    lines.fail(halvernName,
               "Die gespeicherte Tastenbelegung kann nicht gelesen werden; nichts "
               "wurde angewendet.");
    return;
  }
  // Linux starts a plugged-in keyboard with its default map, which is what an empty list
  // means; writing it would only need the input node's permission for nothing.
  if (remaps->empty()) {
    lines.note(halvernName, "keine gespeicherte Tastenbelegung");
    return;
  }
  std::vector<std::string> arguments = tools.keymapPrefix;
  arguments.insert(arguments.end(), {"property", "--matching", HalvernKeyMapping::matching, "--set",
                                     HalvernKeyMapping::property(*remaps)});
  if (auto failure = runKeymapTool(tools.keymapProgram, arguments)) {
    lines.fail(halvernName, "Tastenbelegung fehlgeschlagen: " + *failure);
  } else {
    lines.note(halvernName, "Tastenbelegung wiederhergestellt");
  }
}

void restoreHalvern(DeviceContext& context, const RestoreTools& tools, StepLines& lines) {
  try {
    HalvernDevice probe(context.backend, context.sleeper);
  } catch (const ZEPAError& error) {
    // The Halvern device reports a missing keyboard in words of its own.
    if (error.kind() == ZEPAError::Kind::invalid) {
      lines.note(halvernName, "nicht angeschlossen, übersprungen");
    } else {
      lines.fail(halvernName, error.description());
    }
    return;
  }
  const SettingsStore settings;
  // Values missing from a file that cannot be fully read may just not have been understood;
  // "nothing stored" would be a guess.
  if (settings.damaged()) {
    lines.fail(halvernName, "Die Einstellungsdatei " + SettingsStore::filePath().toStdString() +
                                " kann nicht vollständig gelesen werden; nichts wurde gesendet.");
    return;
  }
  restoreHalvernLighting(context, settings, lines);
  restoreHalvernRemaps(settings, tools, lines);
}

}  // namespace

int restoreStoredSettings(DeviceContext& context, const RestoreTools& tools) {
  StepLines lines(context);
  restoreZepa(context, lines);
  restoreHalvern(context, tools, lines);
  return lines.failed() ? 1 : 0;
}

}  // namespace zepa::cli
