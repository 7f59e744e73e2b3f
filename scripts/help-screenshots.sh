#!/usr/bin/env bash
# Takes the help page's pictures (Help/images/*.png) from the running 64-bit program under
# Wine, on a virtual display with a PulseAudio null sink and a fresh prefix of their own:
#   bash scripts/help-screenshots.sh
# The pictures are checked in; run this again when a window changes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/x86_64"

bash "$root/scripts/setup.sh"
SONDREL_BUILD_TARGETS="help_screenshots desktop_holder" bash "$root/scripts/build.sh" x86_64

. "$root/scripts/test-env.sh"
run=$(mktemp -d "$build/screenshots.XXXXXX")
sondrel_env_start "$run" audio "$build/bin/desktop_holder.exe"
sondrel_keep_sink_running
mkdir -p "$root/Help/images"
wine "$build/bin/help_screenshots.exe" "$run"
for f in main-window audio-settings timer player; do
  convert "$run/$f.png" -strip "$root/Help/images/$f.png"
done
sondrel_env_stop
rm -rf "$run"
ls -l "$root/Help/images"
