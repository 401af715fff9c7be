# The one shell library of the test sessions, sourced by every harness and session
# script (bash): clean-up at exit, private directories, waiting for an event, skipping
# what a machine cannot run, and starting and stopping the servers a session needs
# (Xvfb, JACK, PulseAudio, a Wine prefix and its server). It sets no shell options.
#
# A new kind of server is one more start_NAME function here: start it with
# start_server, wait for it with wait_for_server, export what its clients need.

# --- Clean-up: a stack of commands run at exit, the last one pushed first. ---------
session_cleanups=()
at_exit() {  # at_exit COMMAND: runs COMMAND (evaluated) when the script ends
  session_cleanups=("$1" "${session_cleanups[@]}")
}
run_cleanups() {
  local command
  for command in "${session_cleanups[@]}"; do
    eval "$command" || true
  done
}
trap run_cleanups EXIT
# A signal ends the script through its exit, so the clean-up runs then too.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# --- Outcomes. --------------------------------------------------------------------
# fail MESSAGE: the test fails, saying why, and what the logs in fail_logs hold.
fail_logs=()
fail() {
  echo "FAIL: $*" >&2
  local log
  for log in "${fail_logs[@]}"; do
    [ -f "$log" ] && sed "s/^/  $(basename "$log" .log): /" "$log" >&2
  done
  exit 1
}
# CTest counts a session test that exits with this status as skipped (SKIP_RETURN_CODE).
session_skip_status=77
skip() {  # skip REASON: one line that says what this machine lacks, and the test is skipped
  echo "SKIPPED: $*"
  exit "$session_skip_status"
}
require_programs() {  # require_programs PROGRAM...: skips unless the machine has them all
  local program
  for program in "$@"; do
    command -v "$program" >/dev/null || skip "this machine has no $program"
  done
}

# --- Files. -----------------------------------------------------------------------
private_dir() {  # private_dir VARIABLE: a new directory of this script's own, removed at exit
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/kelvarin-XXXXXX") || fail "cannot make a temporary directory"
  at_exit "rm -rf '$dir'"
  printf -v "$1" %s "$dir"
}

# --- Waiting for an event. ----------------------------------------------------------
wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds; fails when it never did
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

process_gone() {  # process_gone PID: it has ended (a child that has not been waited for included)
  local state
  state=$(sed 's/.*) \(.\).*/\1/' "/proc/$1/stat" 2>/dev/null)
  [ -z "$state" ] || [ "$state" = Z ]
}

