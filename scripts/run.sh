#!/usr/bin/env bash
# Sets everything up, builds Sondrel and starts it under Wine.
# Uses the desktop's display and sound server when there are any; without a display it
# starts a virtual one (the window is then not visible). SONDREL_ARCH=i686 runs the
# 32-bit build where a 32-bit Wine exists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${SONDREL_ARCH:-x86_64}

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$arch"

. "$root/scripts/test-env.sh"
trap sondrel_env_stop EXIT
dir="$root/build/run"
mkdir -p "$dir"
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no DISPLAY; starting a virtual display"
  sondrel_start_xvfb "$dir"
fi
export WINEPREFIX=${WINEPREFIX:-$dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
echo "run: starting $root/build/$arch/bin/Sondrel.exe"
wine "$root/build/$arch/bin/Sondrel.exe"
