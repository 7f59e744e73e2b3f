#!/usr/bin/env bash
# Runs the benchmarks under Wine and prints their figures, then one table of every target
# with its figure and anchor:
#   bash scripts/bench.sh [build folder] [benchmark...] [-- arguments]
# The build folder defaults to build/x86_64 (configured and built here as needed); without
# names the four below run, in this order. Arguments after "--" go to each benchmark.
#   recording     where a recording's CPU goes, as fast as the graphs take audio: the
#                 virtual device alone, the WAV writer, the encoder, the WAV and MP3 graphs,
#                 single File Writer and allocator operations; beside them the encoder class
#                 alone, native lame and a sox copy on the same PCM
#                 (arguments: audio seconds, default 600; repeats, default 3)
#   realtime      the CPU of the whole process recording WAV and MP3 in real time from the
#                 virtual device, its own cost measured and taken out; the memory a recording
#                 adds; Start to first audio and Stop to complete file
#                 (arguments: seconds per run, default 30; repeats, default 3)
#   live_capture  the same live through Sondrel's waveIn capture source from the sound server,
#                 with Wine's own capture measured alone beside it
#                 (arguments: seconds per run, default 60; repeats, default 3)
#   schedule      how far schedule firings land from their moments: median, 99th percentile
#                 and worst, in milliseconds, and the share within 5 ms
# The load average is printed at the start and the end of each benchmark and of the run:
# the machines are shared, and every figure is CPU time taken a few times. Figures only: a
# benchmark fails only when it cannot measure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build/x86_64
benches=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    recording|realtime|schedule|live_capture) benches+=("$1_bench") ;;
    *_bench) benches+=("$1") ;;
    *) dir=$1 ;;
  esac
  shift
done
[ "${1:-}" = "--" ] && shift
[ ${#benches[@]} -gt 0 ] || benches=(recording_bench realtime_bench live_capture_bench schedule_bench)
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
started="$(date '+%F %T'), load $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
for bench in "${benches[@]}"; do
  echo "== $bench (load $(cut -d' ' -f1-3 /proc/loadavg))"
  (cd "$dir/bin" && wine "$bench.exe" "$@") | tee "$run/$bench.log" || status=1
done
echo "== targets (started $started; load now $(cut -d' ' -f1-3 /proc/loadavg))"
cat "$run"/*_bench.log | tr -d '\r' | grep '^TARGET |' |
  awk -F' [|] ' '{ printf "%-8s %-18s %-14s %s\n           anchor: %s\n", ($6 == "met" ? "met" : "NOT met"), $3, $5, $2, $4 }'
exit $status
