#!/usr/bin/env bash
# Plays the plugin in a real host: jalv runs it as a client of the session's JACK
# server, a JACK MIDI source strikes note 60 and releases it, and what the plugin sent
# out, recorded, holds the note's tone at its level. Runs inside with_desktop_session.sh
# (a JACK server).
#
#   play_in_jalv.sh LV2_DIR MIDI_TEST_SOURCE WAV_TONE_CHECK
set -euo pipefail
export LV2_PATH=$1
source_program=$2
tone_check=$3

source "$(dirname "$0")/../e2e/program_session.sh"
client=kelvarin-lv2-$$

uri=$(lv2ls)
[ -n "$uri" ] && [ "$(wc -l <<<"$uri")" -eq 1 ] || fail "no single plugin in $LV2_PATH: $uri"

# jalv reads commands on its standard input and ends at its end: a pipe held open here.
# A plugin built with the address sanitizer needs its runtime loaded first (jalv itself
# is not built with it, nor free of leaks at its exit).
mkfifo "$work/to_jalv"
preload=()
[ -n "${KELVARIN_TEST_SANITIZER_RUNTIME:-}" ] &&
  preload=(env LD_PRELOAD="$KELVARIN_TEST_SANITIZER_RUNTIME" ASAN_OPTIONS=detect_leaks=0)
"${preload[@]}" jalv -x -n "$client" "$uri" <"$work/to_jalv" >"$work/jalv.log" 2>&1 &
pid=$!
exec 7>"$work/to_jalv"
jalv_up() { jack_lsp | grep -qx "$client:out"; }
wait_for 20 jalv_up || fail "jalv did not start the plugin: $(cat "$work/jalv.log")"

# The source, on file descriptors 5 (commands) and 6 (replies).
mkfifo "$work/to_source" "$work/from_source"
"$source_program" "Test keyboard" <"$work/to_source" >"$work/from_source" 7>&- &
helper=$!
exec 5>"$work/to_source" 6<"$work/from_source"
read -r -t 20 reply <&6 || true
[ "${reply:-}" = ready ] || fail "the MIDI source did not start"
jack_connect "Test keyboard:out" "$client:midi_in" || fail "cannot join the source to the plugin"

capturing() { jack_lsp -c "$client:out" | grep -q '^ *jack_capture'; }
jack_capture --daemon --channels 1 --port "$client:out" -d 3 "$work/capture.wav" 5>&- 6<&- 7>&- &
capture=$!
wait_for 10 capturing || fail "jack_capture did not connect to the plugin"
echo "send 144 60 100" >&5
sleep 1.5
echo "send 128 60 64" >&5
echo wait >&5
read -r -t 20 reply <&6 || true
[ "${reply:-}" = sent ] || fail "the MIDI source did not send"
wait "$capture" || fail "jack_capture failed"

# Amplitude 4000 at velocity 100, truncated, of a full scale of 32768.
level=$(awk 'BEGIN { print (4000 * 100 / 127 - 1) / 32768 }')
"$tone_check" "$work/capture.wav" 523.25 "$level" 0.3 0.004 || fail "no 523.25 Hz tone at level $level"

# jalv ends at the end of its input.
exec 7>&-
wait_for 10 bash -c "! kill -0 $pid" || fail "jalv did not end"
pid=""
echo "jalv played note 60 from a JACK MIDI source"
