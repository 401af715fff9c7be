#!/usr/bin/env bash
# The real program's threads all at work, for ThreadSanitizer: a JACK MIDI source plays
# a note and then a flood of 5,000 messages while the output streams; then "Stop",
# "Generate Mode" and "X". The program must end with status 0: a sanitizer's report
# ends it with another. Runs inside with_desktop_session.sh --sync.
#
#   midi_flood_stop_and_close.sh KELVARIN MIDI_TEST_SOURCE
set -euo pipefail
program=$1
source_program=$2
source_name="Flood keys"

source "$(dirname "$0")/program_session.sh"
source "$(dirname "$0")/field_readback.sh"

mkfifo "$work/to_source" "$work/from_source"
"$source_program" "$source_name" <"$work/to_source" >"$work/from_source" &
helper=$!
exec 5>"$work/to_source" 6<"$work/from_source"
reply() { local line=""; read -r -t "$1" line <&6 || true; echo "$line"; }
[ "$(reply 20)" = ready ] || fail "the MIDI source did not come up"

start_program "$program" 5>&- 6<&-
expect_field "${status_field[@]}" "$source_name:out" "the status field after start-up"
printf 'send 144 60 100\nsend 128 60 64\nflood 5000\nwait\n' >&5
[ "$(reply 60)" = sent ] || fail "the MIDI source did not send everything"

# The flood's last Control Change (5,000 = 39 * 128 + 8) ends the log once all are handled.
log_last_line() {
  xdotool mousemove --sync "${log_field[@]}" click 1 key ctrl+a key ctrl+c
  xclip -o -selection clipboard | tail -n 1
}
deadline=$((SECONDS + 60))
until [ "$(log_last_line)" = "$(printf '11,0\t39\t8\t0')" ]; do
  kill -0 "$pid" 2>/dev/null || fail "the program ended during the flood"
  [ $SECONDS -lt $deadline ] || fail "the flood's last message never reached the log"
done

# "Stop" drains and closes the output, "Generate Mode" opens it again.
xdotool mousemove --sync 244 139 click 1
wait_for 20 bash -c '! jack_lsp | grep -q "^Kelvarin:"' || fail "Stop left the output open"
xdotool mousemove --sync 244 19 click 1
wait_for 20 output_up || fail "Generate Mode did not open the output again"

xdotool mousemove --sync 965 9 click 1
wait_for_exit "X"
exec 5>&-
echo "notes and a flood of 5,000 messages, Stop, Generate Mode and X, with every thread at work"
