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
start_playing "$program"

click_and_listen() {  # click_and_listen X Y FREQUENCY
  start_capture "$work/capture.wav"
  click_at "$1" "$2"
  sleep 2  # the take: the strike, and after it the silence it fades into
  end_capture
  # A strike is level 3000 that falls by 10 a block: 300 blocks, 0.68 s. The tone is
  # judged while above half its loudest, a third of a second; it starts at 2999 after
  # truncation, of a full scale of 32768, and is some 40 lower 10 ms on. The pitch names
  # the key: a neighbour is 29 Hz or more away, and a busy machine that drops a few
  # samples of so short a tone moves it by well under 3 Hz.
  "$tone_check" "$work/capture.wav" "$3" "$(awk 'BEGIN { print 2999 / 32768 }')" 3 0.004 0.5 ||
    fail "a click at $1, $2 gave no $3 Hz tone at the strike's level"
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
click_at 46 157

# C sharp above it: the black key over the seam, x 412 to 420, in the keys' upper 39 pixels.
black_key_lit() { [ "$(pixel_at "$work/screen.png" 415 220)" = "0,250,200" ]; }
click_and_listen 415 220 554.37
hold_until 415 220 black_key_lit ||
  fail "struck black key of note 61 shows rgb($(pixel_at "$work/screen.png" 415 220))"

click_at 965 9
wait_for_exit "X"
echo "clicks played notes 60 and 61 at level 3000, and holding them lit their keys"
