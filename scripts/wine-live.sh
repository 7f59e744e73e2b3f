#!/usr/bin/env bash
# Runs a Windows test program as a live-capture test needs it (the LIVE option of
# sondrel_add_gtest, which makes this the program's emulator): in the test run's
# live-capture prefix (see sondrel_live_prefix in test-env.sh) and with a PulseAudio daemon
# of its own, with a null sink "nullsink" kept running, ended with the program. So a test may play into
# the sink, or end the daemon, without touching any other test; it finds the daemon's
# process id in SONDREL_PULSE_PID.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/test-env.sh"
if [ -z "${SONDREL_LIVE_DIR:-}" ]; then
  echo "wine-live: run live-capture tests through scripts/test.sh or scripts/ctest-wine.sh" >&2
  exit 1
fi
exe=$1
sondrel_live_prefix "$(dirname "$exe")/desktop_holder.exe" || exit 1
case " $* " in
  # Listing the cases needs no sound server.
  *" --gtest_list_tests "*) exec wine "$@" ;;
esac
# A short path: a socket's path has at most 107 characters.
pulse=$(mktemp -d /tmp/sondrel-pulse.XXXXXX)
sondrel_start_pulse "$pulse" || exit 1
sondrel_keep_sink_running
export SONDREL_PULSE_PID=${sondrel_env_pids[-2]}
wine "$@"
rc=$?
sondrel_stop_pids
rm -rf "$pulse"
exit $rc
