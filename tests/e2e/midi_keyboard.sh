#!/usr/bin/env bash
# Plays the real program from a MIDI keyboard: a JACK MIDI source that is there before
# the program starts is opened as device 0 at start-up; a Note On sounds; the log and
# the status field show what they should; a flood of 5,000 messages arrives whole; the
# source going away harms nothing, and "Midi Close" / "Midi Open" bring a new one in.
# The fields are read back through the X selections, as a user would copy them. Runs
# inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   midi_keyboard.sh KELVARIN WAV_TONE_CHECK MIDI_TEST_SOURCE
set -euo pipefail
program=$1
tone_check=$2
source_program=$3
source_name="Test keyboard"

source "$(dirname "$0")/program_session.sh"
source "$(dirname "$0")/field_readback.sh"

start_source() {  # a new source process on file descriptors 5 (commands) and 6 (replies)
  exec 5>&- 6<&-
  rm -f "$work/to_source" "$work/from_source"
  mkfifo "$work/to_source" "$work/from_source"
  "$source_program" "$source_name" <"$work/to_source" >"$work/from_source" &
  source_pid=$!
  exec 5>"$work/to_source" 6<"$work/from_source"
  expect_reply ready
}
expect_reply() {
  local reply=""
  read -r -t "$wait_seconds" reply <&6 || true
  [ "$reply" = "$1" ] || fail "the MIDI source said \"$reply\", not \"$1\""
}
send() { echo "$*" >&5; }
sent() { send wait; expect_reply sent; }

# The log: select all and copy; its lines end in LF on the screen.
log_text() {
  click_at "${log_field[@]}"
  xdotool key ctrl+a key ctrl+c
  xclip -o -selection clipboard
}
# Reads until the expected text shows: the clipboard may still hold an earlier text, and
# the program may still be taking the messages in.
expect_log() {  # expect_log TEXT WHAT
  local text deadline=$((SECONDS + wait_seconds))
  until text=$(log_text) && [ "$text" = "$1" ]; do
    alive "$2"
    [ $SECONDS -lt $deadline ] || fail "the log $2 reads: $text"
    sleep 0.2  # the pace of the polling
  done
}
press() { click_at "$1" "$2"; }
alive() { ! process_gone "$pid" || fail "the program ended: $1"; }

start_source
start_playing "$program" 5>&- 6<&-  # the source sees its input end only when we close it

expect_field "${status_field[@]}" "$source_name:out" "the status field after start-up"
expect_field "${device_field[@]}" "0" "the device-index field after start-up"

# Note 60 at velocity 100 on the first channel, released with a Note Off.
start_capture "$work/capture.wav" 5>&- 6<&-
send send 144 60 100
sleep 1.2  # the take: the note held this long
send send 128 60 64
sent
end_capture
level=$(awk 'BEGIN { print (4000 * 100 / 127 - 1) / 32768 }')
"$tone_check" "$work/capture.wav" 523.25 "$level" 0.3 0.004 || fail "no 523.25 Hz tone at level $level"
expect_log "$(printf '9,0\t60\t100\t0\n8,0\t60\t64\t0')" "after one note"

# The flood: Control Changes counting 1..5000 after the 2 messages above. The log then
# holds the messages from the last multiple of 10 on, so its first line and its length
# prove the count, and its content the order.
send flood 5000
sent
total=5002
expected=""
for ((count = total / 10 * 10; count <= total; count++)); do
  i=$((count - 2))
  expected+=$(printf '11,0\t%d\t%d\t0' $((i >> 7)) $((i & 127)))$'\n'
done
expected=${expected%$'\n'}
expect_log "$expected" "after the flood"
! grep -q 'lost' "$work/kelvarin.log" || fail "messages were lost: $(cat "$work/kelvarin.log")"

# The source goes away while open: nothing crashes, the device stays open for the dialog.
# Its port gone from the server, the program has been told; the field read back after
# that is the program's answer.
exec 5>&-
wait "$source_pid" || fail "the MIDI source failed"
source_port_gone() { ! jack_lsp | grep -qF "$source_name"; }
wait_for $wait_seconds source_port_gone || fail "the MIDI source's port stayed"
expect_field "${status_field[@]}" "$source_name:out" "the status field after the source went away"
alive "after the source went away"
press "${midi_close[@]}"
expect_field "${status_field[@]}" "midi close" "the status field after Midi Close"

# A keyboard comes back; "Midi Open" finds it again as device 0 and it plays.
start_source
press "${midi_open[@]}"
expect_field "${status_field[@]}" "$source_name:out" "the status field after Midi Open"
send send 144 67 90
sent
expect_log "$(printf '%s\n9,0\t67\t90\t0' "$expected")" "after the reopened device's note"

# "X" closes the device and the program; the source stays, unharmed.
click_at 965 9
wait_for_exit "X"
exec 5>&-
wait "$source_pid" || fail "the MIDI source failed after the program closed"
echo "played from the MIDI source, logged, survived a flood and the source's exit, reopened"
