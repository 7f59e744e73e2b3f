#!/usr/bin/env bash
# Tests the release packages that scripts/release.sh put into dist/ (also: release.sh --test):
#   files      the four packages; each zip holds the program files only; the programs' and
#              installers' headers (processor, no console, no compiler runtime DLL)
#   zip        the 64-bit zip unpacked into a new folder, in a fresh prefix: the program
#              records, registers nothing and writes no file outside its folder but the recording
#   installer  the 64-bit installer run silently in a fresh prefix: its files, the Start-menu
#              entry and the uninstall entry; the program records from there; the silent
#              uninstaller removes the program and its entries and leaves the user's files
#   help       the help page in headless Chromium: it renders, its pictures load, its local
#              links lead somewhere
# Only 64-bit programs run on these machines: the 32-bit packages are checked as files.
# Logs go to build/release-test/<run>/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist="$root/dist"
build="$root/build/x86_64"
start=$(date +%s)

SONDREL_BUILD_TARGETS="release_tests desktop_holder" bash "$root/scripts/build.sh" x86_64 >/dev/null || exit 1
run="$root/build/release-test/$(date +%Y%m%d-%H%M%S)-$$"
mkdir -p "$run"

failures=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }
check() {
  local what=$1
  shift
  if "$@" >>"$run/checks.log" 2>&1; then pass "$what"; else fail "$what"; fi
}

version=$(sed -n 's/^#define SONDREL_VERSION_NUMBERS //p' "$build/res/SondrelVersion.h")
version=${version//,/.}
version=${version%.0}
objdump=x86_64-w64-mingw32-objdump

echo "== files (version $version)"
zip_files() { unzip -Z1 "$1" | LC_ALL=C sort; }
help_files=$(cd "$root" && find Help -type f | LC_ALL=C sort)
expected_zip=$(printf '%s\n' Sondrel.exe SondrelFilters.dll $help_files | LC_ALL=C sort)
# pe_is <file> <format> <exe|dll>: the objdump file format, a program with the window
# subsystem (no console) or a DLL, importing no DLL of a compiler's or Visual C++'s runtime.
pe_is() {
  local headers
  headers=$($objdump -p "$1") || return 1
  grep -q "file format $2\$" <<<"$headers" || { echo "$1: not $2"; return 1; }
  if grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread|msvcp|vcruntime|ucrtbase|api-ms-win-crt)' <<<"$headers"; then
    echo "$1: needs a runtime DLL"
    return 1
  fi
  case $3 in
    dll) grep -qP '^\tDLL$' <<<"$headers" || { echo "$1: not a DLL"; return 1; } ;;
    exe) ! grep -qP '^\tDLL$' <<<"$headers" && grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" ||
           { echo "$1: not a window program"; return 1; } ;;
  esac
}
for name in win32 win64; do
  case $name in win32) format=pei-i386 ;; win64) format=pei-x86-64 ;; esac
  zip="$dist/Sondrel-$version-$name.zip"
  setup="$dist/Sondrel-$version-setup-$name.exe"
  check "$name: $(basename "$zip") holds Sondrel.exe, SondrelFilters.dll and Help/ only" \
    diff <(echo "$expected_zip") <(zip_files "$zip")
  rm -rf "$run/$name" && mkdir -p "$run/$name" && unzip -q "$zip" -d "$run/$name"
  check "$name: Sondrel.exe is a $format window program without runtime DLLs" pe_is "$run/$name/Sondrel.exe" $format exe
  check "$name: SondrelFilters.dll is a $format DLL without runtime DLLs" pe_is "$run/$name/SondrelFilters.dll" $format dll
  check "$name: the help page is the checked-in one" diff -r "$root/Help" "$run/$name/Help"
  check "$name: $(basename "$setup") is a $format program" pe_is "$setup" $format exe
done

