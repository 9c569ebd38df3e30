// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "protocol/hid/hid.hpp"
#include "protocol/pacing.hpp"
#include "protocol/zepa_error.hpp"  // failureText
#include "tools/cli/cli_request.hpp"

namespace zepa::cli {

// What a command runs against; tests hand in the in-process backend and a recording sleeper.
struct DeviceContext {
  std::shared_ptr<hid::Backend> backend;
  Sleeper sleeper;
  Calendar calendar;
  std::ostream& out;
  std::ostream& err;
  bool showProgress = false;               // stderr is a terminal
  std::filesystem::path deviceRoot = "/";  // where list and diagnose look at the nodes
};

// Pauses of the long transfers, for the progress line: every report written and every
// read-back the device sends or takes.
inline constexpr int perKeyPauses = 18 + 8;
inline constexpr int remapPauses = 13 + 4;

// The commands that talk to a keyboard or only show what the program knows. Each returns the
// exit status: 0, or 1 after writing the German error text to `err`. A result goes to `out`
// only once it is complete.
int run(DeviceContext& context, const ListRequest& request);
int run(DeviceContext& context, const KeysRequest& request);
int run(DeviceContext& context, const ZEPALightingRequest& request);
int run(DeviceContext& context, const ZEPAClockRequest& request);
int run(DeviceContext& context, const ZEPAKeysRequest& request);
int run(DeviceContext& context, const ZEPARemapRequest& request);
int run(DeviceContext& context, const HalvernQueryRequest& request);
int run(DeviceContext& context, const HalvernLightingRequest& request);

// JSON output text; text that is not UTF-8 is replaced, never thrown about.
std::string document(const nlohmann::json& value, int indent);

}  // namespace zepa::cli
