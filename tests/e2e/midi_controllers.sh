#!/usr/bin/env bash
# Plays the real program from a MIDI controller. A right-click on slider "2" arms it
# (drawn on the key-lit colour); Control Change 20 at 127 from a JACK MIDI source binds
# controller 20 to it and moves its thumb to the top (read from the screen), and the
# next note has its second harmonic. "X" saves the binding and "sl2" in Kelvarin.ini;
# after a restart, controller 20 at 0 moves the thumb to the bottom. Then a sustain
# pedal held across a Note Off keeps the note sounding, and lifting it lets it fade.
# Runs inside with_desktop_session.sh --sync (DISPLAY and a JACK server).
#
#   midi_controllers.sh KELVARIN WAV_NOTES_CHECK MIDI_TEST_SOURCE
set -euo pipefail
program=$1
notes_check=$2
source_program=$3

source "$(dirname "$0")/program_session.sh"
source "$(dirname "$0")/field_readback.sh"

# The MIDI source on file descriptors 5 (commands) and 6 (replies).
mkfifo "$work/to_source" "$work/from_source"
"$source_program" "Test controller" <"$work/to_source" >"$work/from_source" &
helper=$!
exec 5>"$work/to_source" 6<"$work/from_source"
expect_reply() {
  local reply=""
  read -r -t 20 reply <&6 || true
  [ "$reply" = "$1" ] || fail "the MIDI source said \"$reply\", not \"$1\""
}
send() { echo "send $*" >&5; echo wait >&5; expect_reply sent; }
expect_reply ready

# Slider "2" stands at x 490-510, y 9-118; its track runs down the middle, so column
# 492 shows the slider's own colour but for the thumb's edges.
slider_x=492
slider_top=9
slider_height=110
screen() { import -window root "$work/screen.png"; }
# The first and last row, from the slider's top, where column 492 is not the colour
# most of it has: the thumb's edges.
thumb_rows() {
  convert "$work/screen.png" -crop "1x$slider_height+$slider_x+$slider_top" +repage -depth 8 txt:- |
    awk 'NR > 1 { split($1, at, /[,:]/); match($0, /#[0-9A-Fa-f]+/)
                  row[NR] = at[2]; colour[NR] = substr($0, RSTART, RLENGTH); count[colour[NR]]++ }
      END { for (c in count) if (count[c] > most) { most = count[c]; back = c }
            first = -1; last = -1
            for (i in row) if (colour[i] != back) {
              if (first < 0 || row[i] + 0 < first) first = row[i] + 0
              if (row[i] + 0 > last) last = row[i] + 0 }
            print first, last }'
}
thumb_within() {  # thumb_within FROM TO: the thumb's edges lie in those rows
  screen
  read -r first last <<<"$(thumb_rows)"
  [ "$first" -ge "$1" ] && [ "$last" -le "$2" ]
}
first=""
last=""
slider_lit() { screen && [ "$(pixel_at "$work/screen.png" "$slider_x" 60)" = "0,250,200" ]; }

level=$(awk 'BEGIN { print (4000 * 100 / 127 - 1) / 32768 }')  # a note at velocity 100
listen() {  # listen SECONDS FILE: records the program's output for that long from now
  start_capture "$work/$2" "$1" 5>&- 6<&-
}

start_program "$program" 5>&- 6<&-
xdotool windowfocus --sync "$window"
wait_for 10 thumb_within 90 "$slider_height" || fail "slider 2 does not start at the bottom"

xdotool mousemove --sync 500 64 click 3
wait_for 10 slider_lit || fail "slider 2 does not show it is armed"
send 176 20 127
wait_for 10 thumb_within 0 20 || fail "controller 20 at 127 left slider 2's thumb at rows $first-$last"
expect_field "${status_field[@]}" "Slider 2: controller 20" "the status field after learning"
slider_lit && fail "slider 2 still shows it is armed"

# The refresh tick has long taken the weight in: the note sounds its fundamental and
# its second harmonic alike.
listen 2 harmonic.wav
send 144 60 100
sleep 1  # the take: the note held this long
send 128 60 0
end_capture
"$notes_check" "$work/harmonic.wav" --notes "$level" 0.01 523.25 1046.5 ||
  fail "the note has not both its fundamental and its second harmonic at level $level"

xdotool mousemove --sync 965 9 click 1
wait_for_exit "X"
expected=$'[Controllers]\n2=20\n[Kelvarin]\nsl1=100\nsl2=100\nsl3=0\nsl4=0\nslm2=0\nslm3=0\nslm4=0\nsldecrement=90'
[ "$(cat "$work/Kelvarin.ini")" = "$expected" ] || fail "Kelvarin.ini holds: $(cat "$work/Kelvarin.ini")"

start_program "$program" 5>&- 6<&-
xdotool windowfocus --sync "$window"
wait_for 10 thumb_within 0 20 || fail "slider 2 did not start where it was saved"
send 176 20 0
wait_for 10 thumb_within 90 "$slider_height" || fail "controller 20 at 0 left slider 2's thumb at rows $first-$last"

# The pedal goes down after the strike and holds the note across its Note Off: well
# after the note would have faded (about 0.5 s), it sounds on at its level.
send 144 60 100
send 176 64 127
send 128 60 0
sleep 1  # the take: long past the note's own fade
listen 1.5 held.wav
end_capture
"$notes_check" "$work/held.wav" --notes "$level" 0.01 523.25 || fail "the pedal did not hold the note"
send 176 64 0
sleep 1  # the take: the released note's fade
listen 1 lifted.wav
end_capture
"$notes_check" "$work/lifted.wav" --silent 0.0001 || fail "the note sounds on after the pedal lifted"

xdotool mousemove --sync 965 9 click 1
wait_for_exit "X"
exec 5>&-
wait "$helper" || fail "the MIDI source failed"
helper=""
echo "learned controller 20 on slider 2, heard its harmonic, kept it across a restart; the pedal held a note"
