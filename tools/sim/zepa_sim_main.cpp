// SPDX-License-Identifier: MIT
// zepa-sim ROOT [--zepa] [--halvern] [--extra-devices N] [--all-input-nodes] [--log FILE]
//          [--fail FAULT]…
// Both keyboards' firmware behind a sysfs-like tree (ROOT/sys) and FUSE device nodes
// (ROOT/dev), so the real HID and key-map code paths run without hardware.

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "protocol/version.hpp"
#include "tools/sim/fuse_server.hpp"
#include "tools/sim/simulator.hpp"
#include "tools/sim/sys_tree.hpp"

namespace fs = std::filesystem;
using namespace zepa::sim;

namespace {

constexpr int usageError = 2;
constexpr int maxExtraDevices = 1000;

int usage(const std::string& problem) {
  std::cerr << "zepa-sim: " << problem << "\n"
            << "usage: zepa-sim ROOT [--zepa] [--halvern] [--extra-devices N] [--all-input-nodes] "
               "[--log FILE] [--fail FAULT]...\n";
  return usageError;
}

// German, in the layout the man page is generated from.
constexpr const char* helpText =
    "Aufruf: zepa-sim WURZEL [--zepa] [--halvern] [--extra-devices N] [--all-input-nodes] "
    "[--log DATEI] [--fail FEHLER]…\n"
    "\n"
    "Simuliert die ZEPA VX10 und die Halvern Corvane Pro 108 für Tests und die Vorführung:\n"
    "ein sysfs-artiger Baum in WURZEL/sys und FUSE-Geräteknoten in WURZEL/dev. Meldet\n"
    "„ready“ auf der Standardausgabe, sobald beides bereitsteht, und läuft bis SIGINT oder\n"
    "SIGTERM. Der Zustand der Tastaturen steht in WURZEL/state.\n"
    "\n"
    "Optionen:\n"
    "  --zepa               die ZEPA VX10 anschließen\n"
    "  --halvern            die Halvern Corvane Pro 108 anschließen (ohne beide\n"
    "                       Optionen: beide Tastaturen)\n"
    "  --extra-devices N    N fremde Geräte vor den Tastaturen anlegen\n"
    "  --all-input-nodes    alle Eingabeknoten anlegen, die der Kernel (hid-generic) anlegt:\n"
    "                       je Anwendungssammlung einen, also auch Consumer Control und\n"
    "                       System Control neben der Tastatur und die Knoten der ZEPA\n"
    "                       (ohne die Option nur den Tastaturknoten der Halvern)\n"
    "  --log DATEI          jeden Geräteaufruf als Zeile in DATEI protokollieren\n"
    "  --fail FEHLER        einen Fehler einspeisen: open:ERRNO, set:N:ERRNO, get:N:ERRNO,\n"
    "                       get:N:short:K, get:N:nak oder unplug:N\n"
    "  --help               diese Hilfe ausgeben\n"
    "  --version            die Version ausgeben\n";

}  // namespace

int main(int argc, char** argv) {
  SimulatorOptions options;
  options.zepa = options.halvern = false;
  std::optional<fs::path> root, logFile;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string_view(argv[++i]);
    };
    if (arg == "--help") {
      std::cout << helpText;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "zepa-sim " << zepa::projectVersion << '\n';
      return 0;
    }
    if (arg == "--zepa") {
      options.zepa = true;
    } else if (arg == "--halvern") {
      options.halvern = true;
    } else if (arg == "--extra-devices") {
      auto text = value();
      int count = -1;
      if (!text ||
          std::from_chars(text->data(), text->data() + text->size(), count).ec != std::errc() ||
          count < 0 || count > maxExtraDevices)
        return usage("--extra-devices needs a number from 0 to " + std::to_string(maxExtraDevices));
      options.extraDevices = count;
    } else if (arg == "--all-input-nodes") {
      options.inputPerApplication = true;
    } else if (arg == "--log") {
      auto text = value();
      if (!text) return usage("--log needs a file");
      logFile = fs::path(*text);
    } else if (arg == "--fail") {
      auto text = value();
      if (!text) return usage("--fail needs a fault");
      options.faults.emplace_back(*text);
    } else if (!arg.starts_with("--") && !root) {
      root = fs::path(arg);
    } else {
      return usage("unexpected argument \"" + std::string(arg) + "\"");
    }
  }
  if (!root) return usage("ROOT is missing");
  if (!options.zepa && !options.halvern) options.zepa = options.halvern = true;

  try {
    Simulator simulator(options);
    const fs::path dev = *root / "dev";
    if (!clearStaleMount(dev)) {
      std::cerr << "zepa-sim: a stale mount on " << dev << " cannot be removed\n";
      return 1;
    }
    fs::create_directories(dev);
    fs::remove_all(*root / "state");
    writeSysTree(*root, simulator.tree());
    simulator.writeStateTo(*root / "state");
    if (logFile) simulator.writeLogTo(*logFile);
    const fs::path sysRoot = *root;
    simulator.onUnplug([&simulator, sysRoot] { removeKeyboards(sysRoot, simulator.tree()); });

    const bool served = serveDeviceNodes(simulator, dev, [] { std::cout << "ready" << std::endl; });
    return served ? 0 : 1;
  } catch (const std::invalid_argument& error) {
    return usage(error.what());
  } catch (const std::exception& error) {
    std::cerr << "zepa-sim: " << error.what() << "\n";
    return 1;
  }
}
