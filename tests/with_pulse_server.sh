#!/usr/bin/env bash
# Runs a command with a private PulseAudio server of its own: a null sink at 44100 Hz
# whose monitor can be recorded, reached through a private socket. The server is
# stopped when the command ends; its exit status is kept.
#
#   with_pulse_server.sh command [arguments...]
#
# The command sees PULSE_SERVER and KELVARIN_TEST_PULSE_PID; the sink is "null", its
# monitor "null.monitor".
set -u

home=$(mktemp -d /tmp/kelvarin-pulse.XXXXXX)
pulse_pid=""
stop_server() {
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
  rm -rf "$home"
}
trap stop_server EXIT

# A private home and runtime directory, so neither the user's server nor their
# settings are touched.
export HOME=$home XDG_RUNTIME_DIR=$home
socket=$home/native
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
  -L "module-null-sink sink_name=null rate=44100" >"$home/pulseaudio.log" 2>&1 &
pulse_pid=$!
export PULSE_SERVER=unix:$socket
export KELVARIN_TEST_PULSE_PID=$pulse_pid
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  kill -0 "$pulse_pid" 2>/dev/null || break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "pulseaudio did not start:" >&2
  cat "$home/pulseaudio.log" >&2
  exit 1
fi

"$@"
status=$?
exit $status
