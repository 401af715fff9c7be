#!/usr/bin/env bash
# Runs a command inside a private desktop session: a virtual X server on a free display
# and a JACK server on its dummy backend, or with --pulse a PulseAudio server with a
# null sink and no JACK server, or with --pipewire a PipeWire server with its
# PulseAudio service and a null sink. The servers are stopped when the command ends;
# its exit status is kept. One user's sessions wait for each other.
#
#   with_desktop_session.sh [--rate HZ] [--period FRAMES] [--sync] [--pulse [--jack-midi] | --pipewire] command [arguments...]
#
# --jack-midi adds to the PulseAudio server a JACK server without audio ports, which
# carries MIDI only: the program's sound still goes to PulseAudio. Under --pipewire,
# --period sets PipeWire's quantum (its default otherwise), and a command run through
# pw-jack reaches PipeWire's JACK interface.
#
# The command sees DISPLAY and KELVARIN_TEST_XVFB_PID, and JACK_DEFAULT_SERVER and
# KELVARIN_TEST_JACKD_PID, or PULSE_SERVER and KELVARIN_TEST_PULSE_PID, whose sink
# "null" records at null.monitor; under --pipewire also KELVARIN_TEST_PIPEWIRE_PID.
set -u

rate=44100
period=512
quantum=""
audio=jack
sync=""
jack_midi=""
while [ $# -gt 0 ]; do
  case $1 in
    --rate) rate=$2; shift 2 ;;
    --period) period=$2; quantum=$2; shift 2 ;;
    --pulse) audio=pulse; shift ;;
    --pipewire) audio=pipewire; shift ;;
    --jack-midi) jack_midi=yes; shift ;;
    # The server waits for every client in every cycle. Without it a client that a
    # busy machine runs late misses that cycle, and the MIDI events of the cycle with it.
    --sync) sync=--sync; shift ;;
    *) break ;;
  esac
done

# One session at a time: JACK servers that start and stop side by side disturb each
# other's clients, and JACK keeps a registry slot for every server name that it frees
# only when that name starts again, so all of a user's sessions share one name. Users
# have their own lock and name. The children do not inherit the lock, so a stray one
# cannot hold it.
user_id=$(id -u)
lock=/tmp/kelvarin-desktop-session-$user_id.lock
if ! exec 9>"$lock"; then
  echo "cannot open the session lock $lock (see above why)" >&2
  exit 1
fi
if ! flock -w 600 9; then
  echo "another desktop session of this user has held $lock for ten minutes" >&2
  exit 1
fi
jack_name=kelvarin-session-$user_id

# A session killed from outside (a test's time limit) cannot stop its servers. With the
# lock held no other session of this user runs, so the servers the last one listed are
# stale: they are stopped before one of them keeps this session from its JACK name.
servers=/tmp/kelvarin-desktop-session-$user_id.servers
stop_stale_servers() {
  local server_pid command
  while read -r server_pid command; do
    [ "$(cat "/proc/$server_pid/comm" 2>/dev/null)" = "$command" ] || continue
    kill "$server_pid" 2>/dev/null
    for _ in $(seq 20); do
      kill -0 "$server_pid" 2>/dev/null || continue 2
      sleep 0.1
    done
    kill -KILL "$server_pid" 2>/dev/null
  done <"$servers"
}
[ -f "$servers" ] && stop_stale_servers
# A test may have started a server of that name again itself (a restart).
pkill -KILL -u "$user_id" -f "^jackd .*--name $jack_name( |\$)"
: >"$servers"
remember_server() {  # remember_server PID COMMAND
  echo "$1 $2" >>"$servers"
}

session=$(mktemp -d)
x_pid=""
audio_pid=""
jack_pid=""
pipewire_pids=""
stop_session() {
  for pid in $pipewire_pids; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
  [ -n "$audio_pid" ] && kill "$audio_pid" 2>/dev/null && wait "$audio_pid" 2>/dev/null
  [ -n "$x_pid" ] && kill "$x_pid" 2>/dev/null && wait "$x_pid" 2>/dev/null
  rm -f /dev/shm/jack_sem.*_"$jack_name"_*
  rm -rf "$session" "$servers"
}
trap stop_session EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients. It
# never resets when its last client leaves, so a client that came and went before the
# program cannot leave it resetting just as the program connects.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$session/display" 2>"$session/xvfb.log" 9>&- &
x_pid=$!
remember_server "$x_pid" Xvfb
for _ in $(seq 100); do
  [ -s "$session/display" ] && break
  sleep 0.1
