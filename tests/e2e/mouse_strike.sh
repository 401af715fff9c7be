#!/usr/bin/env bash
# Plays the real program with the mouse: holds the left button on a white key and on a
# black key, moving the pointer to and fro inside the key so that every move strikes it
# afresh, records what reaches the JACK server and photographs the window.
# Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   mouse_strike.sh KELVARIN WAV_TONE_CHECK
set -euo pipefail
program=$1
tone_check=$2

source "$(dirname "$0")/program_session.sh"
start_program "$program"
sleep 0.5  # the first refresh tick brings the fundamental's weight in

# strike_and_hold X Y FREQUENCY: presses at (x, y), then moves between x and x + 1 every
# 20 ms for 2 s, and checks the tone at the strike's level; leaves the screen in screen.png.
strike_and_hold() {
  local moves=()
  for _ in $(seq 50); do
    moves+=(mousemove "$(($1 + 1))" "$2" sleep 0.02 mousemove "$1" "$2" sleep 0.02)
  done
  jack_capture --daemon --channels 1 --port 'Kelvarin:*' -d 3 "$work/capture.wav" &
  local capture=$!
  sleep 0.5
  xdotool mousemove --sync "$1" "$2" mousedown 1 "${moves[@]:0:40}"
  import -window root "$work/screen.png"
  xdotool "${moves[@]:40}" mouseup 1
  wait "$capture" || fail "jack_capture failed"
  # A strike is level 3000, and it peaks at 2999 after truncation, of a full scale of 32768.
  "$tone_check" "$work/capture.wav" "$3" "$(awk 'BEGIN { print 2999 / 32768 }')" 0.3 0.004 ||
    fail "no $3 Hz tone at the strike's level under the pointer at $1, $2"
}

# Middle C, white, x 402 to 416: lit in the colour of a level just under 3000, which the
# view shows at its next repaint (G = level * 250 / 4000, B = level * 200 / 4000).
strike_and_hold 409 250 523.25
IFS=, read -r red green blue <<<"$(pixel_at "$work/screen.png" 409 250)"
[ "$red" -eq 0 ] && [ "$green" -ge 178 ] && [ "$green" -le 187 ] && [ "$blue" -ge 142 ] && [ "$blue" -le 150 ] ||
  fail "struck key of note 60 shows rgb($red,$green,$blue), not the colour of a level near 3000"
IFS=, read -r red green blue <<<"$(pixel_at "$work/screen.png" 395 250)"
[ "$red,$green,$blue" = "250,250,250" ] || fail "key of note 59 beside it shows rgb($red,$green,$blue)"

# C sharp above it: the black key over the seam, x 412 to 420, in the keys' upper 39 pixels.
strike_and_hold 415 220 554.37
[ "$(pixel_at "$work/screen.png" 415 220)" = "0,250,200" ] || fail "struck black key of note 61 shows rgb($(pixel_at "$work/screen.png" 415 220))"

xdotool mousemove --sync 965 9 click 1
wait_for_exit "X"
echo "the mouse played notes 60 and 61 at level 3000 and lit their keys"
