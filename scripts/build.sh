#!/usr/bin/env bash
# Configures and builds Sondrel. Arguments name the builds (default: all three):
#   x86_64, i686  the Windows program, its filters and its tests (build/<arch>/bin)
#   native        the platform-independent logic and its tests, under sanitizers
# SONDREL_BUILD_TARGETS (space-separated) builds only those targets instead of everything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(native x86_64 i686)

mkdir -p "$root/build"
for b in "${builds[@]}"; do
  dir="$root/build/$b"
  args=(-G Ninja -DCMAKE_BUILD_TYPE=Release)
  case "$b" in
    native) ;;
    x86_64|i686) args+=("-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-$b-w64-mingw32.cmake") ;;
    *) echo "build: unknown build '$b' (native, x86_64, i686)" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" "${args[@]}" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log" >&2; exit 1; }
  fi
  echo "build: $b"
  read -r -a targets <<<"${SONDREL_BUILD_TARGETS:-}"
  cmake --build "$dir" ${targets[@]+--target "${targets[@]}"}
done
