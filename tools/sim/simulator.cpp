// SPDX-License-Identifier: MIT
#include "tools/sim/simulator.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace zepa::sim {

namespace {

constexpr std::uint8_t zepaReport = 0;
constexpr std::uint8_t halvernReport = HalvernFirmware::reportID;
constexpr std::uint8_t halvernStatusReport = 5;
constexpr std::size_t halvernStatusSize = 6;

// The kernel refuses feature buffers below two bytes and above HID_MAX_BUFFER_SIZE, both ways.
constexpr std::size_t minBuffer = 2;
constexpr std::size_t maxBuffer = 16384;

std::vector<std::uint8_t> keycodeBytes(std::uint32_t keycode) {
  std::vector<std::uint8_t> bytes(sizeof keycode);
  std::memcpy(bytes.data(), &keycode, sizeof keycode);
  return bytes;
}

// input_scancode_to_scalar: the kernel takes 1, 2 or 4 bytes in native order.
std::optional<std::uint32_t> scancodeOf(const KeymapEntry& entry) {
  switch (entry.len) {
    case 1:
      return entry.scancode[0];
    case 2: {
      std::uint16_t value;
      std::memcpy(&value, entry.scancode, sizeof value);
      return value;
    }
    case 4: {
      std::uint32_t value;
      std::memcpy(&value, entry.scancode, sizeof value);
      return value;
    }
    default:
      return std::nullopt;
  }
}

void writeAtomically(const std::filesystem::path& path, const std::string& text) {
  // A reader never sees half a file: write beside it, then rename over it.
  const auto temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
}

}  // namespace

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)),
      tree_(buildTree(options_.zepa, options_.halvern, options_.extraDevices,
                      options_.inputPerApplication)) {
  for (const auto& text : options_.faults) faults_.add(text);
  for (const auto& interface : tree_.interfaces)
    if (interface.role == NodeRole::unrelatedKeyboard ||
        (interface.keyboard == Keyboard::zepa && interface.role == NodeRole::bootKeyboard))
      extraKeyMaps_[interface.hidraw];
}

const HidInterface* Simulator::findHidraw(std::string_view node) const {
  for (const auto& interface : tree_.interfaces)
    if (interface.hidrawNode() == node) return &interface;
  return nullptr;
}

const HidInterface* Simulator::findEvent(std::string_view node) const {
  for (const auto& interface : tree_.interfaces)
    for (const auto& input : interface.inputs)
      if (input.eventNode() == node) return &interface;
  return nullptr;
}

bool Simulator::attached(const HidInterface& interface) const {
  std::lock_guard lock(mutex_);
  return attachedLocked(interface);
}

bool Simulator::attachedLocked(const HidInterface& interface) const {
  return interface.keyboard == Keyboard::none || !unplugged_;
}

std::vector<HidInterface> Simulator::attachedInterfaces() const {
  std::lock_guard lock(mutex_);
  std::vector<HidInterface> list;
  for (const auto& interface : tree_.interfaces)
    if (attachedLocked(interface)) list.push_back(interface);
  return list;
}

int Simulator::openNode(std::string_view node) {
  std::lock_guard lock(mutex_);
  const HidInterface* interface = findHidraw(node);
  if (!interface) interface = findEvent(node);
  if (!interface) return ENOENT;
  if (!attachedLocked(*interface)) return ENODEV;
  return faults_.openError();
}

long Simulator::setFeature(std::string_view node, std::span<const std::uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  const HidInterface* interface = findHidraw(node);
  if (!interface) return -ENOENT;
  if (!attachedLocked(*interface)) return -ENODEV;
  if (buffer.size() < minBuffer || buffer.size() > maxBuffer) return -EINVAL;

  const FaultOutcome outcome = faults_.nextSet();
  if (faults_.unplugged() && !unplugged_) unplugLocked();
  if (outcome.error) return -outcome.error;

  const std::uint8_t number = buffer[0];
  if (interface->role == NodeRole::zepaConfig && number == zepaReport) {
    const auto data = buffer.subspan(1);
    log_.add(interface->hidrawNode(), "SET", number, {data.begin(), data.end()});
    zepa_.receive(data);
    changed(Keyboard::zepa);
  } else if (interface->role == NodeRole::halvernConfig && number == halvernReport) {
    log_.add(interface->hidrawNode(), "SET", number, {buffer.begin(), buffer.end()});
    halvern_.receive(buffer);
    changed(Keyboard::halvern);
  } else {
    // No such writable feature report on this interface: the device stalls the request.
    return -EPIPE;
  }
  return static_cast<long>(buffer.size());
}

