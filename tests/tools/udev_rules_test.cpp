// SPDX-License-Identifier: MIT
// The device access and restore rules run through the real udev rules engine: `udevadm test`
// on a made-up sysfs tree, mounted over /sys in a private mount namespace, tells which nodes get
// the uaccess tag and which ask the user's systemd for the restore.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/report_bytes.hpp"

namespace {

using zepa::test::PrintTo;
namespace fs = std::filesystem;

const fs::path resourcesDir = fs::path(ZEPA_SOURCE_DIR) / "resources";
const std::string pci = "devices/pci0000:00/0000:00:14.0/usb1";

// Builds the fake tree: every device folder has a uevent file and a subsystem link.
class FakeSysfs {
 public:
  explicit FakeSysfs(fs::path root) : root_(std::move(root)) {}

  void device(const std::string& path, const std::string& subsystem, const std::string& uevent,
              const std::string& subsystemKind = "bus") {
    const fs::path dir = root_ / "sys" / path;
    fs::create_directories(dir);
    std::ofstream(dir / "uevent") << uevent;
    fs::create_directories(root_ / "sys" / subsystemKind / subsystem);
    fs::create_symlink("/sys/" + subsystemKind + "/" + subsystem, dir / "subsystem");
  }
  void attribute(const std::string& path, const std::string& name, const std::string& value) {
    std::ofstream(root_ / "sys" / path / name) << value << '\n';
  }
  void usbDevice(const std::string& path, const std::string& vendor, const std::string& product) {
    device(path, "usb", "DEVTYPE=usb_device\n");
    attribute(path, "idVendor", vendor);
    attribute(path, "idProduct", product);
  }
  void usbInterface(const std::string& path, const std::string& cls, const std::string& protocol) {
    device(path, "usb", "DEVTYPE=usb_interface\n");
    attribute(path, "bInterfaceClass", cls);
    attribute(path, "bInterfaceProtocol", protocol);
  }
  // A HID device "BUS:VENDOR:PRODUCT.SEQ" below `parent`, with hidraw node `hidraw` and, when
  // `event` is not negative, an input device with node eventN.
  void hid(const std::string& parent, const std::string& name, int hidraw, int event = -1) {
    const std::string path = parent + "/" + name;
    device(path, "hid", "HID_ID=" + name.substr(0, 14) + "\n");
    const std::string n = std::to_string(hidraw);
    device(path + "/hidraw/hidraw" + n, "hidraw",
           "MAJOR=242\nMINOR=" + n + "\nDEVNAME=hidraw" + n + "\n", "class");
    if (event < 0) return;
    const std::string e = std::to_string(event);
    device(path + "/input/input" + e, "input", "PRODUCT=3/0/0/111\n", "class");
    device(path + "/input/input" + e + "/event" + e, "input",
           "MAJOR=13\nMINOR=" + std::to_string(64 + event) + "\nDEVNAME=input/event" + e + "\n",
           "class");
  }

