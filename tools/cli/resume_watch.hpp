// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::cli {

// What "zepactl [--device-root DIR] restore --watch" asks for: the device root, empty when the
// call has none. Nothing for any other call, which zepactl's own parser then handles.
std::optional<std::string> restoreWatchRequest(const std::vector<std::string_view>& arguments);

// Restores the stored settings now and again after every resume from sleep, as logind announces
// it on the system bus (DBUS_SYSTEM_BUS_ADDRESS chooses another bus). Each restore runs as
// "zepactl [--device-root DIR] restore" in its own process, so one that fails or hangs on a
// keyboard does not end the watch. Runs until terminated; returns 1 when the bus is unreachable.
int runRestoreWatch(int argc, char** argv, const std::string& deviceRoot);

}  // namespace zepa::cli
