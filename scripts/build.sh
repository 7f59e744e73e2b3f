#!/usr/bin/env bash
# Configures and builds Sondrel. Arguments name the builds (default: all three):
#   x86_64, i686  the Windows program, its filters and its tests (build/<arch>/bin)
#   native        the platform-independent logic and its tests, under sanitizers
#   fuzz          the libFuzzer targets of that logic (clang, under sanitizers)
# SONDREL_BUILD_TARGETS (space-separated) builds only those targets instead of the build's own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(native x86_64 i686)

mkdir -p "$root/build"
for b in "${builds[@]}"; do
  dir="$root/build/$b"
  args=(-G Ninja -DCMAKE_BUILD_TYPE=Release)
  targets=()
  case "$b" in
    native) ;;
    fuzz)
      args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSONDREL_FUZZ=ON)
      targets=(sondrel_fuzzers) ;;
    x86_64|i686) args+=("-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-$b-w64-mingw32.cmake") ;;
    *) echo "build: unknown build '$b' (native, fuzz, x86_64, i686)" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" "${args[@]}" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log" >&2; exit 1; }
  fi
  echo "build: $b"
  if [ -n "${SONDREL_BUILD_TARGETS:-}" ]; then read -r -a targets <<<"$SONDREL_BUILD_TARGETS"; fi
  cmake --build "$dir" ${targets[@]+--target "${targets[@]}"}
done
