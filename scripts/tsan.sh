#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the model, runner and key-map-child tests (tests/app) and the programs they start
# under ThreadSanitizer and runs them. Qt is not instrumented; tests/tsan.supp names the Qt
# frames whose synchronisation TSan cannot see, each with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tsan}
scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPA_TSAN=ON -DZEPA_BENCH=OFF
# The restore watcher's test is left out: it tests D-Bus plumbing in a separate process, and
# TSan cannot see the ordering inside the uninstrumented libdbus and glib it runs on.
tests=$(cd tests/app && ls ./*_test.cpp | sed 's|^\./||; s|\.cpp$||' | grep -v '^restore_watch_test$')
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target zepa-keymap zepa-sim $tests
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$build" -L '^app$' -E '^RestoreWatch' --output-on-failure -j"$(nproc)"
