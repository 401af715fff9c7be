#!/usr/bin/env bash
# The real program and the keyboard focus: a note whose key is held while another
# window takes the focus is released (its key-up goes to that window), and keys held
# with Alt play nothing. Judged by the key of note 60 in photographs of the window.
# Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   focus_and_alt_keys.sh KELVARIN
set -euo pipefail
program=$1

source "$(dirname "$0")/program_session.sh"
start_program "$program"
xdotool windowfocus --sync "$window"
sleep 0.5

key_of_note_60() {  # what the white key of note 60 shows now
  import -window root "$work/screen.png"
  pixel_at "$work/screen.png" 409 250
}
key_of_note_60_shows() { [ "$(key_of_note_60)" = "$1" ]; }

xdotool keydown alt+q
sleep 0.5
shown=$(key_of_note_60)
xdotool keyup q keyup alt
[ "$shown" = "250,250,250" ] || fail "Alt+Q lit the key of note 60: rgb($shown)"

xdotool keydown q
wait_for 5 key_of_note_60_shows 0,250,200 ||
  fail "Q held does not show note 60 sounding: rgb($(key_of_note_60))"

# Another window takes the focus while Q is still held, and gets its key-up.
xmessage -geometry +0+400 "another window" &
helper=$!
wait_for 10 xdotool search --name '^xmessage$' || fail "no other window"
xdotool windowfocus --sync "$(xdotool search --name '^xmessage$' | head -n 1)"
# Released, the note fades within half a second at the first run's release step.
wait_for 5 key_of_note_60_shows 250,250,250 ||
  fail "note 60 still sounds after the focus left: rgb($(key_of_note_60))"
xdotool keyup q

xdotool windowfocus --sync "$window" mousemove --sync 965 9 click 1
wait_for_exit "X"
echo "Alt+Q played nothing, and the focus leaving released the held note"
