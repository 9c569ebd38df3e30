#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, configures, builds and runs every test.
# Usage: scripts/test.sh [BUILD_DIR] [extra cmake arguments…]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true

scripts/install-deps.sh
# Warnings are errors here (and so in CI); a packager's plain configure leaves them warnings.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
