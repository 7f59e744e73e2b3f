#!/usr/bin/env bash
# Long fuzz runs of the fuzz build's targets (the test run fuzzes each for seconds only):
#   bash scripts/fuzz.sh [target|all] [runs] [jobs]
# Targets: settings, schedule_time, output_name, crash_report; runs default to 10,000,000
# each, shared out over `jobs` processes (default 1) that fuzz side by side. Inputs that found new code paths collect in build/fuzz/work/<target>; an input that
# fails is written to build/fuzz/work/ and ends the run with a failure. Each target prints
# its figures (runs, runs per second, peak memory) at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
which=${1:-all}
runs=${2:-10000000}
jobs=${3:-1}
declare -A max_len=([settings]=4096 [schedule_time]=256 [output_name]=1024 [crash_report]=8192)
targets=(settings schedule_time output_name crash_report)
[ "$which" = all ] || targets=("$which")

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" fuzz
status=0
for t in "${targets[@]}"; do
  [ -n "${max_len[$t]:-}" ] || { echo "fuzz: unknown target '$t' (${!max_len[*]})" >&2; exit 2; }
  work="$root/build/fuzz/work/$t"
  mkdir -p "$work"
  echo "== $t: $runs runs, inputs up to ${max_len[$t]} bytes"
  start=$(date +%s)
  log="$root/build/fuzz/work/$t.log"
  rc=0
  args=(-runs=$(( runs / jobs )) -max_len="${max_len[$t]}" -print_final_stats=1
        -artifact_prefix="$root/build/fuzz/work/" "$work" "$root/tests/fuzz/corpus/$t")
  if [ "$jobs" -gt 1 ]; then
    # Each job writes fuzz-<n>.log in the folder it runs in.
    (cd "$work" && "$root/build/fuzz/bin/${t}_fuzzer" -jobs="$jobs" -workers="$jobs" "${args[@]}" >"$log" 2>&1) || rc=$?
    cat "$work"/fuzz-*.log >>"$log"
  else
    "$root/build/fuzz/bin/${t}_fuzzer" "${args[@]}" >"$log" 2>&1 || rc=$?
  fi
  grep -E '^(stat::|Done |SUMMARY)|runtime error|ERROR' "$log" || true
  if [ $rc -ne 0 ]; then
    echo "$t: FAILED (exit $rc; see $log)"
    status=1
  fi
  echo "$t: $(( $(date +%s) - start )) s"
done
exit $status
