// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "tools/cli/device_commands.hpp"

namespace zepa::cli {

struct StoreState {
  std::string what;  // "Profil"
  std::string path;
  std::string state;  // "fehlt", "lesbar", "nicht lesbar"
};

// What a bug report needs: kernel release, every node of both keyboards with its interface,
// usage, feature-report size, descriptor and whether it opens (and why not), the udev rule,
// and the stores.
int runDiagnose(DeviceContext& context, const DiagnoseRequest& request,
                const std::vector<StoreState>& stores);

}  // namespace zepa::cli
