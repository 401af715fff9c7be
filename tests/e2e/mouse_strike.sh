#!/usr/bin/env bash
# Plays the real program with the mouse. A click on a white key and on a black key: what
# reaches the JACK server is the key's pitch at the strike's level, fading by itself.
# Holding the button and moving the pointer to and fro inside a key keeps striking it
# while the window is photographed: the key is lit in the colour of the strike's level.
# Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   mouse_strike.sh KELVARIN WAV_TONE_CHECK
set -euo pipefail
program=$1
tone_check=$2

source "$(dirname "$0")/program_session.sh"
start_program "$program"
sleep 0.5  # the first refresh tick brings the fundamental's weight in

click_and_listen() {  # click_and_listen X Y FREQUENCY
  jack_capture --daemon --channels 1 --port 'Kelvarin:*' -d 2 "$work/capture.wav" &
  local capture=$!
  sleep 0.5
  xdotool mousemove --sync "$1" "$2" click 1
  wait "$capture" || fail "jack_capture failed"
  # A strike is level 3000 that falls by 10 a block: 300 blocks, 0.68 s. The tone is
  # judged while above half its loudest, a third of a second; it starts at 2999 after
  # truncation, of a full scale of 32768, and is some 40 lower 10 ms on. The pitch names
  # the key: a neighbour is 29 Hz or more away, and a busy machine that drops a few
  # samples of so short a tone moves it by well under 3 Hz.
  "$tone_check" "$work/capture.wav" "$3" "$(awk 'BEGIN { print 2999 / 32768 }')" 3 0.004 0.5 ||
    fail "a click at $1, $2 gave no $3 Hz tone at the strike's level"
}

# hold_until X Y CHECK: holds the button at (x, y), moving to and fro for up to 6 s, and
# photographs the window into screen.png until CHECK succeeds; fails when it never does.
hold_until() {
  local moves=()
  for _ in $(seq 150); do
    moves+=(mousemove "$(($1 + 1))" "$2" sleep 0.02 mousemove "$1" "$2" sleep 0.02)
  done
  xdotool mousemove --sync "$1" "$2" mousedown 1
  xdotool "${moves[@]}" &
  helper=$!
  local shown=1
  until import -window root "$work/screen.png" && "$3"; do
    kill -0 "$helper" 2>/dev/null || { shown=0; break; }
  done
  kill "$helper" 2>/dev/null
  helper=""
  xdotool mouseup 1
  [ "$shown" -eq 1 ]
}

# Middle C, white, x 402 to 416. Its fill follows the level when the view last drew it,
# no higher than the strike's 3000: G = level * 250 / 4000 and B = level * 200 / 4000.
white_key_lit() {
  IFS=, read -r red green blue <<<"$(pixel_at "$work/screen.png" 409 250)"
  [ "$red" -eq 0 ] && [ "$green" -ge 100 ] && [ "$green" -le 187 ] &&
    [ "$((blue - green * 4 / 5))" -ge -1 ] && [ "$((blue - green * 4 / 5))" -le 1 ]
}
click_and_listen 409 250 523.25
hold_until 409 250 white_key_lit ||
  fail "struck key of note 60 shows rgb($red,$green,$blue), not a level up to 3000"
[ "$(pixel_at "$work/screen.png" 395 250)" = "250,250,250" ] ||
  fail "key of note 59 beside it shows rgb($(pixel_at "$work/screen.png" 395 250))"

# "Reset Sound" silences note 60 before the next key is heard.
xdotool mousemove --sync 46 157 click 1

# C sharp above it: the black key over the seam, x 412 to 420, in the keys' upper 39 pixels.
black_key_lit() { [ "$(pixel_at "$work/screen.png" 415 220)" = "0,250,200" ]; }
click_and_listen 415 220 554.37
hold_until 415 220 black_key_lit ||
  fail "struck black key of note 61 shows rgb($(pixel_at "$work/screen.png" 415 220))"

xdotool mousemove --sync 965 9 click 1
wait_for_exit "X"
echo "clicks played notes 60 and 61 at level 3000, and holding them lit their keys"
