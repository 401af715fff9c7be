#!/usr/bin/env bash
# The Windows program end to end under Wine, inside wine_session.sh: the window must come
# up titled "Kelvarin" with the template's controls and say "MidiInOpen error" (Wine has
# no MIDI input here); Q must play 523.25 Hz at the default level and light its key; MIDI
# messages posted to the window as the system's MIDI input posts them must play and be
# logged; "X" must drain, save Kelvarin.ini with CR LF line ends and end the program; a
# second run's "Abort" must end it at once without saving.
#
#   end_to_end.sh KELVARIN.EXE WINDOW_PROBE.EXE WAV_TONE_CHECK TEMPLATE.cpp
#
# TEMPLATE.cpp is the main dialog's template source, which the window's controls are
# checked against.
set -euo pipefail
wine=$KELVARIN_WINE
program=$(realpath "$1")
probe=$(realpath "$2")
tone_check=$(realpath "$3")
template=$(realpath "$4")

source "$(dirname "$0")/../e2e/program_session.sh"

probe() { "$wine" "$probe" "$@" </dev/null; }

click() {  # click ID: the left button on the control's centre
  local centre
  centre=$(probe centre "$1") || fail "no control $1"
  # shellcheck disable=SC2086
  click_at $centre
}

# The template's controls by class, as the system names its classes.
template_classes() {
  sed -n 's/^ *{[^,]*, *\(Button\|Edit\|Static\|Slider\|Icon\),.*/\1/p' "$template" |
    sed 's/^Slider$/msctls_trackbar32/; s/^Icon$/Static/' | sort | uniq -c
}
window_classes() { probe controls | cut -d' ' -f1 | sort | uniq -c; }

key_lit() { [ "$(note_60_colour)" = 0,250,200 ]; }

start_wine_program() {  # the program, and where its client area is on the screen
  start_program "$wine" "$program"
  read -r -a client_origin <<<"$(probe point 0 0)"
  xdotool windowfocus --sync "$window"
  settle_keys
}

# Records the null sink while COMMAND... plays, from before its first sound to after its last.
record() {  # record FILE COMMAND...
  local file=$1 capture
  shift
  parecord --latency-msec=20 -d kelvarin_test.monitor --rate=44100 --channels=1 --format=s16le \
    --file-format=wav "$file" &
  capture=$!
  wait_for $wait_seconds bash -c 'pactl list short source-outputs | grep -q .' || fail "parecord did not start"
  "$@"
  kill -INT "$capture"
  wait "$capture" || fail "parecord failed"
}

hold_q() {
  xdotool keydown q
  sleep 1.5  # the take: Q held this long
  wait_for $wait_seconds key_lit || fail "note 60's key shows $(note_60_colour) while Q is held"
  xdotool keyup q
}

play_midi_note() {
  probe midi 144 60 100 || fail "cannot post MM_MIM_DATA"
  sleep 1.5  # the take: the note held this long
  probe midi 128 60 64 || fail "cannot post MM_MIM_DATA"
}

start_wine_program
[ "$(window_classes)" = "$(template_classes)" ] ||
  fail "the window's controls $(window_classes | tr '\n' ' ') are not the template's $(template_classes | tr '\n' ' ')"
[ "$(probe text 1063)" = "MidiInOpen error" ] || fail "the status reads \"$(probe text 1063)\" with no MIDI device"

# Wine's sound has gaps in its first second; pitch and level are what count. A struck
# level of A peaks at A - 1 after truncation, of a full scale of 32768.
record "$work/q.wav" hold_q
"$tone_check" "$work/q.wav" 523.25 "$(awk 'BEGIN { print 3999 / 32768 }')" 0.3 0.004 ||
  fail "Q did not play 523.25 Hz at the default level"

record "$work/midi.wav" play_midi_note
"$tone_check" "$work/midi.wav" 523.25 "$(awk 'BEGIN { print (4000 * 100 / 127 - 1) / 32768 }')" 0.3 0.004 ||
  fail "the posted Note On did not play 523.25 Hz at velocity 100's level"
midi_log() {  # the log's text, its last line end included
  local text
  text=$(probe text 1044 && echo .)
  printf '%s' "${text%.}"
}
log_reads() { [ "$(midi_log)" = "$1" ]; }
wait_for $wait_seconds log_reads "$(printf '9,0\t60\t100\t0\r\n8,0\t60\t64\t0\r\n')" ||
  fail "the MIDI log reads: $(midi_log | od -c)"

click 1060  # "X": drains, saves and ends
wait_for_exit '"X"'
settings=$work/Kelvarin.ini
[ -f "$settings" ] || fail '"X" saved no Kelvarin.ini'
[ "$(grep -c $'\r$' "$settings")" -eq "$(wc -l <"$settings")" ] || fail "Kelvarin.ini has lines without CR LF: $(od -c "$settings")"
for entry in sl1=100 sl2=0 slm2=0 sldecrement=90; do
  grep -qx "$entry"$'\r' "$settings" || fail "Kelvarin.ini lacks $entry: $(cat "$settings")"
done

rm "$settings"
start_wine_program
xdotool keydown q  # sound in flight: "Abort" does not wait for it
wait_for $wait_seconds key_lit || fail "note 60's key shows $(note_60_colour) while Q is held"
click 1015
wait_for_exit '"Abort"'
xdotool keyup q
[ ! -e "$settings" ] || fail '"Abort" saved Kelvarin.ini'
echo "$WINEARCH: window and controls, Q and posted MIDI played and logged, \"X\" saved with CR LF, \"Abort\" did not"
