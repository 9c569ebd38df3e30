#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang, replays every recorded finding, then runs each
# target for SECONDS (default 60; decoders_fuzz twice that) from its seed corpus in
# fuzz/corpus/<target>, as many at once as there are cores. Ends with executions and covered
# edges per target; fails when a target finds a crash, a leak or undefined behaviour.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh
CXX=clang++ cmake -S . -B build-fuzz -DZEPA_FUZZ_INSTRUMENT=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for dir in fuzz/regressions/*/; do
  [ -d "$dir" ] || continue
  target=$(basename "$dir")
  echo "-- $target: recorded findings"
  "build-fuzz/bin/$target" -runs=1 "$dir"* >/dev/null 2>&1 || { echo "   FAILED"; status=1; }
done

export logs=build-fuzz/logs
mkdir -p "$logs"
run_one() {
  local fuzzer=$1 seconds=$2
  local name work
  name=$(basename "$fuzzer")
  work=build-fuzz/corpus/$name
  mkdir -p "$work" "build-fuzz/findings/$name"
  [ "$name" = decoders_fuzz ] && seconds=$((seconds * 2))
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build-fuzz/findings/$name/" "$work" "fuzz/corpus/$name" \
    >"$logs/$name.log" 2>&1 && echo ok >"$logs/$name.status" || echo failed >"$logs/$name.status"
}
export -f run_one
ls build-fuzz/bin/*_fuzz | xargs -P "$(nproc)" -I{} bash -c "run_one {} $seconds"

printf '%-28s %12s %8s %8s  %s\n' target executions edges features result
for fuzzer in build-fuzz/bin/*_fuzz; do
  name=$(basename "$fuzzer")
  log=$logs/$name.log
  execs=$(sed -n 's/^stat::number_of_executed_units: //p' "$log" | tail -n1)
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n1 || true)
  edges=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  features=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  result=$(cat "$logs/$name.status")
  printf '%-28s %12s %8s %8s  %s\n' "$name" "${execs:-?}" "${edges:-?}" "${features:-?}" "$result"
  if [ "$result" != ok ]; then
    status=1
    grep -E 'ERROR|runtime error|abort|Test unit written' "$log" | head -n 20 || true
  fi
done
exit $status
