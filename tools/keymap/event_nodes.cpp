// SPDX-License-Identifier: MIT
#include "tools/keymap/event_nodes.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>

#include "protocol/hid/report_descriptor.hpp"

namespace zepa::keymap {

namespace {

namespace fs = std::filesystem;

// The kernel keeps report descriptors to 4096 bytes; anything longer is not one.
constexpr std::size_t maxDescriptorSize = 4096;

std::optional<unsigned> eventNumber(std::string_view name) {
  constexpr std::string_view prefix = "event";
  if (!name.starts_with(prefix) || name.size() == prefix.size()) return {};
  unsigned number = 0;
  const char* first = name.data() + prefix.size();
  const char* last = name.data() + name.size();
  const auto [end, error] = std::from_chars(first, last, number);
  if (error != std::errc() || end != last) return {};
  return number;
}

// sysfs id files hold four hex digits and a line break ("258a\n").
std::optional<std::int64_t> readHexID(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!in || !std::getline(in, text)) return {};
  if (text.size() != 4) return {};
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

std::optional<std::vector<std::uint8_t>> readDescriptor(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::vector<std::uint8_t> bytes;
  char c = 0;
  while (bytes.size() <= maxDescriptorSize && in.get(c)) {
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  if (bytes.size() > maxDescriptorSize || in.bad()) return {};
  return bytes;
}

bool matches(const fs::path& entry, const DeviceMatch& match) {
  const auto vendor = readHexID(entry / "device/id/vendor");
  const auto product = readHexID(entry / "device/id/product");
  if (vendor != match.vendorID || product != match.productID) return false;
  // Input devices that do not sit on a HID device have no report descriptor and never match.
  const auto descriptor = readDescriptor(entry / "device/device/report_descriptor");
  if (!descriptor) return false;
  const auto summary = hid::parseReportDescriptor(*descriptor);
  return summary.primaryUsagePage && summary.primaryUsage &&
         static_cast<std::int64_t>(*summary.primaryUsagePage) == match.primaryUsagePage &&
         static_cast<std::int64_t>(*summary.primaryUsage) == match.primaryUsage;
}

}  // namespace

std::vector<EventNode> findEventNodes(const fs::path& root, const DeviceMatch& match) {
  struct Found {
    EventNode node;
    fs::path hidDevice;  // empty when sysfs does not resolve it
  };
  std::vector<Found> found;
  std::error_code error;
  fs::directory_iterator it(root / "sys/class/input", error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const auto number = eventNumber(it->path().filename().string());
    if (!number || !matches(it->path(), match)) continue;
    std::error_code unresolved;
    found.push_back({{*number, root / "dev/input" / it->path().filename()},
                     fs::canonical(it->path() / "device/device", unresolved)});
  }
  std::sort(found.begin(), found.end(),
            [](const Found& a, const Found& b) { return a.node.number < b.node.number; });
  // hid-input gives each application collection of a HID device its own node (consumer and
  // system control beside the keyboard), and a key map write on any of them changes the one
  // map of the whole device: one node per HID device is enough, more would write it again.
  std::vector<EventNode> nodes;
  std::set<fs::path> devices;
  for (const auto& each : found) {
    if (!each.hidDevice.empty() && !devices.insert(each.hidDevice).second) continue;
    nodes.push_back(each.node);
  }
  return nodes;
}

}  // namespace zepa::keymap
