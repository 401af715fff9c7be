# Shared by the MIDI end-to-end scripts: reads the program's fields back through the X
# selections, as a user would copy them. Source it after program_session.sh.

# Where the controls are on the screen, in pixels.
device_field=(17 18)
status_field=(87 48)
midi_open=(68 19)
midi_close=(136 19)
log_field=(820 120)

# A single-line field: a triple click selects it all into the primary selection.
field_text() {  # field_text X Y
  click_at "$1" "$2" --repeat 3 --delay 60
  xclip -o -selection primary
}
# Reads until the expected text shows: the selection may still hold an earlier text, a
# busy machine may take a while with the clicks, and the program with the field.
expect_field() {  # expect_field X Y TEXT WHAT
  local text deadline=$((SECONDS + wait_seconds))
  until text=$(field_text "$1" "$2") && [ "$text" = "$3" ]; do
    [ $SECONDS -lt $deadline ] || fail "$4 reads \"$text\", not \"$3\""
  done
}
