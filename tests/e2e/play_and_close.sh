#!/usr/bin/env bash
# Plays the real program: starts it in an empty directory, holds Q, records what reaches
# the JACK server and photographs the window, then closes it with "X" and reads the
# settings it saved. Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   play_and_close.sh KELVARIN WAV_TONE_CHECK
set -euo pipefail
program=$1
tone_check=$2

source "$(dirname "$0")/program_session.sh"
start_program "$program"
xdotool windowfocus --sync "$window"
sleep 0.5  # the first refresh tick brings the fundamental's weight in

# Q plays note 60 at the full level of the Amplitude field, 4000 of 32768.
jack_capture --daemon --channels 1 --port 'Kelvarin:*' -d 3 "$work/capture.wav" &
capture=$!
sleep 0.5
xdotool keydown q
sleep 1.2
import -window root "$work/screen.png"
xdotool keyup q
wait "$capture" || fail "jack_capture failed"

"$tone_check" "$work/capture.wav" 523.25 "$(awk 'BEGIN { print 3999 / 32768 }')" 0.3 0.004 ||
  fail "no 523.25 Hz tone at the struck level"

# The key of note 60 (the first white key of the fifth octave, x 402 to 416) lights in
# the colour of a full-level voice.
pixel=$(convert "$work/screen.png" -format '%[pixel:p{409,230}]' info:)
case "$pixel" in
  "srgb(0,250,200)" | "rgb(0,250,200)") ;;
  *) fail "key of note 60 shows $pixel, not the sounding colour" ;;
esac

# "X" sits at the top right corner; the program drains its queue, saves and ends.
xdotool mousemove --sync 965 9 click 1
wait_for_exit "X"

for entry in sl1=100 sl2=0 sl3=0 sl4=0 slm2=0 slm3=0 slm4=0 sldecrement=90; do
  grep -qx "$entry" "$work/Kelvarin.ini" || fail "Kelvarin.ini lacks $entry: $(cat "$work/Kelvarin.ini")"
done
echo "played note 60, lit its key, closed and saved"