done
if [ ! -s "$session/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$session/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(cat "$session/display")"
export KELVARIN_TEST_XVFB_PID=$x_pid

# A private PulseAudio server in its own home and runtime directories, so it never
# meets the user's own; JACK gets a server name that nothing runs under.
start_pulse() {
  mkdir -m 700 "$session/home" "$session/runtime"
  export HOME=$session/home XDG_RUNTIME_DIR=$session/runtime
  export PULSE_SERVER=unix:$session/pulse.socket
  export JACK_DEFAULT_SERVER=kelvarin-no-server-$user_id-$$ JACK_NO_START_SERVER=1
  env -u DISPLAY DBUS_SESSION_BUS_ADDRESS=disabled: \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    -L "module-native-protocol-unix socket=$session/pulse.socket auth-anonymous=1" \
    -L "module-null-sink sink_name=null rate=44100" >"$session/pulseaudio.log" 2>&1 9>&- &
  audio_pid=$!
  remember_server "$audio_pid" pulseaudio
  export KELVARIN_TEST_PULSE_PID=$audio_pid
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$audio_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "pulseaudio did not start:" >&2
    cat "$session/pulseaudio.log" >&2
    exit 1
  fi
}

# start_jack [PORTS]: PORTS capture and playback ports (by default the dummy's own).
start_jack() {
  export JACK_DEFAULT_SERVER=$jack_name
  # Semaphores that a stopped or killed server of this name left behind.
  rm -f /dev/shm/jack_sem.*_"$JACK_DEFAULT_SERVER"_*
  export JACK_NO_AUDIO_RESERVATION=1
  local ports=()
  [ $# -gt 0 ] && ports=(-C "$1" -P "$1")
  jackd --no-realtime $sync --name "$JACK_DEFAULT_SERVER" -d dummy -r "$rate" -p "$period" "${ports[@]}" >"$session/jackd.log" 2>&1 9>&- &
  jack_pid=$!
  remember_server "$jack_pid" jackd
  export KELVARIN_TEST_JACKD_PID=$jack_pid
  # Ready once a client can list its ports; a client that comes during start-up may
  # be turned away, so it asks again.
  for _ in $(seq 100); do
    jack_lsp >/dev/null 2>&1 && break
    kill -0 "$jack_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! jack_lsp >/dev/null 2>&1; then
    echo "jackd did not start:" >&2
    cat "$session/jackd.log" >&2
    exit 1
  fi
}

# A private PipeWire server, in runtime, configuration and state directories of its own,
# with the session manager WirePlumber and the PulseAudio service pipewire-pulse. Its
# graph runs at the session's rate, at its default quantum unless --period sets one, and
# its default sink is a null sink "null" that records at null.monitor. There is no
# session bus, so WirePlumber watches no devices and asks no portal. Without PipeWire
# the session ends with status 77, which the tests take as skipped.
start_pipewire() {
  if ! command -v pipewire wireplumber pipewire-pulse pw-metadata >/dev/null; then
    echo "skipped: PipeWire is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
  mkdir -m 700 "$session/home" "$session/runtime" "$session/config" "$session/state"
  export HOME=$session/home XDG_RUNTIME_DIR=$session/runtime XDG_CONFIG_HOME=$session/config
  export XDG_STATE_HOME=$session/state PULSE_SERVER=unix:$session/runtime/pulse/native
  export JACK_DEFAULT_SERVER=kelvarin-no-server-$user_id-$$ JACK_NO_START_SERVER=1
  local quantum_settings=""
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
  local server pid
  for server in pipewire wireplumber pipewire-pulse; do
    env -u DISPLAY DBUS_SESSION_BUS_ADDRESS=disabled: "$server" >"$session/$server.log" 2>&1 9>&- &
    pid=$!
    pipewire_pids="$pid${pipewire_pids:+ $pipewire_pids}"  # stopped in reverse: pipewire-pulse outlives pipewire
    remember_server "$pid" "$server"
    for _ in $(seq 100); do
      case $server in
        pipewire) [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break ;;
        wireplumber) pw-metadata -n default 0 default.audio.sink 2>/dev/null | grep -q '"name":"null"' && break ;;
        pipewire-pulse) pactl info >/dev/null 2>&1 && break ;;
      esac
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if ! kill -0 "$pid" 2>/dev/null || { [ "$server" = pipewire-pulse ] && ! pactl info >/dev/null 2>&1; }; then
      echo "$server did not start:" >&2
      cat "$session/$server.log" >&2
      exit 1
    fi
  done
  export KELVARIN_TEST_PIPEWIRE_PID=${pipewire_pids##* } KELVARIN_TEST_PULSE_PID=$pid
}

case $audio in
  pulse)
    start_pulse
    [ -n "$jack_midi" ] && start_jack 0 ;;
  pipewire) start_pipewire ;;
  *) start_jack ;;
esac

"$@" 9>&-
status=$?
exit $status
