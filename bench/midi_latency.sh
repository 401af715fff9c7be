#!/usr/bin/env bash
# Measures the real program's delay from a MIDI Note On to its sound, inside a private
# desktop session (tests/with_desktop_session.sh runs this script), with a probe that
# sends the notes and listens: midi_latency under JACK, pulse_midi_latency through
# PulseAudio. The program keeps BLOCKS blocks in flight (--blocks), 60 by default, and
# what it said on its error stream is shown.
#   midi_latency.sh KELVARIN NOTES BLOCKS PROBE
set -euo pipefail
program=$1
notes=$2
blocks=$3
probe=$4
source "$(dirname "$0")/../tests/session/session_lib.sh"
private_dir work
program_pid=""
at_exit '[ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null'

mkfifo "$work/probe"
"$probe" "$notes" >"$work/probe" &
probe_pid=$!
exec 5<"$work/probe"
read -r -t 60 ready <&5 && [ "$ready" = ready ] || { echo "the probe did not start" >&2; exit 1; }
(cd "$work" && exec "$program" --blocks "$blocks" >"$work/kelvarin.log" 2>&1 5<&-) &
program_pid=$!
cat <&5
wait "$probe_pid"
sed 's/^/kelvarin said: /' "$work/kelvarin.log"
