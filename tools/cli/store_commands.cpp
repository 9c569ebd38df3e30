// SPDX-License-Identifier: MIT
#include "tools/cli/store_commands.hpp"

#include <algorithm>
#include <fstream>

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "app/model/halvern_key_mapping.hpp"
#include "app/model/profile_store.hpp"
#include "app/model/settings_store.hpp"
#include "tools/cli/cli_names.hpp"
#include "tools/cli/keymap_tool.hpp"

namespace zepa::cli {

namespace {

// Larger files are not profiles; reading them whole would only cost memory.
constexpr qint64 largestProfile = 1024 * 1024;

std::string path(const ProfileStore& store) {
  return store.path().toStdString();
}

// The stored profile to change, or the reason it may not be changed.
std::optional<ZEPAProfile> storedProfile(std::string& problem) {
  const ProfileStore profiles;
  if (!QFileInfo::exists(profiles.path())) return ZEPAProfile::makeDefault();
  auto profile = profiles.load();
  if (!profile) {
    problem = "Das gespeicherte Profil " + path(profiles) +
              " kann nicht gelesen werden; es wird nicht überschrieben und nichts wurde gesendet.";
  }
  return profile;
}

std::optional<std::string> checkProfile() {
  std::string problem;
  if (!storedProfile(problem)) return problem;
  return std::nullopt;
}

template <typename Edit>
std::optional<std::string> editProfile(Edit edit) {
  std::string problem;
  auto profile = storedProfile(problem);
  if (!profile) return problem;
  edit(*profile);
  const ProfileStore profiles;
  if (!profiles.createFolder() || !profiles.save(*profile)) {
    return "Das Profil " + path(profiles) + " konnte nicht gespeichert werden.";
  }
  return std::nullopt;
}

std::string settingsPath() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZEPA Control"),
                   QStringLiteral("ZEPA Control"))
      .fileName()
      .toStdString();
}

// Written settings reach the file at once, so a failure shows here and not at exit.
std::optional<std::string> settingsWritten() {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZEPA Control"),
                     QStringLiteral("ZEPA Control"));
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    return "Die Einstellungen " + settingsPath() + " konnten nicht gespeichert werden.";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> checkStore(const ZEPALightingRequest&) {
  return checkProfile();
}
std::optional<std::string> checkStore(const ZEPAKeysRequest&) {
  return checkProfile();
}
std::optional<std::string> checkStore(const ZEPARemapRequest&) {
  return checkProfile();
}
std::optional<std::string> checkStore(const HalvernLightingRequest&) {
  return std::nullopt;
}
std::optional<std::string> checkStore(const HalvernRemapRequest&) {
  return std::nullopt;
}

std::optional<std::string> store(const ZEPALightingRequest& request) {
  return editProfile([&](ZEPAProfile& profile) { profile.lighting = request.config; });
}

// The window sends key colours with the profile's brightness, so that is where it goes.
std::optional<std::string> store(const ZEPAKeysRequest& request) {
  return editProfile([&](ZEPAProfile& profile) {
    profile.keyColors = request.colors;
    profile.lighting.brightness = request.brightness;
  });
}

std::optional<std::string> store(const ZEPARemapRequest& request) {
  return editProfile([&](ZEPAProfile& profile) { profile.remaps = request.remaps; });
}

std::optional<std::string> store(const HalvernLightingRequest& request) {
  SettingsStore().setHalvernLighting(request.config);
  return settingsWritten();
}

std::optional<std::string> store(const HalvernRemapRequest& request) {
  SettingsStore().setHalvernRemaps(request.remaps);
  return settingsWritten();
}

int run(DeviceContext& context, const HalvernRemapRequest& request, const RestoreTools& tools) {
  std::vector<std::string> arguments = tools.keymapPrefix;
  arguments.insert(arguments.end(), {"property", "--matching", HalvernKeyMapping::matching, "--set",
                                     HalvernKeyMapping::property(request.remaps)});
  if (auto failure = runKeymapTool(tools.keymapProgram, arguments)) {
    context.err << *failure << '\n';
    return 1;
  }
  return 0;
}

int run(DeviceContext& context, const ProfileExportRequest& request) {
  const ProfileStore profiles;
  if (!QFileInfo::exists(profiles.path())) {
    context.err << "Es ist kein Profil gespeichert (" << path(profiles) << ").\n";
    return 1;
  }
  const auto profile = profiles.load();
  if (!profile) {
    context.err << "Das gespeicherte Profil " << path(profiles) << " kann nicht gelesen werden.\n";
    return 1;
  }
  if (!ProfileStore(QString::fromStdString(request.file.string())).save(*profile)) {
    context.err << "Die Datei " << printable(request.file.string())
                << " konnte nicht geschrieben werden.\n";
    return 1;
  }
  return 0;
}

int run(DeviceContext& context, const ProfileImportRequest& request) {
  const std::string file = printable(request.file.string());
  QFile in(QString::fromStdString(request.file.string()));
  if (!in.open(QIODevice::ReadOnly)) {
    context.err << "Die Datei " << file << " kann nicht gelesen werden.\n";
    return 1;
  }
  const QByteArray text = in.read(largestProfile + 1);
  const auto profile = text.size() > largestProfile || in.error() != QFileDevice::NoError
                           ? std::nullopt
                           : decodeProfile(view(text));
  if (!profile) {
    context.err << "Die Datei " << file
                << " ist kein gültiges Profil; das gespeicherte Profil bleibt unverändert.\n";
    return 1;
  }
  const ProfileStore profiles;
  if (!profiles.createFolder() || !profiles.save(*profile)) {
    context.err << "Das Profil " << path(profiles) << " konnte nicht gespeichert werden.\n";
    return 1;
  }
  return 0;
}

std::vector<StoreState> storeStates() {
  std::vector<StoreState> states;
  const ProfileStore profiles;
  states.push_back({"Profil", path(profiles),
                    !QFileInfo::exists(profiles.path()) ? "fehlt"
                    : profiles.load()                   ? "lesbar"
                                                        : "nicht lesbar"});
  const std::string settings = settingsPath();
  std::string state = "fehlt";
  if (QFileInfo::exists(QString::fromStdString(settings))) {
    state = "lesbar";
    const SettingsStore store;
    const auto lighting = store.data(SettingsStore::halvernLightingKey);
    const auto remaps = store.data(SettingsStore::halvernRemapsKey);
    if ((lighting && !decodeHalvernLighting(view(*lighting))) ||
        (remaps && !decodeKeyRemaps(view(*remaps)))) {
      state = "nicht lesbar";
    }
  }
  states.push_back({"Einstellungen", settings, state});
  return states;
}

}  // namespace zepa::cli
