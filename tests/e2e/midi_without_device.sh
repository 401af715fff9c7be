#!/usr/bin/env bash
# With no MIDI source anywhere (no ALSA sequencer here, no MIDI port in the JACK
# server), the real program still starts, says "MidiInOpen error" and shows device 0.
# Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   midi_without_device.sh KELVARIN
set -euo pipefail
program=$1

source "$(dirname "$0")/program_session.sh"
source "$(dirname "$0")/field_readback.sh"
start_program "$program"
xdotool windowfocus --sync "$window"

expect_field "${status_field[@]}" "MidiInOpen error" "the status field"
expect_field "${device_field[@]}" "0" "the device-index field"

click_at 952 36  # "Abort"
wait_for_exit "Abort"
echo "no MIDI device: the status says so and the program runs on"
