// zepactl [--device-root DIR] COMMAND …: the keyboards' operations for scripts, and the
// restoring of the stored settings after a keyboard is plugged in again.
#include <unistd.h>

#include <iostream>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/hid/hid.hpp"
#include "tools/cli/cli_request.hpp"
#include "tools/cli/device_commands.hpp"
#include "tools/cli/keymap_tool.hpp"
#ifdef ZEPACTL_WITH_STORES
#include "tools/cli/restore.hpp"
#include "tools/cli/resume_watch.hpp"
#endif

namespace {

constexpr int kUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  using namespace zepa::cli;
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
#ifdef ZEPACTL_WITH_STORES
  if (const auto root = restoreWatchRequest(arguments)) return runRestoreWatch(argc, argv, *root);
#endif
  Invocation invocation;
  try {
    invocation = parseArguments(arguments);
  } catch (const UsageError& error) {
    std::cerr << "zepactl: " << error.what() << '\n' << usageLine(error.topic()) << '\n';
    return kUsage;
  }
  if (const auto* help = std::get_if<HelpRequest>(&invocation.command)) {
    std::cout << helpText(help->topic);
    return 0;
  }

  DeviceContext context{zepa::hid::makeHidrawBackend(invocation.deviceRoot.value_or("/")),
                        zepa::realSleeper(),
                        zepa::systemCalendar(),
                        std::cout,
                        std::cerr,
                        isatty(STDERR_FILENO) == 1};
  if (std::holds_alternative<RestoreRequest>(invocation.command)) {
#ifdef ZEPACTL_WITH_STORES
    RestoreTools tools{keymapToolBesideSelf(), {}};
    if (invocation.deviceRoot) tools.keymapPrefix = {"--device-root", *invocation.deviceRoot};
    int status = 1;
    if (auto failure = failureOf([&] { status = restoreStoredSettings(context, tools); })) {
      std::cerr << *failure << '\n';
      return 1;
    }
    return status;
#else
    std::cerr << "Diese zepactl wurde ohne Qt gebaut und kann die gespeicherten Einstellungen "
                 "von ZEPA Control nicht lesen.\n";
    return 1;
#endif
  }
  return runDeviceCommand(invocation.command, context);
}