long Simulator::getFeature(std::string_view node, std::span<std::uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  const HidInterface* interface = findHidraw(node);
  if (!interface) return -ENOENT;
  if (!attachedLocked(*interface)) return -ENODEV;
  if (buffer.size() < minBuffer || buffer.size() > maxBuffer) return -EINVAL;

  const std::uint8_t number = buffer[0];
  std::vector<std::uint8_t> answer;  // as the host sees it: the ID byte only when numbered
  bool numbered = true;
  if (interface->role == NodeRole::zepaConfig && number == zepaReport) {
    const auto report = zepa_.answer();
    answer.assign(report.begin(), report.end());
    numbered = false;
  } else if (interface->role == NodeRole::halvernConfig && number == halvernReport) {
    answer = halvern_.answer();
  } else if (interface->role == NodeRole::halvernConfig && number == halvernStatusReport) {
    answer.assign(halvernStatusSize, 0);
    answer[0] = halvernStatusReport;
    answer[1] = 0x01;
  } else {
    // Counted all the same: the host did make the call.
    const FaultOutcome outcome = faults_.nextGet();
    if (faults_.unplugged() && !unplugged_) unplugLocked();
    return outcome.error ? -outcome.error : -EPIPE;
  }

  const FaultOutcome outcome = faults_.nextGet();
  if (faults_.unplugged() && !unplugged_) unplugLocked();
  if (outcome.error) return -outcome.error;
  if (outcome.zeros) std::fill(answer.begin(), answer.end(), 0);
  if (outcome.truncateTo && *outcome.truncateTo < answer.size()) answer.resize(*outcome.truncateTo);

  // Byte 0 of the kernel's buffer stays the report number of an unnumbered report.
  const std::size_t prefix = numbered ? 0 : 1;
  const std::size_t count = std::min(answer.size(), buffer.size() - prefix);
  std::copy_n(answer.begin(), count, buffer.begin() + static_cast<std::ptrdiff_t>(prefix));
  answer.resize(count);
  log_.add(interface->hidrawNode(), "GET", number, std::move(answer));
  // usbhid counts the report number it kept in byte 0 only when data came back.
  return static_cast<long>(count == 0 ? 0 : count + prefix);
}

// hid-input looks a scancode up across the whole HID device, whichever of its input
// nodes is asked, so sibling nodes share one map.
KeyMap* Simulator::keyMapFor(const HidInterface& interface) {
  if (interface.keyboard == Keyboard::halvern &&
      (interface.role == NodeRole::bootKeyboard || interface.role == NodeRole::mediaKeyboard))
    return &halvern_.keyMap();
  auto found = extraKeyMaps_.find(interface.hidraw);
  return found == extraKeyMaps_.end() ? nullptr : &found->second;
}

int Simulator::getKeycode(std::string_view node, KeymapEntry& entry) {
  std::lock_guard lock(mutex_);
  const HidInterface* interface = findEvent(node);
  if (!interface) return -ENOENT;
  if (!attachedLocked(*interface)) return -ENODEV;
  KeyMap* keys = keyMapFor(*interface);
  std::uint32_t scancode = 0;
  std::uint16_t keycode = 0;
  if (entry.flags & keymapByIndex) {
    auto found = keys ? keys->entry(entry.index) : std::nullopt;
    if (!found) return -EINVAL;
    std::tie(scancode, keycode) = *found;
  } else {
    auto asked = scancodeOf(entry);
    auto found = asked && keys ? keys->keycode(*asked) : std::nullopt;
    if (!found) return -EINVAL;
    scancode = *asked;
    keycode = *found;
    // hid-input reports where it found the scancode, whichever way it was asked.
    entry.index = static_cast<std::uint16_t>(keys->indexOf(scancode).value_or(0));
  }
  entry.len = sizeof scancode;
  std::memset(entry.scancode, 0, sizeof entry.scancode);
  std::memcpy(entry.scancode, &scancode, sizeof scancode);
  entry.keycode = keycode;
  log_.add(std::string(node), "GETKEYCODE", scancode, keycodeBytes(keycode));
  return 0;
}

