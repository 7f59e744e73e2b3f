#!/usr/bin/env bash
# Runs the settings fuzz target once on a file whose first line is 10 MB long, followed by a
# short key: the reader must cut the line, not grow with it or split it.
#   run-long-line.sh <settings_fuzzer> <file to write>
set -euo pipefail
fuzzer=$1 file=$2
mkdir -p "$(dirname "$file")"
{
  printf 'FileTemplate: '
  head -c 10485760 /dev/zero | tr '\0' x
  printf '\r\nChannels: 2\r\n'
} >"$file"
"$fuzzer" "$file"