# wait_for_server SECONDS PID COMMAND...: as wait_for, but gives up at once when the
# server PID has ended.
wait_for_server() {
  local deadline=$((SECONDS + $1)) pid=$2
  shift 2
  until "$@" >/dev/null 2>&1; do
    ! process_gone "$pid" && [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# --- Servers. ---------------------------------------------------------------------
# How long a server has to start, and to end once asked: generous, for a busy machine.
server_start_seconds=60
server_stop_seconds=10

stop_process() {  # stop_process PID: asks it to end, wakes it should it be stopped, kills it if it does not end
  kill -TERM "$1" 2>/dev/null || return 0
  kill -CONT "$1" 2>/dev/null
  wait_for "$server_stop_seconds" process_gone "$1" || kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}

# When set, a file where every server started is listed as "PID COMMAND", so that a
# later session can stop the servers of one that was killed (see take_session_lock).
server_list=""

# start_server NAME LOG COMMAND...: starts a server in the background, its output to
# LOG; sets server_pid. It is stopped at exit, and does not inherit the session lock
# (fd 9). NAME is the process's name in /proc/PID/comm, for the server list.
start_server() {
  local name=$1 log=$2
  shift 2
  "$@" </dev/null >"$log" 2>&1 9>&- &
  server_pid=$!
  at_exit "stop_process $server_pid"
  [ -z "$server_list" ] || echo "$server_pid $name" >>"$server_list"
}

# take_session_lock: one desktop session of this user at a time (see
# with_desktop_session.sh why). Also stops the servers that the last one left running
# when it was killed from outside (a test's time limit), which it could not stop
# itself. The lock is file descriptor 9, which no server inherits, so a stray server
# cannot hold it.
take_session_lock() {
  local lock=/tmp/kelvarin-desktop-session-$(id -u).lock
  if ! exec 9>"$lock"; then
    echo "cannot open the session lock $lock (see above why)" >&2
    exit 1
  fi
  local since=$SECONDS
  if ! flock -w 600 9; then
    echo "another desktop session of this user has held $lock for ten minutes" >&2
    exit 1
  fi
  [ $SECONDS -eq $since ] || echo "waited $((SECONDS - since)) s for another desktop session"
  server_list=/tmp/kelvarin-desktop-session-$(id -u).servers
  local pid name
  if [ -f "$server_list" ]; then
    while read -r pid name; do
      [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] && stop_process "$pid"
    done <"$server_list"
  fi
  : >"$server_list"
  at_exit "rm -f '$server_list'"
}

# start_x DIR: a virtual X server on a display number of its own; exports DISPLAY and
# sets x_pid. Xvfb refuses a number whose lock file another server holds, and the lock
# file names the server that won it. (Wine does not always reach an X server that
# picked its own display with -displayfd while others start and stop.) It never resets
# when its last client leaves, so a client that came and went before the program
# cannot leave it resetting just as the program connects.
start_x() {
  local dir=$1 display
  for display in $(shuf -i 200-899 -n 30); do
    start_server Xvfb "$dir/xvfb.log" Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset
    if wait_for_server "$server_start_seconds" "$server_pid" xdpyinfo -display ":$display" &&
       [ "$(tr -d ' ' <"/tmp/.X$display-lock" 2>/dev/null)" = "$server_pid" ]; then
      export DISPLAY=":$display"
      x_pid=$server_pid
      return 0
    fi
    stop_process "$server_pid"
  done
  fail "no free X display: $(cat "$dir/xvfb.log")"
}

# start_pulse DIR SINK [SINK_ARGUMENTS...]: a private PulseAudio server in home and
# runtime directories of its own, so it never meets the user's own, with one null sink
# SINK at 44100 Hz (recorded at SINK.monitor). Exports HOME, XDG_RUNTIME_DIR and
# PULSE_SERVER; sets pulse_pid.
start_pulse() {
  local dir=$1 sink=$2
  shift 2
  mkdir -m 700 "$dir/home" "$dir/runtime"
  export HOME=$dir/home XDG_RUNTIME_DIR=$dir/runtime
  export PULSE_SERVER=unix:$dir/pulse.socket
  start_server pulseaudio "$dir/pulseaudio.log" env -u DISPLAY DBUS_SESSION_BUS_ADDRESS=disabled: \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    -L "module-native-protocol-unix socket=$dir/pulse.socket auth-anonymous=1" \
    -L "module-null-sink sink_name=$sink rate=44100 $*"
  pulse_pid=$server_pid
  wait_for_server "$server_start_seconds" "$pulse_pid" pactl info ||
    fail "pulseaudio did not start: $(cat "$dir/pulseaudio.log")"
}

# start_pipewire DIR RATE [QUANTUM]: a private PipeWire server, in runtime,
# configuration and state directories of its own, with the session manager WirePlumber
# and the PulseAudio service pipewire-pulse. Its graph runs at RATE, at its default
# quantum unless QUANTUM is given, and its default sink is a null sink "null" that
# records at null.monitor. There is no session bus, so WirePlumber watches no devices
# and asks no portal. Exports HOME, the XDG directories and PULSE_SERVER; sets
# pipewire_pid, and pulse_pid for pipewire-pulse.
pipewire_null_sink_is_default() {
  pw-metadata -n default 0 default.audio.sink 2>/dev/null | grep -q '"name":"null"'
}
start_pipewire() {
  local dir=$1 rate=$2 quantum=${3:-} quantum_settings=""
  mkdir -m 700 "$dir/home" "$dir/runtime" "$dir/config" "$dir/state"
  export HOME=$dir/home XDG_RUNTIME_DIR=$dir/runtime XDG_CONFIG_HOME=$dir/config
  export XDG_STATE_HOME=$dir/state PULSE_SERVER=unix:$dir/runtime/pulse/native
  [ -n "$quantum" ] && quantum_settings="default.clock.quantum = $quantum
    default.clock.min-quantum = $quantum
    default.clock.max-quantum = $quantum"
  mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" "$XDG_CONFIG_HOME/wireplumber/main.lua.d" \
    "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
  cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/kelvarin-session.conf" <<EOF
context.properties = {
    default.clock.rate = $rate
    default.clock.allowed-rates = [ $rate ]
    $quantum_settings
}
context.objects = [
    { factory = adapter
      args = {
          factory.name = support.null-audio-sink
          node.name = "null"
          node.description = "Null sink"
          media.class = "Audio/Sink"
          audio.position = [ FL FR ]
          audio.rate = $rate
          object.linger = true
          priority.driver = 100000
          priority.session = 100000
      }
    }
]
EOF
  # After the packaged settings (50-*), before the monitors start (90-*).
  cat >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/60-kelvarin-session.lua" <<EOF
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
EOF
  echo "bluez_monitor.enabled = false" >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/60-kelvarin-session.lua"
  local server ready
  for server in pipewire wireplumber pipewire-pulse; do
    start_server "$server" "$dir/$server.log" env -u DISPLAY DBUS_SESSION_BUS_ADDRESS=disabled: "$server"
    case $server in
      pipewire) pipewire_pid=$server_pid; ready=(test -S "$XDG_RUNTIME_DIR/pipewire-0") ;;
      wireplumber) ready=(pipewire_null_sink_is_default) ;;
      pipewire-pulse) pulse_pid=$server_pid; ready=(pactl info) ;;
    esac
    wait_for_server "$server_start_seconds" "$server_pid" "${ready[@]}" ||
      fail "$server did not start: $(cat "$dir/$server.log")"
  done
}

