#!/usr/bin/env bash
# Benchmarks the MP3 recording graph under Wine against the host's native lame, and prints
# speeds, their ratio and the memory the graph adds: bash scripts/bench.sh [build folder]
# (default build/x86_64; configured and built here as needed). Figures only: it fails only
# when it cannot measure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/x86_64}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$dir" --target recording_bench
dir=$(cd "$dir" && pwd)
run=$(mktemp -d "$dir/bench-run.XXXXXX")
. "$root/scripts/test-env.sh"
sondrel_env_start "$run" no-audio
(cd "$dir/bin" && wine recording_bench.exe)
