#!/usr/bin/env bash
# Plays the real program: starts it in an empty directory, holds Q, records what reaches
# the JACK server and looks at the window, types a new Amplitude and plays again,
# then closes it with "X" and reads the settings it saved. Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   play_and_close.sh KELVARIN WAV_TONE_CHECK
set -euo pipefail
program=$1
tone_check=$2

source "$(dirname "$0")/program_session.sh"
start_playing "$program"

key_pixel() {  # the colour of note 60's key, the first white key of the fifth octave (x 402 to 416)
  import -window root "$work/screen.png" && convert "$work/screen.png" -format '%[pixel:p{409,230}]' info:
}
key_lit() {  # key_lit R,G,B
  local pixel
  pixel=$(key_pixel)
  [ "$pixel" = "srgb($1)" ] || [ "$pixel" = "rgb($1)" ]
}

# Holds Q (note 60) while recording, and checks that its key is lit in colour and that
# the tone arrives at the level that amplitude gives. The recording runs from before
# the key press to its release, however long a busy machine takes over each step.
play_q() {  # play_q AMPLITUDE COLOUR
  start_capture "$work/capture.wav"
  xdotool keydown q
  sleep 1.2  # the take: Q held this long at least
  wait_for $wait_seconds key_lit "$2" || fail "key of note 60 shows $(key_pixel) at level $1, not rgb($2)"
  xdotool keyup q
  end_capture
  # A struck level of A peaks at A - 1 after truncation, of a full scale of 32768.
  "$tone_check" "$work/capture.wav" 523.25 "$(awk "BEGIN { print ($1 - 1) / 32768 }")" 0.3 0.004 ||
    fail "no 523.25 Hz tone at level $1"
}

play_q 4000 0,250,200

# The user types a new Amplitude. The refresh ticks that pass meanwhile must leave the
# focus in the field. The digits are note keys too; their notes fade before the next take.
click_at 278 82 --repeat 2 --delay 80
xdotool type --delay 150 2000
settle_keys
play_q 2000 0,125,100

# "X" sits at the top right corner; the program drains its queue, saves and ends.
click_at 965 9
wait_for_exit "X"

for entry in sl1=100 sl2=0 sl3=0 sl4=0 slm2=0 slm3=0 slm4=0 sldecrement=90; do
  grep -qx "$entry" "$work/Kelvarin.ini" || fail "Kelvarin.ini lacks $entry: $(cat "$work/Kelvarin.ini")"
done
echo "played note 60 at two amplitudes, lit its key, closed and saved"
