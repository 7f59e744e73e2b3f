#!/usr/bin/env bash
# Runs the benchmarks under Wine and prints their figures:
#   bash scripts/bench.sh [build folder] [benchmark...] [-- arguments]
# The build folder defaults to build/x86_64 (configured and built here as needed); without
# names every benchmark runs. Arguments after "--" go to each benchmark.
#   recording     the MP3 recording graph against the host's native lame: speeds, their
#                 ratio and the memory the graph adds
#   schedule      how far schedule firings land from their moments: median, 99th percentile
#                 and worst, in milliseconds
#   live_capture  live recording from the sound server: the CPU of the whole process and the
#                 time from Start to the first audio and from Stop to the complete file
#                 (argument: the seconds of the CPU recording)
# Figures only: a benchmark fails only when it cannot measure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build/x86_64
benches=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    recording|schedule|live_capture) benches+=("$1_bench") ;;
    *_bench) benches+=("$1") ;;
    *) dir=$1 ;;
  esac
  shift
done
[ "${1:-}" = "--" ] && shift
[ ${#benches[@]} -gt 0 ] || benches=(recording_bench schedule_bench live_capture_bench)
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$dir" --target "${benches[@]}"
dir=$(cd "$dir" && pwd)
run=$(mktemp -d "$dir/bench-run.XXXXXX")
. "$root/scripts/test-env.sh"
# A sound server with a null sink kept running, for the live capture.
sondrel_env_start "$run" audio
sondrel_keep_sink_running
for bench in "${benches[@]}"; do
  echo "== $bench"
  (cd "$dir/bin" && wine "$bench.exe" "$@")
done
