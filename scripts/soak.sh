#!/usr/bin/env bash
# The long runs the regular tests make short, on the x86_64 build under Wine in a test
# environment of their own (display, PulseAudio null sink, fresh prefix):
#   kills   the real program killed at random moments, 100 times for each of WAV, MP3 CBR, MP3 VBR
#   large   WAV recordings killed just below and just above 4 GiB (RF64), fed as fast as they go
#   cycles  500 Start/Stop cycles of the main window and 100 open/close cycles of the player
#   long    a one-hour recording of the counter signal, every sample checked
#   crashes crashes while other threads keep the heap's or the loader's lock busy, 50 times
#           each in the test program and in the test build of Sondrel
# Names choose the parts (all five without); SONDREL_KILL_RUNS, SONDREL_START_STOP_CYCLES,
# SONDREL_PLAYER_CYCLES, SONDREL_LONG_RECORDING_SECONDS and SONDREL_CRASH_RUNS change their
# sizes.
# Everything printed is kept in build/test-results/soak-<time>/soak.log.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(kills large cycles long crashes)

bash "$root/scripts/setup.sh" || exit 1
bash "$root/scripts/build.sh" x86_64 || { echo "soak: build failed" >&2; exit 1; }

run="$root/build/test-results/soak-$(date +%Y%m%d-%H%M%S)-$$"
mkdir -p "$run"
bin="$root/build/x86_64/bin"
. "$root/scripts/test-env.sh"
sondrel_env_start "$run/env" audio "$bin/desktop_holder.exe" || exit 1
export SONDREL_ARTIFACTS="$run"

status=0
# Runs test cases of one test program directly (no ctest time limit applies to soak runs).
soak() {
  local program=$1 filter=$2
  echo "== $program $filter"
  wine "$bin/$program.exe" --gtest_filter="$filter" || status=1
}

run_parts() {
  local part
  for part in "${parts[@]}"; do
    case "$part" in
      kills) SONDREL_KILL_RUNS=${SONDREL_KILL_RUNS:-100} soak program_recording_tests 'Formats/KilledRecording.*/Wav:Formats/KilledRecording.*/Mp3*' ;;
      large) SONDREL_SOAK_LARGE=1 soak program_recording_tests 'Formats/KilledRecording.*4GiB' ;;
      cycles)
        SONDREL_START_STOP_CYCLES=${SONDREL_START_STOP_CYCLES:-500} soak ui_tests 'MainDialogTest.StartStopCyclesLeaveNothingBehind'
        SONDREL_PLAYER_CYCLES=${SONDREL_PLAYER_CYCLES:-100} soak ui_tests 'PlayerCycles.*' ;;
      long) SONDREL_LONG_RECORDING_SECONDS=${SONDREL_LONG_RECORDING_SECONDS:-3600} soak program_recording_tests 'LongRecording.*' ;;
      crashes) SONDREL_CRASH_RUNS=${SONDREL_CRASH_RUNS:-50} soak diag_report_tests 'CrashReport.CrashesWhileAnotherThreadHoldsALock*' ;;
      *) echo "soak: unknown part '$part' (kills, large, cycles, long, crashes)" >&2; status=2 ;;
    esac
  done
  return $status
}
run_parts 2>&1 | tee "$run/soak.log"
status=${PIPESTATUS[0]}

sondrel_env_stop
echo "soak: log in $run/soak.log"
exit $status
