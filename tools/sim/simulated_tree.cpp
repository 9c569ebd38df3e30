// SPDX-License-Identifier: MIT
#include "tools/sim/simulated_tree.hpp"

#include <cstdio>

namespace zepa::sim {

namespace {

// A boot keyboard: modifier bits, LED output report, six-key array over usages 0-255.
const std::vector<std::uint8_t> bootKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,                    // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,                    //   Keyboard page, modifiers E0-E7
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,        //   8 bits
    0x81, 0x02,                                            //   Input (Data, Var)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,                    //   reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08,                    //   LED page
    0x19, 0x01, 0x29, 0x05, 0x91, 0x02,                    //   Output: 5 LEDs
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,                    //   Output padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF, 0x00,  // six key slots
    0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00,              //   usages 0-255
    0x81, 0x00,                                            //   Input (Data, Array)
    0xC0,
};

// Media keys (report ID 3) and system control (report ID 2); numbered, no feature report.
const std::vector<std::uint8_t> consumerControlDescriptor = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03,  // Consumer, Consumer Control, ID 3
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x03,
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,                    // one 16-bit usage
    0xC0, 0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02,  // Generic Desktop, System Control, ID 2
    0x15, 0x00, 0x25, 0x01, 0x19, 0x81, 0x29, 0x83, 0x75, 0x01,
    0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0,
};

// The ZEPA VX10's configuration interface: vendor page 0xFF13, one unnumbered 64-byte
// feature report (and a 64-byte input report the keyboard uses for events).
const std::vector<std::uint8_t> zepaConfigDescriptor = {
    0x06, 0x13, 0xFF, 0x09, 0x01, 0xA1, 0x01,        // Vendor 0xFF13, usage 1, Application
    0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00,        //   usage 2, 0-255
    0x75, 0x08, 0x95, 0x40, 0xB1, 0x02,              //   Feature: 64 bytes
    0x09, 0x03, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02,  //   Input: 64 bytes
    0xC0,
};

// The Halvern configuration interface: report ID 6 with 519 data bytes (520 with the ID
// byte), and a small status report ID 5.
const std::vector<std::uint8_t> halvernConfigDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // Vendor 0xFF00, usage 1, Application
    0x85, 0x05, 0x09, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
    0x95, 0x05, 0xB1, 0x02,                                            //   ID 5 Feature: 5 bytes
    0x85, 0x06, 0x09, 0x02, 0x75, 0x08, 0x96, 0x07, 0x02, 0xB1, 0x02,  // ID 6 Feature: 519
    0xC0,
};

// A three-button wheel mouse.
const std::vector<std::uint8_t> mouseDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,  // Mouse, Pointer
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,  //   buttons 1-3
    0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03,
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,  //   X, Y, wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0,
};

// The key interface of a keyboard whose media and power keys share it: the keyboard
// collection gets report ID 1 so the consumer (3) and system control (2) reports can follow.
std::vector<std::uint8_t> mediaKeyboard() {
  std::vector<std::uint8_t> bytes = bootKeyboardDescriptor;
  const std::uint8_t reportID[] = {0x85, 0x01};
  bytes.insert(bytes.begin() + 6, std::begin(reportID), std::end(reportID));
  bytes.insert(bytes.end(), consumerControlDescriptor.begin(), consumerControlDescriptor.end());
  return bytes;
}

// hid-input's suffixes for the application collections these descriptors carry.
constexpr const char* keyboardSuffix = "Keyboard";
constexpr const char* consumerSuffix = "Consumer Control";
constexpr const char* systemSuffix = "System Control";

struct InterfaceRow {
  NodeRole role;
  bool hasEvent;  // in the fixed test tree
  // hid-generic's input nodes, one per application collection in descriptor order; the
  // vendor configuration collections are no input application and get none.
  std::vector<const char*> applications;
};

