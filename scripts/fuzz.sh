#!/usr/bin/env bash
# The fuzz targets of tests/fuzz, built by the `fuzz` preset (clang,
# libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer):
#   scripts/fuzz.sh            runs each target for FUZZ_SECONDS (default 60)
#                              from its committed corpus, keeping what it finds
#                              new in build/fuzz/corpus/<target>; prints the
#                              executions, their rate and the coverage reached
#   scripts/fuzz.sh --replay   runs each target once over its committed corpus
#                              (make test): a regression fails
# A finding stops the run: the input is saved in build/fuzz/findings/<target>/
# and the command that replays it is printed. Exit code 1 then.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
replay=0
if [[ "${1:-}" == "--replay" ]]; then replay=1; fi
seconds=${FUZZ_SECONDS:-60}
targets=(set_file preferences package pe text list)
# FUZZ_TARGETS="package pe" fuzzes only those (the build takes all).
read -r -a chosen <<<"${FUZZ_TARGETS:-${targets[*]}}"

mkdir -p build/fuzz
if ! (cmake --preset fuzz &&
      cmake --build --preset fuzz --target "${targets[@]/%/_fuzz}") >build/fuzz-build.log 2>&1; then
  tail -n 30 build/fuzz-build.log >&2
  echo "fuzz: the build failed (whole log: build/fuzz-build.log)" >&2
  exit 1
fi

for target in "${chosen[@]}"; do
  program=build/fuzz/tests/fuzz/${target}_fuzz
  seeds=tests/fuzz/corpus/$target
  log=build/fuzz/$target.log
  findings=build/fuzz/findings/$target
  mkdir -p "$findings"
  if [[ $replay -eq 1 ]]; then
    if ! "$program" -runs=0 -artifact_prefix="$findings/" "$seeds" >"$log" 2>&1; then
      tail -n 20 "$log" >&2
      echo "fuzz: $target fails on its corpus (log: $log)" >&2
      exit 1
    fi
    echo "fuzz: $target: $(ls "$seeds" | wc -l) corpus inputs replayed"
    continue
  fi
  work=build/fuzz/corpus/$target
  mkdir -p "$work"
  set +e
  "$program" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "$seeds" >"$log" 2>&1
  status=$?
  set -e
  if [[ $status -ne 0 ]]; then
    grep -E "ERROR|promise broken|runtime error" "$log" | head -n 5 >&2 || true
    found=$(ls -t "$findings" | head -n 1)
    echo "fuzz: $target found a fault; the input is $findings/$found" >&2
    echo "fuzz: replay it with: $program $findings/$found" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
  echo "fuzz: $target: $runs executions in ${seconds} s, $rate per second, $coverage"
done
