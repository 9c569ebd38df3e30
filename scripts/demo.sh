#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds ZEPA Control and starts it against the keyboard simulator with both keyboards attached.
# Usage: scripts/demo.sh [zepa-sim options…]   e.g. --halvern, or --fail unplug:30
# The simulator runs in a temporary folder that is unmounted and removed when the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target zepa-control zepa-sim zepa-keymap

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo.sh: Keine grafische Sitzung gefunden (DISPLAY/WAYLAND_DISPLAY fehlt). Ohne Bildschirm z. B. mit: xvfb-run -a scripts/demo.sh" >&2
  exit 1
fi
if [ ! -e /dev/fuse ]; then
  echo "demo.sh: /dev/fuse fehlt; der Tastatur-Simulator braucht FUSE." >&2
  exit 1
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/zepa-demo.XXXXXX")
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  # A simulator that died on its own may have left its mount behind.
  if mountpoint -q "$root/dev" 2>/dev/null; then fusermount3 -u "$root/dev" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Both keyboards unless the caller picks; the simulator says "ready" once sys and dev are in place.
sim_args=("$@")
[ ${#sim_args[@]} -eq 0 ] && sim_args=(--zepa --halvern)
exec {sim_out}< <(exec "$build/bin/zepa-sim" "$root" --log "$root/reports.log" "${sim_args[@]}")
sim_pid=$!
ready=""
while IFS= read -r -t 15 -u "$sim_out" line; do
  if [ "$line" = "ready" ]; then ready=1; break; fi
done
if [ -z "$ready" ]; then
  echo "demo.sh: Der Tastatur-Simulator ist nicht bereit geworden." >&2
  exit 1
fi

echo "Simulator bereit in $root (Berichte: $root/reports.log, Zustand: $root/state/)."
"$build/bin/zepa-control" --device-root "$root"