. "$root/scripts/test-env.sh"
# recorded <log>: the Linux path of the recording the release test made.
recorded() { sed -n 's/^recording: //p' "$1" | tr -d '\r' | tail -n 1; }
# record <Windows folder of Sondrel.exe> <log>: the release recording test.
record() {
  mkdir -p "$run/tones"
  SONDREL_RELEASE_DIR=$1 SONDREL_TONE_DIR="$run/tones" wine "$build/bin/release_tests.exe" >"$2" 2>&1
}
no_registration() {
  ! wine reg query 'HKCR\CLSID\{B8D27088-FF5F-4B7C-98DC-0E91A1696286}' &&
    ! wine reg query 'HKCR\CLSID\{3C78B8E2-6C4D-11D1-ADE2-0000F8754B99}'
}

# Each prefix gets a home folder of its own: Wine links the user's Documents, where
# recordings go by default, to the Linux home folder.
echo "== zip (64-bit, unpacked)"
export HOME="$run/zip/home"
mkdir -p "$HOME"
sondrel_env_start "$run/zip" audio "$build/bin/desktop_holder.exe" || exit 1
sondrel_keep_sink_running
unpacked="$run/zip/unpacked/Sondrel"
mkdir -p "$unpacked"
unzip -q "$dist/Sondrel-$version-win64.zip" -d "$unpacked"
touch "$run/zip/before"
sleep 1
check "the unpacked program records" record "Z:${unpacked//\//\\}" "$run/zip/record.log"
recording=$(realpath -e "$(recorded "$run/zip/record.log")")
check "it registers no filter" no_registration
# Every file written meanwhile: in the prefix, the home folder and beside the unpacked folder,
# but Wine's own (its system folder and registry files), the unpacked folder itself and the
# test's decoding of the recording beside it.
written=$(find "$WINEPREFIX" "$HOME" "$run/zip/unpacked" -newer "$run/zip/before" -type f \
  ! -path "$WINEPREFIX/drive_c/windows/*" ! -path "$WINEPREFIX/*.reg" ! -path "$unpacked/*" \
  ! -path "$recording.raw" | LC_ALL=C sort)
echo "$written" >"$run/zip/written.txt"
check "nothing is written outside its folder but the recording" \
  test -n "$recording" -a "$written" = "$recording"
check "its settings file lies beside it" test -f "$unpacked/Sondrel.cfg"
wineserver -k
rm -rf "$WINEPREFIX"

echo "== installer (64-bit, silent)"
export HOME="$run/installer/home"
mkdir -p "$HOME"
sondrel_make_prefix "$run/installer"
sondrel_hold_desktop "$build/bin/desktop_holder.exe" "$run/installer" || exit 1
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n 1)
home="$WINEPREFIX/drive_c/users/$user"
instdir="$home/AppData/Local/Programs/Sondrel"
shortcut="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Velmora Sondrel.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sondrel'
check "the installer runs silently" wine "$dist/Sondrel-$version-setup-win64.exe" /S
check "it installs the program into the user's programs folder" \
  diff -r -x Uninstall.exe "$run/win64" "$instdir"
check "with an uninstaller" test -f "$instdir/Uninstall.exe"
check "it adds the Start-menu entry" test -f "$shortcut"
reg_value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
check "it adds the uninstall entry under HKCU" test "$(reg_value DisplayVersion)" = "$version"
check "which names the uninstaller" test "$(reg_value UninstallString)" = "\"C:\\users\\$user\\AppData\\Local\\Programs\\Sondrel\\Uninstall.exe\""
check "it registers no filter" no_registration
check "the installed program records" record "C:\\users\\$user\\AppData\\Local\\Programs\\Sondrel" "$run/installer/record.log"
recording=$(realpath -e "$(recorded "$run/installer/record.log")")
# While the program runs, the uninstaller leaves everything as it is.
wine "$instdir/Sondrel.exe" >"$run/installer/running.log" 2>&1 &
running=$!
for i in $(seq 200); do
  xdotool search --name '^Velmora Sondrel' >/dev/null 2>&1 && break
  sleep 0.1
