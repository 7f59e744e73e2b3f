#!/usr/bin/env bash
# Builds the release of both architectures and packages each into dist/:
#   Sondrel-<version>-win32.zip, Sondrel-<version>-win64.zip         portable: unpack and run
#   Sondrel-<version>-setup-win32.exe, Sondrel-<version>-setup-win64.exe   per-user installers
# The version is the one of the version resource (res/SondrelVersion.h, from CMakeLists.txt).
# --test then runs the release tests on the 64-bit packages (scripts/release-test.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
start=$(date +%s)
test=0
case "${1:-}" in
  "") ;;
  --test) test=1 ;;
  *) echo "release: unknown argument '$1' (--test)" >&2; exit 2 ;;
esac

bash "$root/scripts/setup.sh"
SONDREL_BUILD_TARGETS="Sondrel sondrel_filters sondrel_help" bash "$root/scripts/build.sh" x86_64 i686

dist="$root/dist"
stage_root="$dist/.stage"
rm -rf "$stage_root"
mkdir -p "$stage_root"
# Every file of a package carries the time of the last commit, so that packages of the same
# sources hold the same bytes.
stamp=$(git -C "$root" log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)

for arch in x86_64 i686; do
  case $arch in
    x86_64) name=win64 ;;
    i686) name=win32 ;;
  esac
  build="$root/build/$arch"
  numbers=$(sed -n 's/^#define SONDREL_VERSION_NUMBERS //p' "$build/res/SondrelVersion.h")
  version4=${numbers//,/.}
  version=${version4%.0}

  stage="$stage_root/$name/Sondrel"
  mkdir -p "$stage"
  cp "$build/bin/Sondrel.exe" "$build/bin/SondrelFilters.dll" "$stage/"
  cp -r "$root/Help" "$stage/Help"
  find "$stage" -exec touch -h -t "$stamp" {} +

  zip="$dist/Sondrel-$version-$name.zip"
  rm -f "$zip"
  (cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | zip -q -X -D "$zip" -@)

  # The help folder's files by name, for the installer and its uninstaller.
  help_files="$stage_root/$name/HelpFiles.nsh"
  {
    echo '!macro InstallHelpFiles'
    (cd "$stage" && find Help -type d | LC_ALL=C sort) | while read -r d; do
      echo "  SetOutPath \"\$INSTDIR\\${d//\//\\}\""
      (cd "$stage" && find "$d" -maxdepth 1 -type f | LC_ALL=C sort) | while read -r f; do
        echo "  File \"$stage/$f\""
      done
    done
    echo '  SetOutPath "$INSTDIR"'
    echo '!macroend'
    echo '!macro UninstallHelpFiles'
    (cd "$stage" && find Help -type f | LC_ALL=C sort) | while read -r f; do
      echo "  Delete \"\$INSTDIR\\${f//\//\\}\""
    done
    (cd "$stage" && find Help -type d | LC_ALL=C sort -r) | while read -r d; do
      echo "  RMDir \"\$INSTDIR\\${d//\//\\}\""
    done
    echo '!macroend'
  } >"$help_files"

  setup="$dist/Sondrel-$version-setup-$name.exe"
  makensis -V2 -DVERSION="$version4" -DDISPLAY_VERSION="$version" -DARCH="$name" \
    -DSTAGE="$stage" -DHELP_FILES="$help_files" -DICON="$root/res/icons/sondrel.ico" \
    -DOUTFILE="$setup" "$root/res/installer/Sondrel.nsi"
  echo "release: $zip"
  echo "release: $setup"
done
rm -rf "$stage_root"
echo "release: done in $(( $(date +%s) - start )) s"

if [ $test -eq 1 ]; then
  bash "$root/scripts/release-test.sh"
fi
