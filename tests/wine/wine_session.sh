#!/usr/bin/env bash
# Runs a command inside a private session for Windows programs under Wine: a virtual X
# server on a display number this session holds, a PulseAudio server with a null sink
# "kelvarin_test" (recorded at kelvarin_test.monitor), and a fresh Wine prefix whose
# server runs until the command ends. Everything goes when it ends; its status is kept.
#
#   wine_session.sh WINE WINEARCH command [arguments...]
#
# WINEARCH is win64 or win32, as the loader WINE runs. The command sees DISPLAY,
# PULSE_SERVER, WINEPREFIX, WINEARCH, KELVARIN_WINE (the loader) and
# KELVARIN_SESSION_DIR (a directory for its own files).
set -u
export KELVARIN_WINE=$1 WINEARCH=$2
shift 2

session=$(mktemp -d "${TMPDIR:-/tmp}/kelvarin-wine-XXXXXX")
export KELVARIN_SESSION_DIR=$session/files
mkdir "$KELVARIN_SESSION_DIR"
x_pid=""
pulse_pid=""
export WINEPREFIX=$session/prefix
# Never ask to install Mono or Gecko; say nothing of Wine's own fixmes.
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
finish() {
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
  [ -n "$x_pid" ] && kill "$x_pid" 2>/dev/null && wait "$x_pid" 2>/dev/null
  rm -rf "$session"
}
trap finish EXIT

fail() {
  echo "wine session ($WINEARCH): $*" >&2
  exit 1
}

wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# Wine does not always reach an X server that picked its own display while others start
# and stop, so this one takes a number: Xvfb refuses a number whose lock file another
# server holds, and the lock file names the server that won it.
start_x() {
  local display
  for display in $(shuf -i 200-899 -n 30); do
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$session/xvfb.log" 2>&1 &
    x_pid=$!
    if wait_for 5 xdpyinfo -display ":$display" && kill -0 "$x_pid" 2>/dev/null &&
       [ "$(tr -d ' ' <"/tmp/.X$display-lock" 2>/dev/null)" = "$x_pid" ]; then
      export DISPLAY=":$display"
      return 0
    fi
    kill "$x_pid" 2>/dev/null
    wait "$x_pid" 2>/dev/null
    x_pid=""
  done
  fail "no free X display: $(cat "$session/xvfb.log")"
}

start_pulse() {
  mkdir -m 700 "$session/home" "$session/runtime"
  export HOME=$session/home XDG_RUNTIME_DIR=$session/runtime
  export PULSE_SERVER=unix:$session/pulse.socket
  env -u DISPLAY DBUS_SESSION_BUS_ADDRESS=disabled: \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    --load="module-native-protocol-unix socket=$session/pulse.socket auth-anonymous=1" \
    --load="module-null-sink sink_name=kelvarin_test rate=44100 channels=1" \
    >"$session/pulseaudio.log" 2>&1 &
  pulse_pid=$!
  wait_for 10 pactl info || fail "pulseaudio did not start: $(cat "$session/pulseaudio.log")"
}

# The prefix's server stays up between the programs (and is killed at the end); its
# output goes to a file, so that it never holds the output of whoever runs the session.
start_wine() {
  mkdir "$WINEPREFIX"
  wineserver -p </dev/null >>"$session/wine.log" 2>&1 || fail "wineserver failed: $(cat "$session/wine.log")"
  "$KELVARIN_WINE" wineboot -i </dev/null >>"$session/wine.log" 2>&1 ||
    fail "wineboot failed: $(cat "$session/wine.log")"
  # With no window manager here, Wine would wait two seconds for one to take every
  # window it hides (a closing program's too), so it manages its windows itself.
  "$KELVARIN_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    </dev/null >>"$session/wine.log" 2>&1 || fail "cannot set up Wine's X11 driver"
  # A program that crashes ends at once instead of waiting in the debugger.
  "$KELVARIN_WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    </dev/null >>"$session/wine.log" 2>&1 || true
}

start_x
start_pulse
start_wine
"$@"
