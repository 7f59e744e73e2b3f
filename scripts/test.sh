#!/usr/bin/env bash
# Sets everything up, builds all four builds and runs every test:
#   native  the platform-independent logic, under AddressSanitizer and UBSan
#   fuzz    that logic's fuzz targets: their seeds and a few seconds of fuzzing each
#   x86_64  everything, under Wine, with a display, a PulseAudio null sink and a fresh prefix
#   i686    the same, where a 32-bit Wine exists (otherwise it is only built)
# Logs and failure screenshots go to build/test-results/<run>/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
start=$(date +%s)

bash "$root/scripts/setup.sh" || exit 1
bash "$root/scripts/build.sh" native fuzz x86_64 i686 || { echo "test: build failed" >&2; exit 1; }

run="$root/build/test-results/$(date +%Y%m%d-%H%M%S)-$$"
mkdir -p "$run"
. "$root/scripts/test-env.sh"
sondrel_env_start "$run/env" audio "$root/build/x86_64/bin/desktop_holder.exe" || exit 1
export SONDREL_ARTIFACTS="$run"

passed=0
failed=0
status=0
second_run=()
run_ctest() {
  local name=$1 dir=$2
  echo "== $name tests"
  # A case that fails is run once more: under Wine a test process very rarely fails to start
  # at all (no output, 0.01 s); a real failure fails twice and is reported.
  (cd "$dir" && ctest -j2 --repeat until-pass:2 --output-on-failure --timeout 300 --output-log "$run/ctest-$name.log") | tee "$run/ctest-$name.out"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$run/ctest-$name.out" | tail -n 1)
  if [ -n "$line" ]; then
    local total fail
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    fail=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fail))
    failed=$((failed + fail))
  fi
  [ "$rc" -eq 0 ] || status=1
  [ -n "$line" ] || status=1
  # A case that failed once and then passed is listed by name, so a flaky test is seen.
  local case_name
  while IFS= read -r case_name; do
    second_run+=("$case_name ($name)")
  done < <(awk '
    match($0, /Test +#[0-9]+: [^ ]+/) {
      name = substr($0, RSTART, RLENGTH); sub(/Test +#[0-9]+: /, "", name)
      if ($0 ~ /\*\*\*/) failed[name] = 1; else if ($0 ~ / Passed /) passed[name] = 1
    }
    END { for (n in failed) if (n in passed) print n }' "$run/ctest-$name.out" | sort)
}

run_ctest native "$root/build/native"
run_ctest fuzz "$root/build/fuzz"
run_ctest x86_64 "$root/build/x86_64"
if sondrel_has_wine32 "$root/build/i686"; then
  run_ctest i686 "$root/build/i686"
else
  echo "== i686 tests: built; not run (no 32-bit Wine on this machine)"
fi

sondrel_env_stop
echo
echo "Logs: $run ($(( $(date +%s) - start )) s in all)"
echo "Sondrel: $passed passed, $failed failed"
if [ ${#second_run[@]} -gt 0 ]; then
  echo "Passed only on their second run (${#second_run[@]}):"
  printf '  %s\n' "${second_run[@]}"
fi
exit $status