 private:
  fs::path root_;
};

// Both keyboards with their interfaces, a hub that reports the ZEPA's IDs with another
// vendor's device behind it and a Bluetooth device claiming the ZEPA's IDs.
void buildTree(const fs::path& root) {
  FakeSysfs sys(root);
  // ZEPA VX10: boot keyboard and configuration.
  sys.usbDevice(pci + "/1-1", "0c45", "800a");
  sys.usbInterface(pci + "/1-1/1-1:1.0", "03", "01");
  sys.hid(pci + "/1-1/1-1:1.0", "0003:0C45:800A.0001", 0, 1);
  sys.usbInterface(pci + "/1-1/1-1:1.2", "03", "00");
  sys.hid(pci + "/1-1/1-1:1.2", "0003:0C45:800A.0003", 2);
  // Halvern Corvane Pro 108: boot keyboard, configuration, boot mouse.
  sys.usbDevice(pci + "/1-2", "258a", "010c");
  sys.usbInterface(pci + "/1-2/1-2:1.0", "03", "01");
  sys.hid(pci + "/1-2/1-2:1.0", "0003:258A:010C.0004", 3, 4);
  sys.usbInterface(pci + "/1-2/1-2:1.1", "03", "00");
  sys.hid(pci + "/1-2/1-2:1.1", "0003:258A:010C.0005", 4, 5);
  sys.usbInterface(pci + "/1-2/1-2:1.2", "03", "02");
  sys.hid(pci + "/1-2/1-2:1.2", "0003:258A:010C.0006", 5, 6);
  // A hub reporting the ZEPA's IDs; behind it another vendor's device.
  sys.usbDevice(pci + "/1-3", "0c45", "800a");
  sys.usbDevice(pci + "/1-3/1-3.1", "1234", "5678");
  sys.usbInterface(pci + "/1-3/1-3.1/1-3.1:1.0", "03", "00");
  sys.hid(pci + "/1-3/1-3.1/1-3.1:1.0", "0003:1234:5678.0007", 6, 7);
  // Bluetooth: the HID device hangs off the controller's connection, bus 0005.
  sys.device(pci + "/1-4/1-4:1.0/bluetooth/hci0", "bluetooth", "DEVTYPE=host\n", "class");
  sys.device(pci + "/1-4/1-4:1.0/bluetooth/hci0/hci0:256", "bluetooth", "DEVTYPE=link\n", "class");
  sys.hid(pci + "/1-4/1-4:1.0/bluetooth/hci0/hci0:256", "0005:0C45:800A.0009", 8, 9);
}

struct Node {
  const char* name;
  const char* devpath;  // below pci
  bool uaccess;         // the seat may open it
  bool restore;         // plugging it in asks for zepactl-restore.service
};

// One node per rule line that grants, leaves out or asks for the restore.
const Node nodeRows[] = {
    {"ZepaBootKeyboard", "/1-1/1-1:1.0/0003:0C45:800A.0001/hidraw/hidraw0", false, true},
    {"ZepaKeyboardInput", "/1-1/1-1:1.0/0003:0C45:800A.0001/input/input1/event1", false, false},
    {"ZepaConfiguration", "/1-1/1-1:1.2/0003:0C45:800A.0003/hidraw/hidraw2", true, true},
    {"HalvernKeyboardInput", "/1-2/1-2:1.0/0003:258A:010C.0004/input/input4/event4", true, false},
    {"HalvernConfiguration", "/1-2/1-2:1.1/0003:258A:010C.0005/hidraw/hidraw4", true, true},
    {"HalvernBootMouse", "/1-2/1-2:1.2/0003:258A:010C.0006/hidraw/hidraw5", false, true},
    {"HalvernBootMouseInput", "/1-2/1-2:1.2/0003:258A:010C.0006/input/input6/event6", false, false},
    {"OtherVendorBehindLookalikeHub", "/1-3/1-3.1/1-3.1:1.0/0003:1234:5678.0007/hidraw/hidraw6",
     false, false},
    {"BluetoothClaimingZepa",
     "/1-4/1-4:1.0/bluetooth/hci0/hci0:256/0005:0C45:800A.0009/hidraw/hidraw8", false, false},
};

// udevadm's verdict for one node: the properties it prints, one per line.
class UdevRules : public ::testing::TestWithParam<Node> {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/zepa-udev-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    buildTree(root_);
    for (const char* dir : {"rules", "empty", "run", "dev"}) fs::create_directories(root_ / dir);
    for (const char* rules : {"70-zepa-control.rules", "70-zepa-control-restore.rules"})
      fs::copy_file(resourcesDir / rules, root_ / "rules" / rules);
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  void SetUp() override {
    // Mounting over /sys needs root; a developer's own account skips, CI does not.
    const char* ci = std::getenv("CI");
    if (geteuid() != 0 && !(ci && std::string(ci) == "true"))
      GTEST_SKIP() << "needs root for a private mount namespace";
  }

  // Only our rules, the fake tree as /sys, and /run and /dev of their own, so the test neither
  // reads the machine's rules nor leaves udev database entries behind.
  static std::string udevadmTest(const std::string& devpath) {
    const std::string command =
        "unshare -m --propagation private sh -c '"
        "mount --bind \"$1/sys\" /sys && mount --bind \"$1/rules\" /usr/lib/udev/rules.d && "
        "mount --bind \"$1/empty\" /etc/udev/rules.d && mount --bind \"$1/run\" /run && "
        "mount --bind \"$1/dev\" /dev && "
        "SYSTEMD_DEVICE_VERIFY_SYSFS=0 exec udevadm test --action=add \"/sys/$2\"' sh '" +
        root_.string() + "' '" + pci + devpath + "' 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
      pclose(pipe);
    }
    return out;
  }

  static fs::path root_;
};
fs::path UdevRules::root_;

bool hasLine(const std::string& output, const std::string& prefix, const std::string& word) {
  std::size_t at = output.find("\n" + prefix);
  if (at == std::string::npos) return false;
  const std::size_t end = output.find('\n', at + 1);
  return output.substr(at, end - at).find(word) != std::string::npos;
}

TEST_P(UdevRules, GrantsAndRestoresExactlyTheKeyboardsNodes) {
  const Node& node = GetParam();
  const std::string output = udevadmTest(node.devpath);
  ASSERT_NE(output.find("\nACTION=add"), std::string::npos) << "udevadm test failed";
  EXPECT_EQ(hasLine(output, "TAGS=", ":uaccess:"), node.uaccess);
  EXPECT_EQ(hasLine(output, "SYSTEMD_USER_WANTS=", "zepactl-restore.service"), node.restore);
}

INSTANTIATE_TEST_SUITE_P(Nodes, UdevRules, ::testing::ValuesIn(nodeRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
