#!/usr/bin/env bash
# Benchmarks, under Wine: bash scripts/bench.sh [build folder] [recording] [schedule]
#   recording  the MP3 recording graph against the host's native lame: speeds, their ratio
#              and the memory the graph adds
#   schedule   how far schedule firings land from their moments: median, 99th percentile
#              and worst, in milliseconds
# Without names it runs both. The build folder defaults to build/x86_64 (configured and
# built here as needed). Figures only: it fails only when it cannot measure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build/x86_64
benches=()
for arg in "$@"; do
  case "$arg" in
    recording|schedule) benches+=("$arg") ;;
    *) dir=$arg ;;
  esac
done
[ ${#benches[@]} -gt 0 ] || benches=(recording schedule)
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$dir" --target "${benches[@]/%/_bench}"
dir=$(cd "$dir" && pwd)
run=$(mktemp -d "$dir/bench-run.XXXXXX")
. "$root/scripts/test-env.sh"
sondrel_env_start "$run" no-audio
for bench in "${benches[@]}"; do
  (cd "$dir/bin" && wine "${bench}_bench.exe")
done
