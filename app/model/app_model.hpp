// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>

#include "app/model/profile_store.hpp"
#include "app/model/settings_store.hpp"
#include "protocol/effect_maps.hpp"
#include "protocol/halvern_records.hpp"
#include "protocol/hid/hid.hpp"
#include "protocol/pacing.hpp"
#include "protocol/records.hpp"

namespace zepa {

class ZEPADevice;
class HalvernDevice;

// The keyboard family the window works on.
enum class SupportedKeyboard { zepa, halvern };

std::span<const SupportedKeyboard> allSupportedKeyboards();  // zepa, then halvern
std::string_view rawValue(SupportedKeyboard keyboard);       // "zepa" / "halvern"
std::optional<SupportedKeyboard> supportedKeyboardFromRaw(std::string_view raw);
QString displayName(SupportedKeyboard keyboard);  // "ZEPA VX10" / "Halvern Corvane Pro 108"

using KeySelection = std::set<std::uint8_t>;
using KeyRemaps = std::vector<KeyRemap>;
using KeyboardList = std::vector<SupportedKeyboard>;

// Everything the model reaches outside itself, so tests and --device-root runs choose their own.
struct ModelEnvironment {
  std::shared_ptr<hid::Backend> backend;
  Sleeper sleeper = realSleeper();
  Calendar calendar = systemCalendar();
  // The key-map tool; empty means zepa-keymap beside the running program.
  QString keymapProgram;
  // Arguments before the five of the key-map call, e.g. {"--device-root", DIR}.
  QStringList keymapArguments;
};

// The real hidraw backend and key-map tool; a non-empty deviceRoot is passed on to both.
ModelEnvironment systemEnvironment(const QString& deviceRoot = {});

// The application's single state object. Lives on the main thread; every property setter
// notifies, also when the value does not change, so views can simply re-read.
class AppModel : public QObject {
  Q_OBJECT

  Q_PROPERTY(bool connected READ connected WRITE setConnected NOTIFY connectedChanged)
  Q_PROPERTY(
      bool zepaConnected READ zepaConnected WRITE setZepaConnected NOTIFY zepaConnectedChanged)
  Q_PROPERTY(bool halvernConnected READ halvernConnected WRITE setHalvernConnected NOTIFY
                 halvernConnectedChanged)
  Q_PROPERTY(zepa::SupportedKeyboard selectedKeyboard READ selectedKeyboard WRITE
                 setSelectedKeyboard NOTIFY selectedKeyboardChanged)
  Q_PROPERTY(bool busy READ busy WRITE setBusy NOTIFY busyChanged)
  Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY messageChanged)
  Q_PROPERTY(std::optional<QString> errorMessage READ errorMessage WRITE setErrorMessage NOTIFY
                 errorMessageChanged)
  Q_PROPERTY(bool showAbout READ showAbout WRITE setShowAbout NOTIFY showAboutChanged)
  Q_PROPERTY(bool showCalibration READ showCalibration WRITE setShowCalibration NOTIFY
                 showCalibrationChanged)
  Q_PROPERTY(zepa::ZEPAProfile profile READ profile WRITE setProfile NOTIFY profileChanged)
  Q_PROPERTY(
      QColor selectedColor READ selectedColor WRITE setSelectedColor NOTIFY selectedColorChanged)
  Q_PROPERTY(QColor halvernSelectedColor READ halvernSelectedColor WRITE setHalvernSelectedColor
                 NOTIFY halvernSelectedColorChanged)
  Q_PROPERTY(zepa::HalvernLightingConfig halvernLighting READ halvernLighting WRITE
                 setHalvernLighting NOTIFY halvernLightingChanged)
  Q_PROPERTY(zepa::KeyRemaps halvernRemaps READ halvernRemaps WRITE setHalvernRemaps NOTIFY
                 halvernRemapsChanged)
  Q_PROPERTY(zepa::KeySelection selectedKeys READ selectedKeys WRITE setSelectedKeys NOTIFY
                 selectedKeysChanged)
  Q_PROPERTY(quint8 sourceIndex READ sourceIndex WRITE setSourceIndex NOTIFY sourceIndexChanged)
  Q_PROPERTY(quint8 targetIndex READ targetIndex WRITE setTargetIndex NOTIFY targetIndexChanged)
  Q_PROPERTY(quint8 halvernSourceHID READ halvernSourceHID WRITE setHalvernSourceHID NOTIFY
                 halvernSourceHIDChanged)
  Q_PROPERTY(quint8 halvernTargetHID READ halvernTargetHID WRITE setHalvernTargetHID NOTIFY
                 halvernTargetHIDChanged)
  Q_PROPERTY(bool autoClock READ autoClock WRITE setAutoClock NOTIFY autoClockChanged)
  Q_PROPERTY(bool autoApply READ autoApply WRITE setAutoApply NOTIFY autoApplyChanged)
  Q_PROPERTY(
      zepa::EffectNames customEffectNames READ customEffectNames NOTIFY customEffectNamesChanged)
  Q_PROPERTY(zepa::EffectSemanticMap effectSemanticMap READ effectSemanticMap NOTIFY
                 effectSemanticMapChanged)
  Q_PROPERTY(int effectNamesRevision READ effectNamesRevision NOTIFY effectNamesRevisionChanged)
  Q_PROPERTY(zepa::KeyboardList connectedKeyboards READ connectedKeyboards NOTIFY
                 connectedKeyboardsChanged)
  Q_PROPERTY(
      QString selectedKeyboardName READ selectedKeyboardName NOTIFY selectedKeyboardNameChanged)

