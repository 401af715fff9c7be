#!/usr/bin/env bash
# Plays the real program from a short queue (--blocks 2) for a minute while a busy
# machine pulls at it: another process keeps one core busy, 64 voices are held from
# MIDI while a thousand more Note Ons a second strike them again, the mouse drags over
# the keyboard view so that it is redrawn, and key presses move a slider. What reaches
# the JACK server must have no gap of 64 samples or more. Then "X" closes the program,
# which saves the slider the keys moved. Runs inside with_desktop_session.sh --sync
# (DISPLAY and a JACK server; the server waits for every client, so the recorder never
# misses a cycle on a busy machine and only the program's own gaps count).
#
#   live_without_dropouts.sh KELVARIN MIDI_TEST_SOURCE WAV_GAP_CHECK
set -euo pipefail
program=$1
source_program=$2
gap_check=$3
seconds=60

source "$(dirname "$0")/program_session.sh"
spinner=""
source_pid=""
at_exit 'kill $spinner $source_pid 2>/dev/null'

# The busy core, for the whole run.
(while :; do :; done) &
spinner=$!

mkfifo "$work/to_source" "$work/from_source"
"$source_program" "Test keyboard" <"$work/to_source" >"$work/from_source" &
source_pid=$!
exec 5>"$work/to_source" 6<"$work/from_source"
read -r -t 20 reply <&6 && [ "$reply" = ready ] || fail "the MIDI source did not start"
start_playing "$program" --blocks 2 5>&- 6<&-

# Slider "2" gets the keyboard focus: Up and Down move it from then on.
xdotool mousemove --sync 497 112 click 1
for note in $(seq 36 99); do echo "send 144 $note 30" >&5; done

start_capture "$work/capture.wav" $((seconds + 2)) 5>&- 6<&-
echo "strikes $((seconds * 1000)) 1000 36 99" >&5
# The mouse drags to and fro over the keys while the keys move the slider.
xdotool mousemove --sync 20 250 mousedown 1
deadline=$((SECONDS + seconds))
while [ $SECONDS -lt $deadline ]; do
  sweep=()
  for x in $(seq 20 10 940) $(seq 940 -10 20); do sweep+=(mousemove "$x" 250 sleep 0.01); done
  xdotool "${sweep[@]}" &
  drag=$!
  xdotool key --delay 150 Up Up Up Down Down
  wait "$drag"
done
xdotool mouseup 1
echo "wait" >&5
read -r -t 30 reply <&6 && [ "$reply" = sent ] || fail "the MIDI source did not send everything"
end_capture
kill -0 "$pid" 2>/dev/null || fail "the program ended during the run"

"$gap_check" "$work/capture.wav" 64 "$seconds" || fail "a gap in the sound from 2 blocks in flight"
! grep -q 'lost' "$work/kelvarin.log" || fail "MIDI messages were lost: $(cat "$work/kelvarin.log")"

xdotool mousemove --sync 965 9 click 1
wait_for_exit "X"
exec 5>&-
grep -qx 'sl2=[1-9][0-9]*' "$work/Kelvarin.ini" || fail "the keys moved no slider: $(cat "$work/Kelvarin.ini")"
echo "played a minute from 2 blocks in flight without a gap, under a busy core, MIDI, the mouse and the keys"
