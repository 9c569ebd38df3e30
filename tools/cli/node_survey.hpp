// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What the system shows of both keyboards' nodes, read from sysfs and by trying to open each
// node: for `list` and `diagnose`.
namespace zepa::cli {

struct KnownKeyboard {
  const char* id;    // "zepa", "halvern"
  const char* name;  // "ZEPA VX10"
  std::uint16_t vendor;
  std::uint16_t product;
};
extern const KnownKeyboard knownKeyboards[2];

struct SurveyedNode {
  const KnownKeyboard* keyboard;
  std::string path;  // as the system names it: "/dev/hidraw2", "/dev/input/event0"
  bool event;        // an input event node, else hidraw
  std::optional<int> usbInterface;
  std::optional<std::uint32_t> usagePage, usage;  // primary
  std::uint32_t featureReportSize = 0;            // largest, with the ID byte
  std::vector<std::uint8_t> descriptor;
  bool canOpen = false;
  std::string problem;  // German, why it cannot be opened; empty when it can

  // The configuration interface: a vendor-defined usage page.
  bool configuration() const { return usagePage && *usagePage >= 0xFF00; }
};

struct NodeSurvey {
  std::vector<SurveyedNode> nodes;      // hidraw nodes first, each kind by number
  std::vector<std::string> rulesFound;  // the installed udev rule files of the project
};

// Everything under `root` (sysfs in root/sys, nodes in root/dev).
NodeSurvey surveyNodes(const std::filesystem::path& root);

}  // namespace zepa::cli