 public:
  // Loads the profile and stored settings, migrates effect names and detects both keyboards.
  explicit AppModel(ModelEnvironment env, QObject* parent = nullptr);
  ~AppModel() override;

  // Published state.
  bool connected() const { return connected_; }
  void setConnected(bool value);
  bool zepaConnected() const { return zepaConnected_; }
  void setZepaConnected(bool value);
  bool halvernConnected() const { return halvernConnected_; }
  void setHalvernConnected(bool value);
  SupportedKeyboard selectedKeyboard() const { return selectedKeyboard_; }
  void setSelectedKeyboard(SupportedKeyboard value);
  bool busy() const { return busy_; }
  void setBusy(bool value);
  const QString& message() const { return message_; }
  void setMessage(const QString& value);
  const std::optional<QString>& errorMessage() const { return errorMessage_; }
  void setErrorMessage(const std::optional<QString>& value);
  bool showAbout() const { return showAbout_; }
  void setShowAbout(bool value);
  bool showCalibration() const { return showCalibration_; }
  void setShowCalibration(bool value);
  const ZEPAProfile& profile() const { return profile_; }
  void setProfile(const ZEPAProfile& value);
  // Changes the profile in place (e.g. one lighting field) and notifies once.
  void editProfile(const std::function<void(ZEPAProfile&)>& edit);
  const QColor& selectedColor() const { return selectedColor_; }
  void setSelectedColor(const QColor& value);
  const QColor& halvernSelectedColor() const { return halvernSelectedColor_; }
  void setHalvernSelectedColor(const QColor& value);
  const HalvernLightingConfig& halvernLighting() const { return halvernLighting_; }
  void setHalvernLighting(const HalvernLightingConfig& value);
  void editHalvernLighting(const std::function<void(HalvernLightingConfig&)>& edit);
  const KeyRemaps& halvernRemaps() const { return halvernRemaps_; }
  void setHalvernRemaps(const KeyRemaps& value);
  const KeySelection& selectedKeys() const { return selectedKeys_; }
  void setSelectedKeys(const KeySelection& value);
  quint8 sourceIndex() const { return sourceIndex_; }
  void setSourceIndex(quint8 value);
  quint8 targetIndex() const { return targetIndex_; }
  void setTargetIndex(quint8 value);
  quint8 halvernSourceHID() const { return halvernSourceHID_; }
  void setHalvernSourceHID(quint8 value);
  quint8 halvernTargetHID() const { return halvernTargetHID_; }
  void setHalvernTargetHID(quint8 value);

  // Start-up options, read from and written to the store on every access.
  bool autoClock() const;
  void setAutoClock(bool value);
  bool autoApply() const;
  void setAutoApply(bool value);

  // Effect naming state; changed only through setCustomEffectName / resetCustomEffectNames.
  const EffectNames& customEffectNames() const { return customEffectNames_; }
  const EffectSemanticMap& effectSemanticMap() const { return effectSemanticMap_; }
  int effectNamesRevision() const { return effectNamesRevision_; }

  // Detection.
  KeyboardList connectedKeyboards() const;
  QString selectedKeyboardName() const;

