// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/cli/cli_request.hpp"
#include "tools/cli/device_commands.hpp"
#include "tools/cli/diagnose.hpp"
#include "tools/cli/restore.hpp"

// The commands that read or write what the application stores, through its own store code.
namespace zepa::cli {

// --save: whether the store can take the change, asked before anything is sent (a profile
// that exists but does not decode is never overwritten); then the change, once the keyboard
// took it. Both give the German reason when not.
std::optional<std::string> checkStore(const ZEPALightingRequest& request);
std::optional<std::string> checkStore(const ZEPAKeysRequest& request);
std::optional<std::string> checkStore(const ZEPARemapRequest& request);
std::optional<std::string> checkStore(const HalvernLightingRequest& request);
std::optional<std::string> checkStore(const HalvernRemapRequest& request);
std::optional<std::string> store(const ZEPALightingRequest& request);
std::optional<std::string> store(const ZEPAKeysRequest& request);
std::optional<std::string> store(const ZEPARemapRequest& request);
std::optional<std::string> store(const HalvernLightingRequest& request);
std::optional<std::string> store(const HalvernRemapRequest& request);

int run(DeviceContext& context, const HalvernRemapRequest& request, const RestoreTools& tools);
int run(DeviceContext& context, const ProfileExportRequest& request);
int run(DeviceContext& context, const ProfileImportRequest& request);

// Where the stores are and whether they decode, for diagnose.
std::vector<StoreState> storeStates();

}  // namespace zepa::cli
