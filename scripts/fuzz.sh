#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh
CXX=clang++ cmake -S . -B build-fuzz -DZEPA_FUZZ_INSTRUMENT=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j"$(nproc)"
for fuzzer in build-fuzz/bin/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  corpus=$(mktemp -d)
  echo "-- $(basename "$fuzzer")"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
  rm -rf "$corpus"
done
