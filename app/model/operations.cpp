// SPDX-License-Identifier: MIT
#include <algorithm>
#include <chrono>
#include <map>

#include "app/model/app_model.hpp"
#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"
#include "protocol/zepa_key_map.hpp"

// The keyboard operations behind the views' buttons. Each prepares its values here on the main
// thread; the device work gets copies only.
namespace zepa {

void AppModel::applyLighting() {
  editProfile([&](ZEPAProfile& p) { p.lighting.color = colorValue(selectedColor_); });
  const LightingConfig lighting = profile_.lighting;
  run(QStringLiteral("Beleuchtung aktualisiert"),
      [lighting](ZEPADevice& device) { device.setLighting(lighting); });
}

void AppModel::applyPerKey() {
  const RGBColor color = colorValue(selectedColor_);
  // One colour per key; a hand-edited file naming a key twice keeps its last entry.
  std::map<std::uint8_t, KeyColor> byIndex;
  for (const KeyColor& entry : profile_.keyColors) byIndex.insert_or_assign(entry.index, entry);
  for (std::uint8_t index : selectedKeys_) byIndex.insert_or_assign(index, KeyColor{index, color});
  std::vector<KeyColor> colors;
  colors.reserve(byIndex.size());
  for (const auto& [index, entry] : byIndex) colors.push_back(entry);

  editProfile([&](ZEPAProfile& p) { p.keyColors = colors; });
  const std::uint8_t brightness = profile_.lighting.brightness;
  run(QStringLiteral("Einzeltastenfarben aktualisiert"),
      [colors, brightness](ZEPADevice& device) { device.setPerKeyRGB(colors, brightness); });
}

void AppModel::clearPerKey() {
  editProfile([](ZEPAProfile& p) { p.keyColors.clear(); });
  const std::uint8_t brightness = profile_.lighting.brightness;
  run(QStringLiteral("Einzeltastenfarben gelöscht"),
      [brightness](ZEPADevice& device) { device.setPerKeyRGB({}, brightness); });
}

void AppModel::syncClock() {
  // The time is taken when the work runs, not when the button was pressed.
  run(QStringLiteral("Uhr synchronisiert"),
      [](ZEPADevice& device) { device.syncClock(std::chrono::system_clock::now(), 1); });
}

void AppModel::addRemap() {
  const ZEPAKey* target = ZEPAKeyMap::key(targetIndex_);
  if (!target) return;
  KeyRemap remap{sourceIndex_, RemapAction::key, 0, 0, 0};
  if (const auto bit = ZEPAKeyMap::modifierBit(target->hid)) {
    remap.param1 = *bit;
  } else {
    remap.param2 = target->hid;
  }
  editProfile([&](ZEPAProfile& p) {
    std::erase_if(p.remaps, [&](const KeyRemap& r) { return r.sourceIndex == remap.sourceIndex; });
    p.remaps.push_back(remap);
  });
  applyRemaps();
}

void AppModel::applyRemaps() {
  const std::vector<KeyRemap> remaps = profile_.remaps;
  run(QStringLiteral("Tastenbelegung aktualisiert"),
      [remaps](ZEPADevice& device) { device.setRemaps(remaps, false); });
}

void AppModel::resetRemaps() {
  editProfile([](ZEPAProfile& p) { p.remaps.clear(); });
  applyRemaps();
}

void AppModel::startup() {
  // Marked before any check, so a start-up with nothing to do is not tried again.
  if (didRunStartup_) return;
  didRunStartup_ = true;
  if (!zepaConnected_) return;
  const bool clock = autoClock();
  const bool apply = autoApply();
  if (!clock && !apply) return;

  std::optional<LightingConfig> lighting;
  if (apply) lighting = profile_.lighting;
  const QString message = clock && apply ? QStringLiteral("Uhr und Profil synchronisiert")
                          : clock        ? QStringLiteral("Uhr synchronisiert")
                                         : QStringLiteral("Profil angewendet");
  run(message, [clock, lighting](ZEPADevice& device) {
    if (clock) device.syncClock(std::chrono::system_clock::now(), 1);
    if (lighting) device.setLighting(*lighting);
  });
  // Starting the operation cleared the alert; what became of an unreadable store must still
  // reach the user.
  if (storeNotice_) setErrorMessage(*storeNotice_);
}

void AppModel::applyHalvernLighting() {
  if (halvernLighting_.effect == HalvernEffect::staticColor) {
    editHalvernLighting([](HalvernLightingConfig& l) { l.colorful = false; });
  }
  editHalvernLighting(
      [&](HalvernLightingConfig& l) { l.color = colorValue(halvernSelectedColor_); });
  const HalvernLightingConfig lighting = halvernLighting_;
  runHalvern(QStringLiteral("Halvern-Beleuchtung aktualisiert"),
             [lighting](HalvernDevice& device) { device.setLighting(lighting); });
}

void AppModel::addHalvernRemap() {
  KeyRemaps remaps = halvernRemaps_;
  std::erase_if(remaps, [&](const KeyRemap& r) { return r.sourceIndex == halvernSourceHID_; });
  remaps.push_back(KeyRemap{halvernSourceHID_, RemapAction::key, 0, halvernTargetHID_, 0});
  std::stable_sort(remaps.begin(), remaps.end(), [](const KeyRemap& a, const KeyRemap& b) {
    return a.sourceIndex < b.sourceIndex;
  });
  setHalvernRemaps(remaps);
  saveHalvernRemaps();
  applyHalvernRemaps();
}

void AppModel::saveHalvernRemaps() {
  settings_.setHalvernRemaps(halvernRemaps_);
}

}  // namespace zepa
