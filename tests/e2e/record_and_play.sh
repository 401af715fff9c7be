#!/usr/bin/env bash
# Records two held keys with "Write" and "Write Stop" and reads midi.dat; replays it
# with "Play Writen" and hears both notes come back; then "Stop Playing" and hears
# silence; and times the 1 ms timer by a long file. Runs inside with_desktop_session.sh
# (DISPLAY and a JACK server).
#
#   record_and_play.sh KELVARIN WAV_NOTES_CHECK
set -euo pipefail
program=$1
notes_check=$2

source "$(dirname "$0")/program_session.sh"
# A file from an earlier take, which "Write" must replace.
printf 'an old take' >"$work/midi.dat"
start_playing "$program"

# The buttons by their centres: "Write" and "Play Writen" side by side, "Write Stop"
# and "Stop Playing" below them. The program takes clicks and keys in the order given.
hold() {  # hold KEY: 0.4 s, a note of that length
  xdotool keydown "$1"
  sleep 0.4
  xdotool keyup "$1"
}

click_at 46 84  # Write
hold q       # note 60
sleep 0.6    # the rest between the notes
hold w       # note 62
click_at 46 116  # Write Stop

# Strike and release of 60, then of 62, each record 8 bytes: note, velocity, two zero
# bytes and a little-endian millisecond tick, 400 to 600 ms after the one before. A key
# held past the X server's auto-repeat delay strikes again; such strikes are recorded
# too, and passed over here.
read -r -a bytes <<<"$(od -An -v -tu1 "$work/midi.dat" | tr '\n' ' ')"
[ $((${#bytes[@]} % 8)) -eq 0 ] || fail "midi.dat is not whole records: ${bytes[*]}"
events=()
last=""
for ((r = 0; r < ${#bytes[@]} / 8; r++)); do
  b=("${bytes[@]:$((8 * r)):8}")
  [ "${b[2]} ${b[3]}" = "0 0" ] || fail "record $r: ${b[*]}"
  [ "${b[0]} ${b[1]}" = "$last" ] && [ "${b[1]}" != 0 ] && continue
  last="${b[0]} ${b[1]}"
  events+=("${b[0]} ${b[1]} $((b[4] | b[5] << 8 | b[6] << 16 | b[7] << 24))")
done
expected=("60 127" "60 0" "62 127" "62 0")
[ ${#events[@]} -eq 4 ] || fail "midi.dat holds ${#events[@]} events, not 4: ${bytes[*]}"
for e in 0 1 2 3; do
  read -r note velocity tick <<<"${events[$e]}"
  [ "$note $velocity" = "${expected[$e]}" ] || fail "event $e is $note $velocity: ${bytes[*]}"
  if [ "$e" -gt 0 ]; then
    spacing=$(((tick - previous) & 0xFFFFFFFF))
    [ "$spacing" -ge 250 ] && [ "$spacing" -le 5000 ] ||
      fail "event $e comes $spacing ms after the one before, not 400 to 600"
    echo "event $e: $note $velocity, $spacing ms after the one before"
  fi
  previous=$tick
done

# The replay loops: a 4 s recording holds at least one whole pass of both notes, each at
# the level of Amplitude 4000 at velocity 127 (4000 of a full scale of 32768).
start_capture "$work/playback.wav" 4
click_at 126 84  # Play Writen
end_capture
"$notes_check" "$work/playback.wav" --notes 0.1221 0.01 523.25 587.33 ||
  fail "the replay did not sound both notes"

# Once the audio queued before it has played, a second of the output is silent. A
# replay that went on, or a note it left sounding, never falls silent.
click_at 126 116  # Stop Playing
silent_second() {
  start_capture "$work/stopped.wav" 1
  end_capture
  "$notes_check" "$work/stopped.wav" --silent 0.0001
}
wait_for $wait_seconds silent_second || fail "sound after Stop Playing: $("$notes_check" "$work/stopped.wav" --silent 0.0001)"

# The 1 ms timer runs about a thousand times a second: a file of 2000 records, all due
# at once, takes a tick each, plus one to end the pass, so its one audible strike
# comes back every 2001 ticks: about 2 s. A busy machine runs the timer late, so how
# much slower it ran is a figure, not a check; faster than once a millisecond it must
# never run.
{
  printf '\x3c\x7f\0\0\0\0\0\0\x3c\0\0\0\0\0\0\0'  # note 60 struck and released
  for ((i = 0; i < 1998; i++)); do printf '\x3d\0\0\0\0\0\0\0'; done  # note 61 released
} >"$work/midi.dat"
start_capture "$work/timer.wav" 7
click_at 126 84  # Play Writen
end_capture
spacing=$("$notes_check" "$work/timer.wav" --rises 0.06) || fail "note 60 did not come back"
rate=$(awk "BEGIN { printf \"%d\", 2001 / $spacing }")
echo "the playback timer ran $rate times a second"
[ "$rate" -le 1050 ] || fail "the 1 ms timer ran $rate times a second"
click_at 126 116  # Stop Playing

click_at 965 9  # X
wait_for_exit "X"
echo "recorded two notes, replayed both, and Stop Playing silenced them"
