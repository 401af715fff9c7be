#!/usr/bin/env bash
# Runs a command inside a private desktop session: a virtual X server on a free display
# and a JACK server on its dummy backend. Both are stopped when the command ends; its
# exit status is kept. Sessions wait for each other.
#
#   with_desktop_session.sh [--rate HZ] [--sync] command [arguments...]
#
# The command sees DISPLAY, JACK_DEFAULT_SERVER and KELVARIN_TEST_JACKD_PID.
set -u

rate=44100
if [ "${1:-}" = "--rate" ]; then
  rate=$2
  shift 2
fi
# --sync: the server waits for every client in every cycle. Without it a client that a
# busy machine runs late misses that cycle, and the MIDI events of the cycle with it.
sync=""
if [ "${1:-}" = "--sync" ]; then
  sync=--sync
  shift
fi

# One session at a time: JACK servers that start and stop side by side disturb each
# other's clients, and JACK keeps a registry slot for every server name that it frees
# only when that name starts again, so all sessions share one name. The children do
# not inherit the lock, so a stray one cannot hold it.
exec 9>/tmp/kelvarin-desktop-session.lock
if ! flock -w 600 9; then
  echo "another desktop session has held the lock for ten minutes" >&2
  exit 1
fi
jack_name=kelvarin-session

session=$(mktemp -d)
x_pid=""
jack_pid=""
stop_session() {
  [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
  [ -n "$x_pid" ] && kill "$x_pid" 2>/dev/null && wait "$x_pid" 2>/dev/null
  rm -f /dev/shm/jack_sem.*_"$jack_name"_*
  rm -rf "$session"
}
trap stop_session EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$session/display" 2>"$session/xvfb.log" 9>&- &
x_pid=$!
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

export JACK_DEFAULT_SERVER=$jack_name
# Semaphores that a stopped or killed server of this name left behind.
rm -f /dev/shm/jack_sem.*_"$JACK_DEFAULT_SERVER"_*
export JACK_NO_AUDIO_RESERVATION=1
jackd --no-realtime $sync --name "$JACK_DEFAULT_SERVER" -d dummy -r "$rate" -p 512 >"$session/jackd.log" 2>&1 9>&- &
jack_pid=$!
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

"$@" 9>&-
status=$?
exit $status
