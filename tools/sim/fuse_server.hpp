// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <functional>

#include "tools/sim/simulator.hpp"

// The device nodes of the simulated machine: a FUSE file system whose hidrawN and
// input/eventN files answer the hidraw and evdev ioctls from the simulator.
namespace zepa::sim {

// Unmounts a mount left behind by a simulator that was killed. Returns false when one is
// there and cannot be removed.
bool clearStaleMount(const std::filesystem::path& mountPoint);

// Mounts on `mountPoint`, calls `ready` once the nodes answer, and serves until SIGINT or
// SIGTERM; then unmounts. Returns false (with a message on standard error) when mounting
// fails.
bool serveDeviceNodes(Simulator& simulator, const std::filesystem::path& mountPoint,
                      const std::function<void()>& ready);

}  // namespace zepa::sim
