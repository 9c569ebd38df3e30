#include "tools/cli/device_commands.hpp"

#include <exception>
#include <new>
#include <type_traits>
#include <utility>

#include "protocol/halvern_device.hpp"
#include "protocol/zepa_device.hpp"
#include "tools/cli/transfer_progress.hpp"

namespace zepa::cli {

namespace {

constexpr int kFailure = 1;

// A long transfer with a progress line on a terminal; without one it is just `work`.
template <typename Work>
void withProgress(DeviceContext& context, const char* label, int pauses, Work&& work) {
  if (!context.showProgress) {
    work(context.sleeper);
    return;
  }
  TransferProgress progress(context.err, label, pauses);
  try {
    work(progress.wrap(context.sleeper));
  } catch (...) {
    progress.finish(false);
    throw;
  }
  progress.finish(true);
}

void list(DeviceContext& context) {
  if (ZEPADevice::isConnected(context.backend)) context.out << "zepa ZEPA VX10\n";
  if (HalvernDevice::isConnected(context.backend)) {
    context.out << "halvern Halvern Corvane Pro 108\n";
  }
}

void zepaLighting(DeviceContext& context, const ZepaLightingRequest& request) {
  ZEPADevice(context.backend, context.sleeper, context.calendar).setLighting(request.config);
}

void zepaClock(DeviceContext& context, const ZepaClockRequest& request) {
  ZEPADevice device(context.backend, context.sleeper, context.calendar);
  device.syncClock(request.at.value_or(std::chrono::system_clock::now()), 1);
}

void zepaKeys(DeviceContext& context, const ZepaKeysRequest& request) {
  withProgress(context, "Einzeltastenfarben werden übertragen", kPerKeyPauses,
               [&](Sleeper sleeper) {
                 ZEPADevice(context.backend, std::move(sleeper), context.calendar)
                     .setPerKeyRGB(request.colors, request.brightness);
               });
}

void zepaRemap(DeviceContext& context, const ZepaRemapRequest& request) {
  withProgress(context, "Tastenbelegung wird übertragen", kRemapPauses, [&](Sleeper sleeper) {
    ZEPADevice(context.backend, std::move(sleeper), context.calendar)
        .setRemaps(request.remaps, request.fnLayer);
  });
}

// Returns the exit status: a verification that finds a difference fails, so scripts can test
// for it.
int halvernQuery(DeviceContext& context, const HalvernQueryRequest& request) {
  HalvernDevice device(context.backend, context.sleeper);
  switch (request.query) {
    case HalvernQuery::model:
      context.out << "MODEL " << hexBytes(device.queryModel().response) << '\n';
      return 0;
    case HalvernQuery::config:
      context.out << "CONFIG " << hexBytes(device.readConfig().response) << '\n';
      return 0;
    case HalvernQuery::verify:
      if (device.verifyUnchangedConfigWrite()) {
        context.out << "OK\n";
        return 0;
      }
      context.out << "MISMATCH\n";
      context.err << "Der zurückgelesene Konfigurationsblock weicht vom geschriebenen ab.\n";
      return kFailure;
  }
  return kFailure;
}

void halvernLighting(DeviceContext& context, const HalvernLightingRequest& request) {
  HalvernDevice(context.backend, context.sleeper).setLighting(request.config);
}

}  // namespace

std::optional<std::string> failureOf(const std::function<void()>& work) {
  try {
    work();
    return std::nullopt;
  } catch (const ZEPAError& error) {
    return error.description();
  } catch (const std::bad_alloc&) {
    return "Nicht genug Arbeitsspeicher.";
  } catch (const std::exception& error) {
    return std::string("Unerwarteter Fehler: ") + error.what();
  }
}

int runDeviceCommand(const Command& command, DeviceContext& context) {
  int status = 0;
  const auto failure = failureOf([&] {
    std::visit(
        [&](const auto& request) {
          using Request = std::decay_t<decltype(request)>;
          if constexpr (std::is_same_v<Request, ListRequest>) {
            list(context);
          } else if constexpr (std::is_same_v<Request, ZepaLightingRequest>) {
            zepaLighting(context, request);
          } else if constexpr (std::is_same_v<Request, ZepaClockRequest>) {
            zepaClock(context, request);
          } else if constexpr (std::is_same_v<Request, ZepaKeysRequest>) {
            zepaKeys(context, request);
          } else if constexpr (std::is_same_v<Request, ZepaRemapRequest>) {
            zepaRemap(context, request);
          } else if constexpr (std::is_same_v<Request, HalvernQueryRequest>) {
            status = halvernQuery(context, request);
          } else if constexpr (std::is_same_v<Request, HalvernLightingRequest>) {
            halvernLighting(context, request);
          } else {
            // Help and restore are answered by the caller.
            status = kFailure;
            context.err << "Dieser Befehl braucht kein Keyboard.\n";
          }
        },
        command);
  });
  if (failure) {
    context.err << *failure << '\n';
    return kFailure;
  }
  return status;
}

}  // namespace zepa::cli