done
wine "$instdir/Uninstall.exe" /S
sleep 5  # the uninstaller's copy decides at its start
check "the uninstaller refuses while the program runs" test -f "$instdir/Sondrel.exe" -a -f "$instdir/Uninstall.exe"
# As when the window is closed: the program ends normally.
wine taskkill /IM Sondrel.exe >>"$run/installer/running.log" 2>&1
wait $running
# Recordings a user keeps in the program's folder, loose and in a folder of their own.
mkdir -p "$instdir/Takes"
[ -n "$recording" ] && cp "$recording" "$instdir/take.mp3" && cp "$recording" "$instdir/Takes/take.mp3"
wine "$instdir/Uninstall.exe" /S
# The uninstaller copies itself away, starts the copy and returns at once: wait for its end.
for i in $(seq 600); do
  [ -e "$instdir/Uninstall.exe" ] || [ -e "$shortcut" ] || wine reg query "$key" >/dev/null 2>&1 || break
  sleep 0.1
done
sleep 1
left=$(cd "$instdir" 2>/dev/null && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
check "the uninstaller removes the program and leaves the user's files" test "$left" = "./Takes ./Takes/take.mp3 ./take.mp3 "
check "and the Start-menu entry" test ! -e "$shortcut"
check "and the uninstall entry" bash -c "! wine reg query '$key'"
check "and leaves the recording in place" test -n "$recording" -a -f "$recording"
echo "left in the program's folder: $left" >>"$run/checks.log"
sondrel_env_stop
trap - EXIT

echo "== help page (headless Chromium)"
page="$root/Help/index.html"
cat >"$run/help-check.html" <<HTML
<!DOCTYPE html>
<iframe id="page" src="file://$page" style="width: 1000px; height: 800px"></iframe>
<pre id="result">pending</pre>
<script>
// The page's pictures must have loaded, its fragment links must name an element, its other
// local links must lead to a file; web links need a network these machines lack.
function exists(url) {
  const request = new XMLHttpRequest();
  try { request.open('GET', url, false); request.send(); } catch (e) { return false; }
  return request.status === 0 || request.status === 200;
}
document.getElementById('page').onload = function () {
  const doc = this.contentDocument;
  const problems = [];
  if (!doc || !doc.querySelector('h1') || doc.body.scrollHeight < 500) problems.push('the page did not render');
  const images = doc ? Array.from(doc.images) : [];
  for (const image of images)
    if (!image.complete || image.naturalWidth === 0) problems.push('broken picture ' + image.getAttribute('src'));
  let links = 0;
  for (const a of doc ? doc.querySelectorAll('a[href]') : []) {
    const href = a.getAttribute('href');
    if (/^[a-z]+:/i.test(href) && !href.startsWith('file:')) continue;
    ++links;
    const url = new URL(href, doc.baseURI);
    const id = decodeURIComponent(url.hash.slice(1));
    if (url.pathname === new URL(doc.baseURI).pathname) {
      if (id && !doc.getElementById(id)) problems.push('no target for ' + href);
    } else if (!exists(url.href)) {
      problems.push('broken link ' + href);
    }
  }
  document.getElementById('result').textContent = problems.length
      ? 'FAIL ' + problems.join('; ')
      : 'PASS ' + images.length + ' pictures, ' + links + ' local links';
};
</script>
HTML
chromium=(chromium --headless --no-sandbox --disable-gpu --allow-file-access-from-files
          --user-data-dir="$run/chromium" --virtual-time-budget=10000)
result=$("${chromium[@]}" --dump-dom "file://$run/help-check.html" 2>>"$run/chromium.log" |
         sed -n 's/.*<pre id="result">\([^<]*\)<\/pre>.*/\1/p')
echo "$result" >>"$run/checks.log"
check "the help page renders with every picture and local link ($result)" test "${result%% *}" = PASS
"${chromium[@]}" --window-size=1000,4000 --screenshot="$run/help-page.png" "file://$page" >>"$run/chromium.log" 2>&1

echo
echo "release-test: $failures failed, in $(( $(date +%s) - start )) s; logs in $run"
[ $failures -eq 0 ]
