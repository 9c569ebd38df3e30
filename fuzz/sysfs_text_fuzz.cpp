// SPDX-License-Identifier: MIT
// sysfs text as the kernel or a strange driver may present it, through the real readers: the
// hidraw backend's uevent (HID_ID) and the key-map tool's id/vendor and id/product files.
// Input: vendor and product to look for (4 bytes), then uevent, vendor and product text
// separated by NUL bytes. A device found must carry the IDs asked for.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "protocol/hid/hid.hpp"
#include "tools/keymap/event_nodes.hpp"

namespace {

namespace fs = std::filesystem;

// Generic desktop keyboard, one 8-byte input report.
const unsigned char keyboardDescriptor[] = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05,
                                            0x07, 0x75, 0x08, 0x95, 0x08, 0x15, 0x00,
                                            0x25, 0xFF, 0x81, 0x00, 0xC0};

struct Tree {
  fs::path root;
  Tree() {
    // Memory-backed when possible: the files are rewritten on every run.
    char name[] = "/dev/shm/sysfs-fuzz-XXXXXX";
    const char* made = ::mkdtemp(name);
    if (!made) {
      char fallback[] = "/tmp/sysfs-fuzz-XXXXXX";
      made = ::mkdtemp(fallback);
    }
    if (!made) std::abort();
    root = made;
    fs::create_directories(root / "sys/class/hidraw/hidraw0/device");
    fs::create_directories(root / "sys/class/input/event3/device/id");
    fs::create_directories(root / "sys/class/input/event3/device/device");
    for (const auto& file : {root / "sys/class/hidraw/hidraw0/device/report_descriptor",
                             root / "sys/class/input/event3/device/device/report_descriptor"}) {
      std::ofstream(file, std::ios::binary)
          .write(reinterpret_cast<const char*>(keyboardDescriptor), sizeof keyboardDescriptor);
    }
  }
  ~Tree() { fs::remove_all(root); }
  void write(const char* path, std::string_view text) const {
    std::ofstream(root / path, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
  }
};

std::string_view field(std::string_view& rest) {
  const std::size_t end = std::min(rest.find('\0'), rest.size());
  const std::string_view text = rest.substr(0, end);
  rest = end < rest.size() ? rest.substr(end + 1) : std::string_view();
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Tree tree;
  if (size < 4) return 0;
  const auto vendor = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
  const auto product = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
  std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
  const std::string_view uevent = field(rest);
  tree.write("sys/class/hidraw/hidraw0/device/uevent", uevent);
  tree.write("sys/class/input/event3/device/id/vendor", field(rest));
  tree.write("sys/class/input/event3/device/id/product", field(rest));

  const auto devices = zepa::hid::makeHidrawBackend(tree.root)->copyDevices(vendor, product);
  if (!devices.empty() && uevent.find("HID_ID=") == std::string_view::npos) std::abort();
  for (const auto& device : devices) {
    if (device->property("VendorID") != vendor) std::abort();
    if (device->property("ProductID") != product) std::abort();
  }
  const zepa::keymap::DeviceMatch match{vendor, product, 1, 6};
  for (const auto& node : zepa::keymap::findEventNodes(tree.root, match)) {
    if (node.number != 3) std::abort();
  }
  return 0;
}
