#!/usr/bin/env bash
# Runs a command inside a private desktop session: a virtual X server and a JACK server
# on its dummy backend, or with --pulse a PulseAudio server with a null sink and no JACK
# server, or with --pipewire a PipeWire server with its PulseAudio service and a null
# sink. The servers are stopped when the command ends; its exit status is kept. One
# user's sessions wait for each other.
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
# "null" records at null.monitor; under --pipewire also KELVARIN_TEST_PIPEWIRE_PID. It
# has five minutes once the session is up.
set -u
source "$(dirname "$0")/session/session_lib.sh"

rate=44100
period=512
quantum=""
audio=jack
jack_options=()
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
    --sync) jack_options+=(--sync); shift ;;
    *) break ;;
  esac
done

require_programs Xvfb xdpyinfo
if [ "$audio" = pulse ]; then require_programs pulseaudio pactl; fi
if [ "$audio" = pipewire ]; then require_programs pipewire wireplumber pipewire-pulse pw-metadata pactl; fi
if [ "$audio" = jack ] || [ -n "$jack_midi" ]; then require_programs jackd jack_lsp; fi

# One session at a time: JACK servers that start and stop side by side disturb each
# other's clients, and JACK keeps a registry slot for every server name that it frees
# only when that name starts again, so all of a user's sessions share one name. Users
# have their own lock and name.
take_session_lock
jack_name=kelvarin-session-$(id -u)
# A test may have started a server of that name again itself (a restart).
pkill -KILL -u "$(id -u)" -f "^jackd .*--name $jack_name( |\$)"

private_dir session
start_x "$session"
export KELVARIN_TEST_XVFB_PID=$x_pid

# start_dummy_jack [PORTS]: PORTS capture and playback ports (by default the dummy's own).
start_dummy_jack() {
  local ports=()
  [ $# -gt 0 ] && ports=(-C "$1" -P "$1")
  start_jack "$session" "$jack_name" "${jack_options[@]}" -d dummy -r "$rate" -p "$period" "${ports[@]}"
  export KELVARIN_TEST_JACKD_PID=$jack_pid
}

# JACK gets a server name that nothing runs under.
no_jack() { export JACK_DEFAULT_SERVER=kelvarin-no-server-$(id -u)-$$ JACK_NO_START_SERVER=1; }
case $audio in
  pulse)
    start_pulse "$session" null
    export KELVARIN_TEST_PULSE_PID=$pulse_pid
    no_jack
    [ -n "$jack_midi" ] && start_dummy_jack 0 ;;
  pipewire)
    start_pipewire "$session" "$rate" "$quantum"
    export KELVARIN_TEST_PIPEWIRE_PID=$pipewire_pid KELVARIN_TEST_PULSE_PID=$pulse_pid
    no_jack ;;
  *) start_dummy_jack ;;
esac

# A command that hangs is ended here rather than by the test's own time limit, which
# also counts the wait for the lock.
timeout -k 10 300 "$@" 9>&-