  // Effect naming and calibration.
  // The effect an ID really shows: the recorded one, else the mode itself.
  LightingMode semanticMode(LightingMode mode) const;
  // Same by firmware ID; an ID outside 0-19 without a valid entry counts as off.
  LightingMode semanticMode(int id) const;
  Q_INVOKABLE QString effectDisplayName(zepa::LightingMode mode,
                                        std::optional<std::uint8_t> direction) const;
  Q_INVOKABLE std::vector<int> assignedFirmwareIDs(zepa::LightingMode mode) const;
  Q_INVOKABLE QString assignmentName(int id) const;

  // Colour conversions between the picker and the keyboards.
  static RGBColor colorValue(const QColor& color);
  static QColor displayColor(const RGBColor& color);

 public slots:
  void refreshConnection();
  void startup();

  // First keyboard.
  void applyLighting();
  void applyPerKey();
  void clearPerKey();
  void syncClock();
  void addRemap();
  void applyRemaps();
  void resetRemaps();

  // Halvern keyboard.
  void applyHalvernLighting();
  void addHalvernRemap();
  // Public because the remap view's remove and reset actions edit the list directly and must
  // store it before applying.
  void saveHalvernRemaps();
  void applyHalvernRemaps();

  // Effect naming.
  void setCustomEffectName(const QString& name, int id);
  void resetCustomEffectNames();
  void previewEffect(int id);
  // Ends the calibration walk: closes it and sends the profile's lighting again in place of
  // the test effect, after the preview still being sent if there is one.
  void finishCalibration();

  // Writes the profile file; failures are silent.
  void save();

 signals:
  void connectedChanged();
  void zepaConnectedChanged();
  void halvernConnectedChanged();
  void selectedKeyboardChanged();
  void busyChanged();
  void messageChanged();
  void errorMessageChanged();
  void showAboutChanged();
  void showCalibrationChanged();
  void profileChanged();
  void selectedColorChanged();
  void halvernSelectedColorChanged();
  void halvernLightingChanged();
  void halvernRemapsChanged();
  void selectedKeysChanged();
  void sourceIndexChanged();
  void targetIndexChanged();
  void halvernSourceHIDChanged();
  void halvernTargetHIDChanged();
  void autoClockChanged();
  void autoApplyChanged();
  void customEffectNamesChanged();
  void effectSemanticMapChanged();
  void effectNamesRevisionChanged();
  void connectedKeyboardsChanged();
  void selectedKeyboardNameChanged();

 private:
  using ZEPAOperation = std::function<void(ZEPADevice&)>;
  using HalvernOperation = std::function<void(HalvernDevice&)>;

  void run(const QString& successMessage, ZEPAOperation operation);
  void runHalvern(const QString& successMessage, HalvernOperation operation);
  // Starts a runner: false when one is already in progress.
  bool beginOperation(const QString& workingMessage);
  void finishWithFailure(const QString& description, bool refresh);
  void setCustomEffectNamesValue(EffectNames value);
  void setEffectSemanticMapValue(EffectSemanticMap value);
  void bumpEffectNamesRevision();
  void migrateEffectNames();
  // Keeps stored files that cannot be read and words what became of them.
  void keepUnreadableStores();

  ModelEnvironment env_;
  SettingsStore settings_{SettingsStore::Writes::background};
  ProfileStore profileStore_;

  bool connected_ = false;
  bool zepaConnected_ = false;
  bool halvernConnected_ = false;
  SupportedKeyboard selectedKeyboard_ = SupportedKeyboard::zepa;
  bool busy_ = false;
  QString message_;
  std::optional<QString> errorMessage_;
  bool showAbout_ = false;
  bool showCalibration_ = false;
  ZEPAProfile profile_;
  QColor selectedColor_;
  QColor halvernSelectedColor_;
  HalvernLightingConfig halvernLighting_;
  KeyRemaps halvernRemaps_;
  KeySelection selectedKeys_;
  quint8 sourceIndex_ = 55;         // "Caps"
  quint8 targetIndex_ = 91;         // "Ctrl L"
  quint8 halvernSourceHID_ = 0x39;  // Caps Lock
  quint8 halvernTargetHID_ = 0xE0;  // Left Control
  bool didRunStartup_ = false;
  std::optional<QString> storeNotice_;  // shown in the alert once, at start-up
  EffectNames customEffectNames_;
  EffectSemanticMap effectSemanticMap_;
  int effectNamesRevision_ = 0;
};

}  // namespace zepa