# start_jack DIR NAME JACKD_ARGUMENTS...: a JACK server of that name (jackd's options,
# then -d and the driver's); exports JACK_DEFAULT_SERVER and sets jack_pid.
start_jack() {
  local dir=$1 name=$2
  shift 2
  export JACK_DEFAULT_SERVER=$name JACK_NO_AUDIO_RESERVATION=1
  # Semaphores that a stopped or killed server of this name left behind.
  rm -f /dev/shm/jack_sem.*_"$name"_*
  at_exit "rm -f /dev/shm/jack_sem.*_'$name'_*"
  start_server jackd "$dir/jackd.log" jackd --no-realtime --name "$name" "$@"
  jack_pid=$server_pid
  # Ready once a client can list its ports; a client that comes during start-up may
  # be turned away, so it asks again.
  wait_for_server "$server_start_seconds" "$jack_pid" jack_lsp ||
    fail "jackd did not start: $(cat "$dir/jackd.log")"
}

# --- Wine. --------------------------------------------------------------------------
# use_wine LOADER WINEARCH PREFIX: points Wine at the prefix, never asking to install
# Mono or Gecko and saying nothing of Wine's own fixmes.
use_wine() {
  export KELVARIN_WINE=$1 WINEARCH=$2 WINEPREFIX=$3
  export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=${WINEDEBUG:--all}
}

# wine_prefix_current PREFIX: the prefix is there and was made by the Wine installed
# now (as Wine judges it: by the time of its wine.inf).
wine_prefix_current() {
  [ "$(tr -d '\r' 2>/dev/null <"$1/.update-timestamp")" = "$(stat -c %Y /usr/share/wine/wine.inf)" ]
}

# wine_prefix_copy TEMPLATE: WINEPREFIX (see use_wine) becomes a copy of TEMPLATE, a
# prefix made once, on first use, for all its copies: making one takes Wine some 15 s.
# The programs and libraries that Wine put there, over a gigabyte that it only reads,
# are linked, not copied; every other file is copied, so that what Wine changes in one
# prefix never reaches another. A prefix an older Wine made is made anew.
wine_prefix_copy() {
  local template=$1
  (
    flock 8
    wine_prefix_current "$template" && exit 0
    rm -rf "$template" "$template.new"
    export WINEPREFIX=$template.new
    unset DISPLAY  # made without a display, so that it is the same whoever makes it
    {
      "$KELVARIN_WINE" wineboot -i &&
      # With no window manager here, Wine would wait two seconds for one to take every
      # window it hides (a closing program's too), so it manages its windows itself.
      "$KELVARIN_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
      # A program that crashes ends at once instead of waiting in the debugger.
      { "$KELVARIN_WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f || true; } &&
      wineserver -w
    } </dev/null >>"$template.log" 2>&1 8>&- 9>&- || fail "cannot make the Wine prefix $template: $(cat "$template.log")"
    mv "$WINEPREFIX" "$template"
  ) 8>"$template.lock" || exit 1
  wine_prefix_current "$WINEPREFIX" && return 0
  rm -rf "$WINEPREFIX"
  cp -al "$template" "$WINEPREFIX" || fail "cannot copy the Wine prefix $template"
  (cd "$template" && find . -type f ! -iregex '.*\.\(dll\|exe\|drv\|sys\|nls\|vxd\|ocx\|cpl\|acm\|tlb\|ds\|ax\|com\)' \
     -exec cp -a --remove-destination {} "$WINEPREFIX/{}" \;) || fail "cannot copy the Wine prefix $template"
}

# start_wineserver SECONDS LOG: WINEPREFIX's server and Wine's own services, their
# output to LOG: started by a program, they would inherit its output and keep a caller
# that reads it (ctest) waiting until they end. The server ends SECONDS after its last
# program, or with the session when SECONDS is empty.
start_wineserver() {
  local status=0
  wineserver "-p$1" </dev/null >>"$2" 2>&1 9>&- || status=$?
  # 0: a new server, whose services start now; 2: the server was running already.
  case $status in
    0) "$KELVARIN_WINE" wineboot </dev/null >>"$2" 2>&1 9>&- || fail "wineboot failed, see $2" ;;
    2) ;;
    *) fail "wineserver failed ($status), see $2" ;;
  esac
}
