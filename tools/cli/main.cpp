// SPDX-License-Identifier: MIT
// zepactl [--device-root DIR] COMMAND …: the keyboards' operations for scripts, and the
// restoring of the stored settings after a keyboard is plugged in again.
#include <unistd.h>

#include <iostream>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/hid/hid.hpp"
#include "protocol/version.hpp"
#include "tools/cli/cli_request.hpp"
#include "tools/cli/device_commands.hpp"
#include "tools/cli/diagnose.hpp"
#include "tools/cli/keymap_tool.hpp"
#ifdef ZEPACTL_WITH_STORES
#include "tools/cli/restore.hpp"
#include "tools/cli/resume_watch.hpp"
#include "tools/cli/store_commands.hpp"
#endif

namespace {

using namespace zepa::cli;

constexpr int usageStatus = 2;

// One handler per command: a command added to the variant without one does not compile.
template <typename... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

#ifdef ZEPACTL_WITH_STORES
RestoreTools restoreTools(const Invocation& invocation) {
  RestoreTools tools{keymapToolBesideSelf(), {}};
  if (invocation.deviceRoot)
    tools.keymapPrefix = {"--device-root", invocation.deviceRoot->string()};
  return tools;
}

// Sends, then stores what was sent; a store that cannot take the change is found out first.
template <typename Request, typename Send>
int sendAndSave(DeviceContext& context, const Request& request, Send send) {
  if (request.save) {
    if (auto problem = checkStore(request)) {
      context.err << *problem << '\n';
      return 1;
    }
  }
  const int status = send();
  if (status != 0 || !request.save) return status;
  if (auto failure = store(request)) {
    context.err << *failure << '\n';
    return 1;
  }
  return 0;
}
#else
int withoutStores(DeviceContext& context) {
  context.err << "Diese zepactl wurde ohne Qt gebaut und kann die gespeicherten Einstellungen "
                 "von ZEPA Control weder lesen noch schreiben.\n";
  return 1;
}

template <typename Request, typename Send>
int sendAndSave(DeviceContext& context, const Request& request, Send send) {
  return request.save ? withoutStores(context) : send();
}
#endif

int dispatch(const Invocation& invocation, DeviceContext& context) {
  const auto device = [&](const auto& request) {
    return sendAndSave(context, request, [&] { return run(context, request); });
  };
  return std::visit(Overloaded{
                        [&](const HelpRequest& request) {
                          context.out << helpText(request.topic);
                          return 0;
                        },
                        [&](const VersionRequest&) {
                          context.out << "zepactl " << zepa::projectVersion << '\n';
                          return 0;
                        },
                        [&](const ListRequest& request) { return run(context, request); },
                        [&](const KeysRequest& request) { return run(context, request); },
                        [&](const ZEPALightingRequest& request) { return device(request); },
                        [&](const ZEPAClockRequest& request) { return run(context, request); },
                        [&](const ZEPAKeysRequest& request) { return device(request); },
                        [&](const ZEPARemapRequest& request) { return device(request); },
                        [&](const HalvernQueryRequest& request) { return run(context, request); },
                        [&](const HalvernLightingRequest& request) { return device(request); },
#ifdef ZEPACTL_WITH_STORES
                        [&](const HalvernRemapRequest& request) {
                          return sendAndSave(context, request, [&] {
                            return run(context, request, restoreTools(invocation));
                          });
                        },
                        [&](const ProfileExportRequest& request) { return run(context, request); },
                        [&](const ProfileImportRequest& request) { return run(context, request); },
                        [&](const DiagnoseRequest& request) {
                          return runDiagnose(context, request, storeStates());
                        },
                        [&](const RestoreRequest&) {
                          int status = 1;
                          if (auto failure = zepa::failureText([&] {
                                status = restoreStoredSettings(context, restoreTools(invocation));
                              })) {
                            context.err << *failure << '\n';
                            return 1;
                          }
                          return status;
                        },
#else
                        [&](const HalvernRemapRequest&) { return withoutStores(context); },
                        [&](const ProfileExportRequest&) { return withoutStores(context); },
                        [&](const ProfileImportRequest&) { return withoutStores(context); },
                        [&](const DiagnoseRequest& request) {
                          return runDiagnose(context, request, {});
                        },
                        [&](const RestoreRequest&) { return withoutStores(context); },
#endif
                    },
                    invocation.command);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
#ifdef ZEPACTL_WITH_STORES
  if (const auto root = restoreWatchRequest(arguments)) return runRestoreWatch(argc, argv, *root);
#endif
  Invocation invocation;
  try {
    invocation = parseArguments(arguments);
  } catch (const UsageError& error) {
    std::cerr << "zepactl: " << error.what() << '\n' << usageLine(error.topic()) << '\n';
    return usageStatus;
  }
  const std::filesystem::path root = invocation.deviceRoot.value_or("/");
  DeviceContext context{zepa::hid::makeHidrawBackend(root),
                        zepa::realSleeper(),
                        zepa::systemCalendar(),
                        std::cout,
                        std::cerr,
                        isatty(STDERR_FILENO) == 1,
                        root};
  int status = 1;
  if (auto failure = zepa::failureText([&] { status = dispatch(invocation, context); })) {
    std::cerr << *failure << '\n';
    return 1;
  }
  return status;
}
