#!/usr/bin/env bash
# Sets everything up, builds Sondrel and starts it under Wine, as root or as a desktop user
# (packages are installed only when some are missing, through sudo when not root).
# Sound: a sound server this user reaches (a desktop's PulseAudio or PipeWire) is used, so
# its microphones record. Without one (a headless machine) a PulseAudio daemon with a null
# sink of this run's own is started, and it is stopped again when Sondrel ends.
# Display: the desktop's; without one a virtual display (the window is then not visible).
# SONDREL_ARCH=i686 runs the 32-bit build where a 32-bit Wine exists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${SONDREL_ARCH:-x86_64}

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$arch"

. "$root/scripts/test-env.sh"
pulse=
trap 'sondrel_env_stop; [ -z "$pulse" ] || rm -rf "$pulse"' EXIT
dir="$root/build/run"
mkdir -p "$dir"
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no DISPLAY; starting a virtual display"
  sondrel_start_xvfb "$dir"
fi
if pactl info >/dev/null 2>&1; then
  echo "run: recording from this desktop's sound server ($(pactl info | sed -n 's/^Server Name: //p'))"
else
  # A short path: a socket's path has at most 107 characters.
  pulse=$(mktemp -d /tmp/sondrel-run-pulse.XXXXXX)
  sondrel_start_pulse "$pulse"
  sondrel_keep_sink_running
  echo "run: no sound server reachable: started a PulseAudio daemon with a null sink for this run."
  echo "run: in Sondrel, pick \"Monitor of Null Output\" and press Start; play something into it with"
  echo "       PULSE_SERVER=$PULSE_SERVER paplay --device=nullsink <file.wav>"
fi
export WINEPREFIX=${WINEPREFIX:-$dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
echo "run: starting $root/build/$arch/bin/Sondrel.exe"
wine "$root/build/$arch/bin/Sondrel.exe"