int Simulator::setKeycode(std::string_view node, const KeymapEntry& entry) {
  std::lock_guard lock(mutex_);
  const HidInterface* interface = findEvent(node);
  if (!interface) return -ENOENT;
  if (!attachedLocked(*interface)) return -ENODEV;
  KeyMap* keys = keyMapFor(*interface);
  if (!keys) return -EINVAL;
  std::optional<std::uint32_t> scancode;
  if (entry.flags & keymapByIndex) {
    if (auto found = keys->entry(entry.index)) scancode = found->first;
  } else {
    scancode = scancodeOf(entry);
  }
  if (!scancode) return -EINVAL;
  if (int error = keys->setKeycode(*scancode, entry.keycode)) return -error;
  log_.add(std::string(node), "SETKEYCODE", *scancode, keycodeBytes(entry.keycode));
  changed(interface->keyboard);
  return 0;
}

void Simulator::addFault(std::string_view text) {
  Fault fault = parseFault(text);
  std::lock_guard lock(mutex_);
  faults_.add(fault);
}

std::vector<LogEntry> Simulator::log() const {
  std::lock_guard lock(mutex_);
  return log_.entries();
}

void Simulator::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

void Simulator::writeLogTo(const std::filesystem::path& path) {
  std::lock_guard lock(mutex_);
  log_.writeTo(path);
}

void Simulator::writeStateTo(const std::filesystem::path& folder) {
  std::lock_guard lock(mutex_);
  std::filesystem::create_directories(folder);
  stateFolder_ = folder;
  writeState(Keyboard::zepa);
  writeState(Keyboard::halvern);
}

nlohmann::json Simulator::zepaState() const {
  std::lock_guard lock(mutex_);
  return zepaStateLocked();
}

nlohmann::json Simulator::halvernState() const {
  std::lock_guard lock(mutex_);
  return halvernStateLocked();
}

nlohmann::json Simulator::zepaStateLocked() const {
  nlohmann::json state = zepa_.state();
  state["attached"] = options_.zepa && !unplugged_;
  return state;
}

nlohmann::json Simulator::halvernStateLocked() const {
  nlohmann::json state = halvern_.state();
  state["attached"] = options_.halvern && !unplugged_;
  return state;
}

void Simulator::onUnplug(std::function<void()> callback) {
  std::lock_guard lock(mutex_);
  unplugCallback_ = std::move(callback);
}

void Simulator::changed(Keyboard keyboard) {
  writeState(keyboard);
}

void Simulator::writeState(Keyboard keyboard) {
  if (!stateFolder_) return;
  auto write = [&](const char* file, const nlohmann::json& state, std::string& written) {
    std::string text = state.dump(2) + "\n";
    if (text == written) return;
    writeAtomically(*stateFolder_ / file, text);
    written = std::move(text);
  };
  if (keyboard == Keyboard::zepa && options_.zepa)
    write("zepa.json", zepaStateLocked(), writtenZepaState_);
  if (keyboard == Keyboard::halvern && options_.halvern)
    write("halvern.json", halvernStateLocked(), writtenHalvernState_);
}

void Simulator::unplugLocked() {
  unplugged_ = true;
  // The kernel forgets a key map when its keyboard goes away.
  halvern_.keyMap().reset();
  if (unplugCallback_) unplugCallback_();
  writeState(Keyboard::zepa);
  writeState(Keyboard::halvern);
}

}  // namespace zepa::sim
