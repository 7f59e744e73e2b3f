#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Sondrel needs.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  cmake ninja-build make pkg-config
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  googletest
  wine wine64 libwine
  xvfb xauth xdotool x11-utils imagemagick
  pulseaudio pulseaudio-utils
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
  sox libsox-fmt-mp3 lame ffmpeg
  dpkg-dev e2fsprogs procps
  fuse3 libfuse3-dev
  nsis zip unzip chromium
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The lame source package is cross-compiled by the build; `apt-get source` needs a deb-src line.
need_src=0
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  need_src=1
fi

if [ ${#missing[@]} -eq 0 ] && [ $need_src -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

# As a desktop user, the installation asks for sudo (and only when something is missing).
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "setup: these packages are missing and installing them needs root:" >&2
    echo "  ${missing[*]}" >&2
    [ $need_src -eq 1 ] && echo "  and a deb-src entry for bookworm main (for 'apt-get source lame')" >&2
    echo "Run this script as root, or install sudo." >&2
    exit 1
  fi
  echo "setup: installing what is missing needs root; asking sudo"
  sudo=(sudo)
fi

if [ $need_src -eq 1 ]; then
  "${sudo[@]}" tee /etc/apt/sources.list.d/sondrel-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi

# One index of the mirror can be inconsistent and make `apt-get update` exit 100
# while everything needed is still available; the install below is what must succeed.
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
"${apt[@]}" update -q || echo "setup: apt-get update reported an error; trying the install anyway" >&2
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"; then
    echo "setup: could not install: ${missing[*]}" >&2
    echo "setup: check the network access to Debian's mirror and the apt sources." >&2
    exit 1
  fi
fi
echo "setup: done"
