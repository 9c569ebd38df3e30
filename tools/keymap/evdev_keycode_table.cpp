// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/keymap/key_map_writer.hpp"
#include "tools/keymap/key_mapping_request.hpp"
#include "tools/keymap/keycode_table.hpp"

namespace zepa::keymap {

namespace {

// The kernel's HID input layer addresses a keyboard key by the scancode page << 16 | usage.
constexpr std::uint32_t keyboardScancodeBase = 0x70000;

class EvdevKeycodeTable final : public KeycodeTable {
 public:
  explicit EvdevKeycodeTable(int fd) : fd_(fd) {}
  ~EvdevKeycodeTable() override { ::close(fd_); }
  EvdevKeycodeTable(const EvdevKeycodeTable&) = delete;
  EvdevKeycodeTable& operator=(const EvdevKeycodeTable&) = delete;

  int keycode(std::uint8_t usage, std::uint32_t& keycode) override {
    input_keymap_entry entry = entryFor(usage);
    if (::ioctl(fd_, EVIOCGKEYCODE_V2, &entry) != 0) return errno;
    keycode = entry.keycode;
    return 0;
  }

  int setKeycode(std::uint8_t usage, std::uint32_t keycode) override {
    input_keymap_entry entry = entryFor(usage);
    entry.keycode = keycode;
    return ::ioctl(fd_, EVIOCSKEYCODE_V2, &entry) != 0 ? errno : 0;
  }

 private:
  static input_keymap_entry entryFor(std::uint8_t usage) {
    input_keymap_entry entry{};
    const std::uint32_t scancode = keyboardScancodeBase | usage;
    // Native byte order, four bytes: what hid-input reads back with input_scancode_to_scalar.
    std::memcpy(entry.scancode, &scancode, sizeof scancode);
    entry.len = sizeof scancode;
    return entry;
  }

  int fd_;
};

}  // namespace

std::unique_ptr<KeycodeTable> openEventNode(const std::filesystem::path& devicePath,
                                            const DeviceMatch& match, const hid::LockWait& wait) {
  // Read access is enough for the keymap ioctls; the tool never reads key events.
  const int fd = ::open(devicePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM) {
      throw KeymapError("Linux verweigert den Zugriff auf " + devicePath.string() +
                        ". Bitte die udev-Regel von ZEPA Control installieren (zepa-control "
                        "--print-udev-rules) und die Tastatur neu verbinden.");
    }
    throw KeymapError(devicePath.string() + " konnte nicht geöffnet werden " + statusText(error) +
                      ". Bitte die Tastatur neu verbinden.");
  }
  // Owns the descriptor from here, so every refusal below closes it.
  auto table = std::make_unique<EvdevKeycodeTable>(fd);
  // The node was matched through sysfs; its number can have gone to another device since.
  input_id id{};
  if (::ioctl(fd, EVIOCGID, &id) != 0) {
    throw KeymapError(devicePath.string() + " konnte nicht abgefragt werden " + statusText(errno) +
                      ". Bitte die Tastatur neu verbinden.");
  }
  if (id.vendor != match.vendorID || id.product != match.productID) {
    throw KeymapError(devicePath.string() +
                      " gehört inzwischen zu einem anderen Gerät. Bitte es erneut versuchen.");
  }
  if (const hid::IOReturn status = hid::lockExclusively(fd, wait);
      status != hid::kIOReturnSuccess) {
    if (status == hid::kIOReturnExclusiveAccess) {
      throw KeymapError(
          "Das Keyboard wird gerade von einem anderen Programm verwendet. Bitte kurz warten und "
          "erneut versuchen.");
    }
    char code[32];
    std::snprintf(code, sizeof code, "(Fehler 0x%08x)", static_cast<std::uint32_t>(status));
    throw KeymapError(devicePath.string() + " konnte nicht gesperrt werden " + code +
                      ". Bitte die Tastatur neu verbinden.");
  }
  return table;
}

}  // namespace zepa::keymap
