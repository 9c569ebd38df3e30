// SPDX-License-Identifier: MIT
#include "tools/sim/sys_tree.hpp"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace zepa::sim {

namespace fs = std::filesystem;

namespace {

// Character device majors the kernel would pick for hidraw and input.
constexpr int hidrawMajor = 240;
constexpr int inputMajor = 13;
constexpr int eventMinorBase = 64;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw fs::filesystem_error("cannot write", path, std::error_code());
}

std::string hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x\n", value & 0xFFFF);
  return text;
}

fs::path usbDevice(const HidInterface& interface) {
  return fs::path("devices/zepa-sim/usb1") / ("1-" + std::to_string(interface.usbPort));
}

fs::path hidDevice(const HidInterface& interface) {
  const std::string port = "1-" + std::to_string(interface.usbPort);
  return usbDevice(interface) / (port + ":1." + std::to_string(interface.usbInterface)) /
         interface.hidDeviceName();
}

// bInterfaceProtocol of a HID interface: 1 boot keyboard, 2 boot mouse, 0 anything else.
int interfaceProtocol(const HidInterface& interface) {
  switch (interface.role) {
    case NodeRole::bootKeyboard:
    case NodeRole::mediaKeyboard:
    case NodeRole::unrelatedKeyboard:
      return 1;
    case NodeRole::unrelatedMouse:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

void writeSysTree(const fs::path& root, const SimulatedTree& tree) {
  const fs::path sys = root / "sys";
  fs::remove_all(sys);
  fs::create_directories(sys / "class/hidraw");
  fs::create_directories(sys / "class/input");

  int inputNumber = 0;
  for (const auto& interface : tree.interfaces) {
    const fs::path usb = sys / usbDevice(interface);
    writeFile(usb / "idVendor", hex4(interface.vendor));
    writeFile(usb / "idProduct", hex4(interface.product));
    writeFile(usb / "product", interface.name + "\n");

    const fs::path usbInterface = sys / hidDevice(interface).parent_path();
    char number[8];
    std::snprintf(number, sizeof number, "%02x\n", interface.usbInterface);
    writeFile(usbInterface / "bInterfaceNumber", number);
    writeFile(usbInterface / "bInterfaceClass", "03\n");
    std::snprintf(number, sizeof number, "%02x\n", interfaceProtocol(interface) ? 1 : 0);
    writeFile(usbInterface / "bInterfaceSubClass", number);
    std::snprintf(number, sizeof number, "%02x\n", interfaceProtocol(interface));
    writeFile(usbInterface / "bInterfaceProtocol", number);

    const fs::path hid = sys / hidDevice(interface);
    writeFile(hid / "uevent", interface.uevent());
    writeFile(hid / "report_descriptor",
              std::string(interface.descriptor.begin(), interface.descriptor.end()));

    const std::string hidraw = interface.hidrawNode();
    const fs::path hidrawDir = hid / "hidraw" / hidraw;
    writeFile(hidrawDir / "dev",
              std::to_string(hidrawMajor) + ":" + std::to_string(interface.hidraw) + "\n");
    writeFile(hidrawDir / "uevent", "MAJOR=" + std::to_string(hidrawMajor) +
                                        "\nMINOR=" + std::to_string(interface.hidraw) +
                                        "\nDEVNAME=" + hidraw + "\n");
    fs::create_directory_symlink("../..", hidrawDir / "device");
    fs::create_directory_symlink(fs::path("../..") / hidDevice(interface) / "hidraw" / hidraw,
                                 sys / "class/hidraw" / hidraw);

    for (const auto& node : interface.inputs) {
      const std::string input = "input" + std::to_string(inputNumber++);
      const fs::path inputDir = hid / "input" / input;
      writeFile(inputDir / "name", interface.inputName(node) + "\n");
      writeFile(inputDir / "id/bustype", hex4(3));
      writeFile(inputDir / "id/vendor", hex4(interface.vendor));
      writeFile(inputDir / "id/product", hex4(interface.product));
      writeFile(inputDir / "id/version", hex4(0x0111));
      fs::create_directory_symlink("../..", inputDir / "device");

      const std::string event = node.eventNode();
      const fs::path eventDir = inputDir / event;
      const int minor = eventMinorBase + node.event;
      writeFile(eventDir / "dev", std::to_string(inputMajor) + ":" + std::to_string(minor) + "\n");
      writeFile(eventDir / "uevent", "MAJOR=" + std::to_string(inputMajor) + "\nMINOR=" +
                                         std::to_string(minor) + "\nDEVNAME=input/" + event + "\n");
      fs::create_directory_symlink("..", eventDir / "device");
      fs::create_directory_symlink(
          fs::path("../..") / hidDevice(interface) / "input" / input / event,
          sys / "class/input" / event);
    }
  }
}

void removeKeyboards(const fs::path& root, const SimulatedTree& tree) {
  const fs::path sys = root / "sys";
  std::error_code ignored;
  for (const auto& interface : tree.interfaces) {
    if (interface.keyboard == Keyboard::none) continue;
    fs::remove(sys / "class/hidraw" / interface.hidrawNode(), ignored);
    for (const auto& node : interface.inputs)
      fs::remove(sys / "class/input" / node.eventNode(), ignored);
    fs::remove_all(sys / usbDevice(interface), ignored);
  }
}

}  // namespace zepa::sim
