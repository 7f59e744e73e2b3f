#!/usr/bin/env bash
# Fetches Debian's lame source package once and builds libmp3lame for one architecture,
# into a cache outside every build folder, so that each build folder and each later
# configure reuses it:  scripts/build-lame.sh <triplet|native> <cache dir> <C compiler>
# Several build folders may configure at once: one lock serialises fetching and building.
set -euo pipefail
arch=$1
cache=$2
cc=$3
version=3.100

mkdir -p "$cache"
cache=$(cd "$cache" && pwd)
exec 9>"$cache/lame.lock"
flock 9

src="$cache/lame-$version-src"
if [ ! -f "$src/.complete" ]; then
  rm -rf "$src" "$cache/lame-fetch"
  mkdir "$cache/lame-fetch"
  (cd "$cache/lame-fetch" && apt-get source -q lame >fetch.log 2>&1) || {
    cat "$cache/lame-fetch/fetch.log" >&2
    echo "build-lame: 'apt-get source lame' failed; scripts/setup.sh adds the deb-src entry it needs" >&2
    exit 1
  }
  # Only the library is built; configure still wants the Makefile.in of every folder.
  unpacked=$(find "$cache/lame-fetch" -mindepth 1 -maxdepth 1 -type d -name "lame-$version*")
  find "$unpacked/dshow" "$unpacked/ACM" -type f ! -name Makefile.in -delete
  mv "$unpacked" "$src"
  rm -rf "$cache/lame-fetch"
  touch "$src/.complete"
fi

# LAME's own optimisation for gcc, which its configure picks when no CFLAGS are given: about
# 15 % less CPU per second of audio than -O2 here. -ffast-math lets the compiler reorder
# floating-point arithmetic, so frames differ in their last bits from those of a -O2 build.
# The flags name the cache folder: a library built with others is never taken for this one.
cflags="-O3 -ffast-math -funroll-loops"
prefix="$cache/lame-$version-fast-$arch"
if [ ! -f "$prefix/.complete" ]; then
  rm -rf "$prefix" "$prefix-build"
  mkdir -p "$prefix-build"
  host=()
  [ "$arch" != native ] && host=(--host="$arch")
  (
    cd "$prefix-build"
    CC="$cc" CFLAGS="$cflags" "$src/configure" "${host[@]}" --prefix="$prefix" \
      --disable-shared --enable-static --disable-frontend --disable-decoder
    make -j"$(nproc)"
    make install
  ) >"$prefix.log" 2>&1 || {
    tail -n 40 "$prefix.log" >&2
    echo "build-lame: building libmp3lame for $arch failed (log: $prefix.log)" >&2
    exit 1
  }
  rm -rf "$prefix-build"
  touch "$prefix/.complete"
fi
