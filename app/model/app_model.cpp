// SPDX-License-Identifier: MIT
#include "app/model/app_model.hpp"

#include <array>
#include <cmath>

#include <QCoreApplication>
#include <QStringList>

#include "app/model/unreadable_file.hpp"
#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"

namespace zepa {

namespace {
constexpr std::array<SupportedKeyboard, 2> supportedKeyboards{SupportedKeyboard::zepa,
                                                              SupportedKeyboard::halvern};
}  // namespace

std::span<const SupportedKeyboard> allSupportedKeyboards() {
  return supportedKeyboards;
}

std::string_view rawValue(SupportedKeyboard keyboard) {
  return keyboard == SupportedKeyboard::zepa ? "zepa" : "halvern";
}

std::optional<SupportedKeyboard> supportedKeyboardFromRaw(std::string_view raw) {
  for (SupportedKeyboard keyboard : supportedKeyboards) {
    if (rawValue(keyboard) == raw) return keyboard;
  }
  return std::nullopt;
}

QString displayName(SupportedKeyboard keyboard) {
  return keyboard == SupportedKeyboard::zepa ? QStringLiteral("ZEPA VX10")
                                             : QStringLiteral("Halvern Corvane Pro 108");
}

ModelEnvironment systemEnvironment(const QString& deviceRoot) {
  ModelEnvironment env;
  if (deviceRoot.isEmpty()) {
    env.backend = hid::makeHidrawBackend();
  } else {
    env.backend = hid::makeHidrawBackend(deviceRoot.toStdString());
    env.keymapArguments = {QStringLiteral("--device-root"), deviceRoot};
  }
  return env;
}

AppModel::AppModel(ModelEnvironment env, QObject* parent)
    : QObject(parent),
      env_(std::move(env)),
      message_(QStringLiteral("Bereit")),
      halvernLighting_(SettingsStore::defaultHalvernLighting()) {
  if (!env_.backend) env_.backend = hid::makeHidrawBackend();
  if (env_.keymapProgram.isEmpty()) {
    env_.keymapProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/zepa-keymap");
  }

  // A folder that cannot be made only means the profile will not be saved.
  profileStore_.createFolder();
  profileStore_.removeAbandonedSaves();
  keepUnreadableStores();

  halvernLighting_ = settings_.halvernLighting();
  halvernRemaps_ = settings_.halvernRemaps();
  if (auto names = settings_.customEffectNames()) customEffectNames_ = std::move(*names);
  if (auto map = settings_.effectSemanticMap()) effectSemanticMap_ = std::move(*map);
  migrateEffectNames();

  selectedColor_ = displayColor(profile_.lighting.color);
  halvernSelectedColor_ = displayColor(halvernLighting_.color);

  refreshConnection();
}

AppModel::~AppModel() = default;

void AppModel::keepUnreadableStores() {
  QStringList notices;
  ProfileStore::Loaded loaded = profileStore_.read();
  profile_ = loaded.profile.value_or(ZEPAProfile::makeDefault());
  if (loaded.unreadable) {
    const QString aside = UnreadableFile::moveAside(profileStore_.path());
    notices << (aside.isEmpty()
                    ? QStringLiteral("Das gespeicherte Profil „%1“ kann nicht gelesen und nicht "
                                     "beiseitegelegt werden. Es gilt das Standardprofil; "
                                     "Änderungen werden erst gespeichert, wenn die Datei "
                                     "entfernt oder lesbar ist.")
                          .arg(profileStore_.path())
                    : QStringLiteral("Das gespeicherte Profil konnte nicht gelesen werden. Die "
                                     "Datei liegt unverändert unter „%1“; es gilt das "
                                     "Standardprofil.")
                          .arg(aside));
  }
  if (settings_.damaged()) {
    const QString aside = settings_.keepDamagedFileAside();
    notices << (aside.isEmpty()
                    ? QStringLiteral("Die Einstellungsdatei „%1“ kann nicht vollständig gelesen "
                                     "und nicht kopiert werden. Es gelten die Standardwerte; "
                                     "Einstellungen werden nicht gespeichert.")
                          .arg(SettingsStore::filePath())
                    : QStringLiteral("Die Einstellungsdatei konnte nicht vollständig gelesen "
                                     "werden. Eine unveränderte Kopie liegt unter „%1“; für "
                                     "nicht lesbare Werte gelten die Standardwerte.")
                          .arg(aside));
  }
  if (!notices.isEmpty()) {
    storeNotice_ = notices.join(QLatin1Char(' '));
    errorMessage_ = storeNotice_;
  }
}

// Every setter notifies even when the value is unchanged: views re-read on each notification.

void AppModel::setConnected(bool value) {
  connected_ = value;
  emit connectedChanged();
}

void AppModel::setZepaConnected(bool value) {
  zepaConnected_ = value;
  emit zepaConnectedChanged();
  emit connectedKeyboardsChanged();
}

void AppModel::setHalvernConnected(bool value) {
  halvernConnected_ = value;
  emit halvernConnectedChanged();
  emit connectedKeyboardsChanged();
}

void AppModel::setSelectedKeyboard(SupportedKeyboard value) {
  selectedKeyboard_ = value;
  emit selectedKeyboardChanged();
  emit selectedKeyboardNameChanged();
}

void AppModel::setBusy(bool value) {
  busy_ = value;
  emit busyChanged();
}

void AppModel::setMessage(const QString& value) {
  message_ = value;
  emit messageChanged();
}

void AppModel::setErrorMessage(const std::optional<QString>& value) {
  errorMessage_ = value;
  emit errorMessageChanged();
}

void AppModel::setShowAbout(bool value) {
  showAbout_ = value;
  emit showAboutChanged();
}

void AppModel::setShowCalibration(bool value) {
  showCalibration_ = value;
  emit showCalibrationChanged();
}

void AppModel::setProfile(const ZEPAProfile& value) {
  profile_ = value;
  emit profileChanged();
}

void AppModel::editProfile(const std::function<void(ZEPAProfile&)>& edit) {
  edit(profile_);
  emit profileChanged();
}

void AppModel::setSelectedColor(const QColor& value) {
  selectedColor_ = value;
  emit selectedColorChanged();
}

void AppModel::setHalvernSelectedColor(const QColor& value) {
  halvernSelectedColor_ = value;
  emit halvernSelectedColorChanged();
}

void AppModel::setHalvernLighting(const HalvernLightingConfig& value) {
  halvernLighting_ = value;
  emit halvernLightingChanged();
}

void AppModel::editHalvernLighting(const std::function<void(HalvernLightingConfig&)>& edit) {
  edit(halvernLighting_);
  emit halvernLightingChanged();
}

void AppModel::setHalvernRemaps(const KeyRemaps& value) {
  halvernRemaps_ = value;
  emit halvernRemapsChanged();
}

void AppModel::setSelectedKeys(const KeySelection& value) {
  selectedKeys_ = value;
  emit selectedKeysChanged();
}

void AppModel::setSourceIndex(quint8 value) {
  sourceIndex_ = value;
  emit sourceIndexChanged();
}

void AppModel::setTargetIndex(quint8 value) {
  targetIndex_ = value;
  emit targetIndexChanged();
}

void AppModel::setHalvernSourceHID(quint8 value) {
  halvernSourceHID_ = value;
  emit halvernSourceHIDChanged();
}

void AppModel::setHalvernTargetHID(quint8 value) {
  halvernTargetHID_ = value;
  emit halvernTargetHIDChanged();
}

bool AppModel::autoClock() const {
  return settings_.autoClock();
}

void AppModel::setAutoClock(bool value) {
  settings_.setAutoClock(value);
  emit autoClockChanged();
}

bool AppModel::autoApply() const {
  return settings_.autoApply();
}

void AppModel::setAutoApply(bool value) {
  settings_.setAutoApply(value);
  emit autoApplyChanged();
}

KeyboardList AppModel::connectedKeyboards() const {
  KeyboardList list;
  if (zepaConnected_) list.push_back(SupportedKeyboard::zepa);
  if (halvernConnected_) list.push_back(SupportedKeyboard::halvern);
  return list;
}

QString AppModel::selectedKeyboardName() const {
  return displayName(selectedKeyboard_);
}

void AppModel::refreshConnection() {
  // Discovery only: the device objects are dropped at once and never open the interface.
  const auto found = [](const auto& construct) {
    try {
      construct();
      return true;
    } catch (...) {
      return false;
    }
  };
  setZepaConnected(found([&] { ZEPADevice device(env_.backend, env_.sleeper, env_.calendar); }));
  setHalvernConnected(found([&] { HalvernDevice device(env_.backend, env_.sleeper); }));

  if (selectedKeyboard_ == SupportedKeyboard::zepa && !zepaConnected_ && halvernConnected_) {
    setSelectedKeyboard(SupportedKeyboard::halvern);
  }
  if (selectedKeyboard_ == SupportedKeyboard::halvern && !halvernConnected_ && zepaConnected_) {
    setSelectedKeyboard(SupportedKeyboard::zepa);
  }
  setConnected(selectedKeyboard_ == SupportedKeyboard::zepa ? zepaConnected_ : halvernConnected_);
}

void AppModel::save() {
  profileStore_.save(profile_);
}

namespace {

// One component times 255, clamped, not-a-number as full, truncated toward zero.
std::uint8_t colorByte(double scaled) {
  if (std::isnan(scaled) || scaled >= 255.0) return 255;
  if (scaled < 0.0) return 0;
  return static_cast<std::uint8_t>(scaled);
}

}  // namespace

RGBColor AppModel::colorValue(const QColor& color) {
  if (!color.isValid()) return RGBColor{0, 255, 255};
  // Extended colours carry their own floats, which may lie outside 0-1 or be NaN; toRgb()
  // would clamp those away before the rules above could apply.
  if (color.spec() == QColor::ExtendedRgb) {
    return RGBColor{colorByte(double(color.redF()) * 255.0),
                    colorByte(double(color.greenF()) * 255.0),
                    colorByte(double(color.blueF()) * 255.0)};
  }
  // From the 16-bit components: c / 65535 × 255 is exact for the c = byte × 257 that a
  // display colour holds, so byte → display colour → byte never loses one to truncation.
  const QRgba64 rgb = color.toRgb().rgba64();
  const auto scale = [](quint16 component) { return double(component) * 255.0 / 65535.0; };
  return RGBColor{colorByte(scale(rgb.red())), colorByte(scale(rgb.green())),
                  colorByte(scale(rgb.blue()))};
}

QColor AppModel::displayColor(const RGBColor& color) {
  return QColor::fromRgbF(static_cast<float>(color.red / 255.0),
                          static_cast<float>(color.green / 255.0),
                          static_cast<float>(color.blue / 255.0));
}

}  // namespace zepa
