// SPDX-License-Identifier: MIT
#include "tools/cli/node_survey.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "protocol/hid/report_descriptor.hpp"

namespace zepa::cli {

namespace fs = std::filesystem;

const KnownKeyboard knownKeyboards[2] = {
    {"zepa", "ZEPA VX10", 0x0C45, 0x800A},
    {"halvern", "Halvern Corvane Pro 108", 0x258A, 0x010C},
};

namespace {

constexpr const char* ruleName = "70-zepa-control.rules";
constexpr const char* ruleFolders[] = {"etc/udev/rules.d", "run/udev/rules.d",
                                       "usr/lib/udev/rules.d", "lib/udev/rules.d"};
constexpr std::size_t smallFile = 64 * 1024;

std::optional<std::string> readSmall(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(smallFile, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

std::optional<unsigned> hexNumber(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// "HID_ID=0003:00000C45:0000800A" in the HID device's uevent.
const KnownKeyboard* keyboardOf(const std::string& uevent) {
  std::istringstream lines(uevent);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("HID_ID=") || line.size() != 7 + 4 + 1 + 8 + 1 + 8) continue;
    const auto vendor = hexNumber(std::string_view(line).substr(12, 8));
    const auto product = hexNumber(std::string_view(line).substr(21, 8));
    for (const KnownKeyboard& keyboard : knownKeyboards) {
      if (vendor == keyboard.vendor && product == keyboard.product) return &keyboard;
    }
  }
  return nullptr;
}

std::string mode(const fs::path& node) {
  struct stat status {};
  if (::stat(node.c_str(), &status) != 0) return "?";
  char text[64];
  std::snprintf(text, sizeof text, "Modus %04o, Besitzer %u:%u", status.st_mode & 07777,
                status.st_uid, status.st_gid);
  return text;
}

std::string openProblem(int error, const fs::path& node, const NodeSurvey& survey) {
  switch (error) {
    case EACCES:
    case EPERM: {
      std::string text = "keine Berechtigung (" + mode(node) + "); ";
      if (survey.rulesFound.empty()) {
        return text + "die udev-Regel " + ruleName + " ist nicht installiert.";
      }
      return text + "die udev-Regel " + survey.rulesFound.front() +
             " ist installiert, gilt für diesen Knoten aber nicht (Keyboard neu anschließen, "
             "lokal angemeldet?).";
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "der Geräteknoten fehlt oder das Keyboard wurde getrennt.";
    case EBUSY:
      return "der Geräteknoten ist belegt.";
    default:
      break;
  }
  const char* name = strerrorname_np(error);
  return std::string("Öffnen fehlgeschlagen (") + (name ? name : std::to_string(error)) + ").";
}

// The HID device behind a node's sysfs entry: hidraw's "device", an event node's input
// device's "device".
void describe(SurveyedNode& node, const fs::path& hid) {
  if (auto number = readSmall(hid.parent_path() / "bInterfaceNumber")) {
    if (auto value = hexNumber(*number)) node.usbInterface = static_cast<int>(*value);
  }
  if (auto descriptor = readSmall(hid / "report_descriptor")) {
    node.descriptor.assign(descriptor->begin(), descriptor->end());
    const auto summary = hid::parseReportDescriptor(node.descriptor);
    node.usagePage = summary.primaryUsagePage;
    node.usage = summary.primaryUsage;
    node.featureReportSize = summary.maxFeatureReportSize;
  }
}

void tryOpen(SurveyedNode& node, const fs::path& path, const NodeSurvey& survey) {
  int fd;
  do {
    fd = ::open(path.c_str(), (node.event ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    ::close(fd);
    node.canOpen = true;
    return;
  }
  node.problem = openProblem(errno, path, survey);
}

// "hidraw10" after "hidraw9".
std::vector<std::pair<unsigned, std::string>> numbered(const fs::path& folder,
                                                       std::string_view prefix) {
  std::vector<std::pair<unsigned, std::string>> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix)) continue;
    unsigned number = 0;
    const char* first = name.data() + prefix.size();
    const auto [end, failure] = std::from_chars(first, name.data() + name.size(), number);
    if (failure != std::errc() || end != name.data() + name.size() || first == end) continue;
    names.emplace_back(number, name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void survey(NodeSurvey& result, const fs::path& root, bool events) {
  const fs::path folder = root / (events ? "sys/class/input" : "sys/class/hidraw");
  for (const auto& [number, name] : numbered(folder, events ? "event" : "hidraw")) {
    std::error_code error;
    const fs::path hid =
        fs::canonical(folder / name / (events ? "device/device" : "device"), error);
    if (error) continue;
    const auto uevent = readSmall(hid / "uevent");
    const KnownKeyboard* keyboard = uevent ? keyboardOf(*uevent) : nullptr;
    if (!keyboard) continue;
    SurveyedNode node;
    node.keyboard = keyboard;
    node.event = events;
    node.path = (events ? "/dev/input/" : "/dev/") + name;
    describe(node, hid);
    tryOpen(node, root / node.path.substr(1), result);
    result.nodes.push_back(std::move(node));
  }
}

}  // namespace

NodeSurvey surveyNodes(const fs::path& root) {
  NodeSurvey result;
  for (const char* folder : ruleFolders) {
    std::error_code error;
    if (fs::exists(root / folder / ruleName, error)) {
      result.rulesFound.push_back("/" + std::string(folder) + "/" + ruleName);
    }
  }
  survey(result, root, false);
  survey(result, root, true);
  return result;
}

}  // namespace zepa::cli
