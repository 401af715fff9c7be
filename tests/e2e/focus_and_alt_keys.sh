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
start_playing "$program"

note_60_shows() { [ "$(note_60_colour)" = "$1" ]; }

# Alt+Q held plays nothing. A mouse strike on note 64 comes after it: once a picture
# shows that key lit, the program has taken Alt+Q, and the same picture shows note 60.
note_64_lit() {
  local red green
  IFS=, read -r red green _ <<<"$(client_pixel 437 250)"
  [ "$red" -eq 0 ] && [ "$green" -gt 0 ]
}
xdotool keydown alt+q
hold_until 437 250 note_64_lit || fail "a mouse strike never lit note 64's key"
shown=$(client_pixel 409 250)
xdotool keyup q keyup alt
[ "$shown" = "250,250,250" ] || fail "Alt+Q lit the key of note 60: rgb($shown)"

xdotool keydown q
wait_for $wait_seconds note_60_shows 0,250,200 ||
  fail "Q held does not show note 60 sounding: rgb($(note_60_colour))"

# Another window takes the focus while Q is still held, and gets its key-up.
xmessage -geometry +0+400 "another window" &
helper=$!
wait_for $wait_seconds xdotool search --name '^xmessage$' || fail "no other window"
xdotool windowfocus --sync "$(xdotool search --name '^xmessage$' | head -n 1)"
# Released, the note fades within half a second at the first run's release step.
wait_for $wait_seconds note_60_shows 250,250,250 ||
  fail "note 60 still sounds after the focus left: rgb($(note_60_colour))"
xdotool keyup q

xdotool windowfocus --sync "$window"
click_at 965 9
wait_for_exit "X"
echo "Alt+Q played nothing, and the focus leaving released the held note"
