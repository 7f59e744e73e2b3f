#!/usr/bin/env bash
# Runs ctest in one build folder inside a test environment of its own (display, PulseAudio
# null sink, fresh Wine prefix), for working on one part: scripts/ctest-wine.sh build/x86_64 -R Settings
# Set SONDREL_NO_AUDIO=1 to run without any audio device.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(cd "$1" && pwd); shift
run=$(mktemp -d "$dir/ctest-run.XXXXXX")
. "$root/scripts/test-env.sh"
audio=audio
[ "${SONDREL_NO_AUDIO:-0}" = 1 ] && audio=no-audio
holder=
[ -f "$dir/bin/desktop_holder.exe" ] && holder="$dir/bin/desktop_holder.exe"
sondrel_env_start "$run" "$audio" "$holder" || exit 1
export SONDREL_ARTIFACTS="$run"
(cd "$dir" && ctest --output-on-failure "$@")
rc=$?
sondrel_env_stop
echo "ctest-wine: logs and artifacts in $run"
exit $rc
