# Sourced by the test and run scripts: starts what Sondrel needs under Wine, each part in
# folders and on a display of this run's own, and stops them again by process id.
# Call sondrel_env_start <run-dir> [audio|no-audio] [desktop-holder.exe]; sondrel_env_stop is set
# as the EXIT trap.

sondrel_env_pids=()

sondrel_env_stop() {
  sondrel_stop_live_prefix
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    # A test that was ended leaves what it mounted in the prefix (a small disk, a failing
    # folder, whose program ends with its mount).
    findmnt -rn -o TARGET | grep -F "$WINEPREFIX/" | sort -r | while read -r mount; do
      umount -l "$mount" || true
    done
    # A test prefix is hundreds of megabytes and is never reused.
    [ "${sondrel_env_own_prefix:-0}" = 1 ] && rm -rf "$WINEPREFIX"
  fi
  sondrel_stop_pids
}

# Ends the processes this shell started (sondrel_env_pids), by process id.
sondrel_stop_pids() {
  local pid
  for pid in "${sondrel_env_pids[@]}"; do
    kill "$pid" >/dev/null 2>&1 || true
  done
  for pid in "${sondrel_env_pids[@]}"; do
    wait "$pid" >/dev/null 2>&1 || true
  done
  sondrel_env_pids=()
}

sondrel_start_xvfb() {
  local dir=$1 fifo="$1/xvfb-display"
  mkfifo "$fifo"
  # -displayfd lets the server pick a free display number, so parallel runs never collide.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$dir/xvfb.log" 2>&1 &
  sondrel_env_pids+=($!)
  local display
  read -r -t 30 display <"$fifo" || { echo "test-env: Xvfb did not start (see $dir/xvfb.log)" >&2; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$display"
}

sondrel_start_pulse() {
  local dir="$1/pulse"
  mkdir -p "$dir/home"
  HOME="$dir/home" PULSE_RUNTIME_PATH="$dir/runtime" pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    --use-pid-file=no \
    --load="module-null-sink sink_name=nullsink" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
    >"$dir.log" 2>&1 &
  sondrel_env_pids+=($!)
  local i
  for i in $(seq 100); do
    [ -S "$dir/native" ] && break
    sleep 0.1
  done
  [ -S "$dir/native" ] || { echo "test-env: PulseAudio did not start (see $dir.log)" >&2; return 1; }
  export PULSE_SERVER="unix:$dir/native"
}

# Keeps a silent low-latency stream playing into the null sink of PULSE_SERVER, as a sound
# card's clock would: an idle null sink renders in blocks of up to two seconds, and a capture
# stream on its monitor then waits that long for its first audio.
sondrel_keep_sink_running() {
  pacat --playback --device=nullsink --latency-msec=20 --raw /dev/zero >/dev/null 2>&1 &
  sondrel_env_pids+=($!)
}

sondrel_make_prefix() {
  export WINEPREFIX="$1/wineprefix"
  sondrel_env_own_prefix=1
  export WINEDEBUG=-all
  # No downloads of Wine's Mono and Gecko add-ons: the program needs neither.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # One persistent server for the whole run: every test process then starts in milliseconds.
  wineserver -p
  # The first program in a new prefix has Wine create it and start its background processes,
  # here with their output going to the log: started later by a test they would inherit its
  # output pipe and keep ctest waiting for its end. That program is the only one: an explicit
  # wineboot on top would start a second set of services that compete with the first.
  # A crashing test program must end, not wait in Wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >"$1/wineboot.log" 2>&1
  # The display has no window manager: Wine handles the windows itself (as Windows does)
  # instead of waiting two seconds for a window manager to confirm each hidden window.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$1/wineboot.log" 2>&1
}

# Runs the test build's desktop_holder.exe for the rest of the run (see tests/support/
# DesktopHolder.cpp), with no part in any test's output, and waits for the desktop.
sondrel_hold_desktop() {
  local exe=$1 log="$2/desktop-holder.log"
  wine "$exe" </dev/null >"$log" 2>&1 &
  sondrel_env_pids+=($!)
  local i
  for i in $(seq 300); do
    grep -q ready "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "test-env: the Wine desktop did not start (see $log)" >&2
  return 1
}

sondrel_env_start() {
  local dir=$1 audio=${2:-audio} holder=${3:-}
  mkdir -p "$dir"
  # Made only when a live-capture test first needs it (sondrel_live_prefix).
  export SONDREL_LIVE_DIR="$dir/live"
  trap sondrel_env_stop EXIT
  sondrel_start_xvfb "$dir"
  if [ "$audio" = audio ]; then
    sondrel_start_pulse "$dir"
  else
    export PULSE_SERVER="unix:/nonexistent/sondrel-no-audio"
  fi
  sondrel_make_prefix "$dir"
  if [ -n "$holder" ]; then
    sondrel_hold_desktop "$holder" "$dir"
  fi
}

# The live-capture prefix of this run (SONDREL_LIVE_DIR): a prefix without any virtual
# capture device, where Wine lists only the sound server's devices. The first process that
# needs it makes it (others wait on the lock), with Wine's desktop held open as in the
# shared prefix; the calling shell then uses it. sondrel_env_stop removes it.
# Call sondrel_live_prefix [desktop-holder.exe].
sondrel_live_prefix() {
  local holder=${1:-} live=${SONDREL_LIVE_DIR:?}
  mkdir -p "$live"
  # What starts here runs on after this subshell: it must not inherit the lock (fd 9).
  (
    flock 9
    [ -f "$live/ready" ] && exit 0
    sondrel_make_prefix "$live" </dev/null >>"$live/prefix.log" 2>&1 9>&- || exit 1
    if [ -n "$holder" ] && [ -f "$holder" ]; then
      sondrel_hold_desktop "$holder" "$live" 9>&- || exit 1
      echo "${sondrel_env_pids[@]}" >"$live/pids"
    fi
    touch "$live/ready"
  ) 9>"$live/lock" || { echo "test-env: could not make the live-capture prefix (see $live)" >&2; return 1; }
  export WINEPREFIX="$live/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

sondrel_stop_live_prefix() {
  local live=${SONDREL_LIVE_DIR:-} pid
  [ -n "$live" ] && [ -d "$live" ] || return 0
  [ -d "$live/wineprefix" ] && WINEPREFIX="$live/wineprefix" wineserver -k >/dev/null 2>&1
  for pid in $(cat "$live/pids" 2>/dev/null); do
    kill "$pid" >/dev/null 2>&1 || true
  done
  rm -rf "$live"
}

# True when Wine runs 32-bit programs here: a 32-bit test program of the i686 build (in
# folder $1) must start in the running environment and list its tests. A Wine file being
# present says nothing: these machines' kernels cannot run 32-bit code at all.
sondrel_has_wine32() {
  local program="$1/bin/diag_format_tests.exe" out
  [ -f "$program" ] || return 1
  out=$(timeout 60 wine "$program" --gtest_list_tests 2>/dev/null) || return 1
  grep -q '^ReportText\.' <<<"$out"
}
