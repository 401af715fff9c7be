#!/usr/bin/env bash
# With no MIDI source anywhere (no ALSA sequencer here, no MIDI port in the JACK
# server), the real program still starts, says "MidiInOpen error" and shows device 0.
# Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   midi_without_device.sh KELVARIN
set -euo pipefail
program=$1

source "$(dirname "$0")/program_session.sh"
start_program "$program"
xdotool windowfocus --sync "$window"

field_text() {  # a triple click selects a single-line field into the primary selection
  xdotool mousemove --sync "$1" "$2" click --repeat 3 --delay 60 1
  sleep 0.2
  xclip -o -selection primary
}
status=$(field_text 87 48)
[ "$status" = "MidiInOpen error" ] || fail "the status field reads \"$status\""
device=$(field_text 17 18)
[ "$device" = "0" ] || fail "the device-index field reads \"$device\""

xdotool mousemove --sync 952 36 click 1  # "Abort"
wait_for_exit "Abort"
echo "no MIDI device: the status says so and the program runs on"