// The interfaces of each keyboard, in the order its USB configuration lists them.
const InterfaceRow zepaInterfaces[] = {
    {NodeRole::bootKeyboard, false, {keyboardSuffix}},
    {NodeRole::consumerControl, false, {consumerSuffix, systemSuffix}},
    {NodeRole::zepaConfig, false, {}},
};
const InterfaceRow halvernInterfaces[] = {
    {NodeRole::bootKeyboard, true, {}},
    {NodeRole::halvernConfig, false, {}},
};
const InterfaceRow halvernInterfacesPerApplication[] = {
    {NodeRole::mediaKeyboard, true, {keyboardSuffix, consumerSuffix, systemSuffix}},
    {NodeRole::halvernConfig, false, {}},
};

}  // namespace

std::vector<std::uint8_t> descriptorFor(NodeRole role) {
  switch (role) {
    case NodeRole::unrelatedKeyboard:
    case NodeRole::bootKeyboard:
      return bootKeyboardDescriptor;
    case NodeRole::unrelatedMouse:
      return mouseDescriptor;
    case NodeRole::mediaKeyboard:
      return mediaKeyboard();
    case NodeRole::consumerControl:
      return consumerControlDescriptor;
    case NodeRole::zepaConfig:
      return zepaConfigDescriptor;
    case NodeRole::halvernConfig:
      return halvernConfigDescriptor;
  }
  return {};
}

std::string HidInterface::hidDeviceName() const {
  char name[32];
  std::snprintf(name, sizeof name, "0003:%04X:%04X.%04X", vendor, product, hidSequence);
  return name;
}

std::string HidInterface::uevent() const {
  char id[64], modalias[64], phys[64];
  std::snprintf(id, sizeof id, "HID_ID=0003:%08X:%08X", vendor, product);
  std::snprintf(modalias, sizeof modalias, "MODALIAS=hid:b0003g0001v%08Xp%08X", vendor, product);
  std::snprintf(phys, sizeof phys, "HID_PHYS=usb-0000:00:14.0-%d/input%d", usbPort, usbInterface);
  return std::string("DRIVER=hid-generic\n") + id + "\nHID_NAME=" + name + "\n" + phys +
         "\nHID_UNIQ=\n" + modalias + "\n";
}

SimulatedTree buildTree(bool zepa, bool halvern, int extraDevices, bool inputPerApplication) {
  SimulatedTree tree;
  int hidraw = 0, event = 0, port = 1;
  auto add = [&](HidInterface interface, std::span<const char* const> applications) {
    interface.hidraw = hidraw++;
    interface.hidSequence = interface.hidraw + 1;
    for (const char* suffix : applications) interface.inputs.push_back({event++, suffix});
    interface.descriptor = descriptorFor(interface.role);
    tree.interfaces.push_back(std::move(interface));
  };
  const char* const plainNode[] = {""};

  for (int i = 0; i < extraDevices; ++i, ++port) {
    const bool mouse = i % 2 == 1;
    HidInterface extra;
    extra.role = mouse ? NodeRole::unrelatedMouse : NodeRole::unrelatedKeyboard;
    extra.vendor = 0x046D;
    extra.product = mouse ? 0xC077 : 0xC31C;
    extra.name = mouse ? "Logitech USB Optical Mouse" : "Logitech USB Keyboard";
    extra.usbPort = port;
    add(extra, plainNode);
  }
  auto addKeyboard = [&](Keyboard keyboard, std::span<const InterfaceRow> rows,
                         std::uint16_t vendor, std::uint16_t product, const char* name) {
    int number = 0;
    for (const auto& row : rows) {
      HidInterface interface;
      interface.keyboard = keyboard;
      interface.role = row.role;
      interface.vendor = vendor;
      interface.product = product;
      interface.name = name;
      interface.usbPort = port;
      interface.usbInterface = number++;
      if (inputPerApplication)
        add(interface, row.applications);
      else
        add(interface, row.hasEvent ? std::span<const char* const>(plainNode)
                                    : std::span<const char* const>());
    }
    ++port;
  };
  if (zepa) addKeyboard(Keyboard::zepa, zepaInterfaces, 0x0C45, 0x800A, "ZEPA VX10");
  if (halvern)
    addKeyboard(Keyboard::halvern,
                inputPerApplication ? std::span<const InterfaceRow>(halvernInterfacesPerApplication)
                                    : std::span<const InterfaceRow>(halvernInterfaces),
                0x258A, 0x010C, "Halvern Corvane Pro 108");
  return tree;
}

}  // namespace zepa::sim
