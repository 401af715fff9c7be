# Shared by the end-to-end scripts: starts the program in an empty directory and waits
# until its window and its output (a JACK port connected to the system's playback, or
# a PulseAudio stream that plays, when the session has PULSE_SERVER) are up. Source
# it, then call start_program.
#
#   work      the program's current directory, removed at exit
#   pid       the program's process, killed at exit unless the script cleared it
#   helper    another process the script started, killed at exit unless cleared
#
# Waits are generous, for a busy machine: a wait that ends early only costs the time
# that the event takes.
source "$(dirname "${BASH_SOURCE[0]}")/../session/session_lib.sh"
require_programs xdotool import convert

private_dir work
pid=""
helper=""
at_exit '[ -z "$pid" ] || kill "$pid" 2>/dev/null; [ -z "$helper" ] || kill "$helper" 2>/dev/null'
wait_seconds=60
fail_logs=("$work/kelvarin.log")

output_up() {
  if [ -n "${PULSE_SERVER:-}" ]; then
    pactl list sink-inputs | grep -q 'application.name = "Kelvarin"' &&
      pactl list short sinks | grep -q RUNNING
  else
    jack_lsp -c 'Kelvarin:' | grep -q '^ '
  fi
}

start_program() {  # start_program KELVARIN (or a command that runs it): sets window to the X window's id
  cd "$work"
  "$@" >"$work/kelvarin.log" 2>&1 &
  pid=$!
  wait_for $wait_seconds xdotool search --name '^Kelvarin$' || fail "no window titled Kelvarin"
  window=$(xdotool search --name '^Kelvarin$' | head -n 1)
  # Streaming: the blocks the output queued at start are playing.
  wait_for $wait_seconds output_up || fail "no audio output of Kelvarin"
}

# pointer_to X Y: moves the pointer there and waits until it is. (xdotool's own --sync
# waits some 15 s for a move that never comes when the pointer is there already.)
pointer_to() {
  local x y
  read -r x y < <(xdotool getmouselocation | sed 's/^x:\([0-9]*\) y:\([0-9]*\).*/\1 \2/')
  [ "$x $y" = "$1 $2" ] || xdotool mousemove --sync "$1" "$2"
}
click_at() {  # click_at X Y [CLICK_OPTIONS...]: the left button at that point of the screen
  pointer_to "$1" "$2"
  xdotool click "${@:3}" 1
}

# start_capture FILE [SECONDS]: records what the program plays to the JACK server into
# FILE from the moment this returns, for SECONDS or until end_capture.
capturing() { jack_lsp -c Kelvarin: | grep -q '^ *jack_capture'; }
start_capture() {
  capture_seconds=(${2:+-d "$2"})
  jack_capture --daemon --channels 1 --port 'Kelvarin:*' "${capture_seconds[@]}" "$1" &
  capture=$!
  wait_for $wait_seconds capturing || fail "jack_capture did not connect to Kelvarin"
}
end_capture() {  # end_capture: the recording ends now, or when its SECONDS are over
  [ ${#capture_seconds[@]} -gt 0 ] || kill -INT "$capture"
  wait "$capture" || fail "jack_capture failed"
}

# Photographs of the screen, in screen.png; the window's client area starts at
# client_origin on the screen.
client_origin=(0 0)
photograph() { import -window root "$work/screen.png"; }
client_pixel() {  # client_pixel X Y: the colour at that point of the client area, as R,G,B
  pixel_at "$work/screen.png" $(($1 + client_origin[0])) $(($2 + client_origin[1]))
}
note_60_colour() { photograph && client_pixel 409 250; }  # its white key spans x 402 to 416
no_key_lit() {  # no key of the keyboard view shows a sounding note, drawn without red
  photograph && ! convert "$work/screen.png" -crop "980x65+$((10 + client_origin[0]))+$((200 + client_origin[1]))" \
    +repage -unique-colors txt:- | grep -q ': (0,[1-9]'
}

# Strikes Q until its key lights, then lets its note and any other fade. Until the first
# refresh tick brings in the Amplitude and the sliders' weights, a key strikes at level
# 0, which leaves it dark; and a picture with Q lit shows every note struck before it
# too, so once then no key is lit, none sounds. The window must have the focus.
settle_keys() {
  local deadline=$((SECONDS + wait_seconds)) colour
  until
    xdotool keydown q
    colour=$(note_60_colour)
    xdotool keyup q
    [ "$colour" != 250,250,250 ] && [ "$colour" != 0,0,0 ]
  do
    [ $SECONDS -lt $deadline ] || fail "Q never lit note 60's key: rgb($colour)"
  done
  wait_for $wait_seconds no_key_lit || fail "the notes did not fade: note 60 shows rgb($(note_60_colour))"
}

start_playing() {  # start_playing KELVARIN [ARGUMENTS...]: starts the program with its window focused, the first tick passed
  start_program "$@"
  xdotool windowfocus --sync "$window"
  settle_keys
}

wait_for_exit() {  # wait_for_exit WHAT: the program must end, with status 0
  wait_for $wait_seconds process_gone "$pid" || fail "the program did not end after $1"
  local status=0
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "the program ended with status $status after $1"
}

# hold_until X Y CHECK: holds the button at (x, y), moving to and fro, so that the
# mouse strikes the key there again and again, and photographs the window into
# screen.png until CHECK succeeds; fails when it never does.
hold_until() {
  local moves=() deadline=$((SECONDS + wait_seconds)) status=0
  for _ in $(seq 25); do
    moves+=(mousemove "$(($1 + 1))" "$2" sleep 0.02 mousemove "$1" "$2" sleep 0.02)
  done
  pointer_to "$1" "$2"
  xdotool mousedown 1
  touch "$work/holding"
  while [ -e "$work/holding" ]; do xdotool "${moves[@]}"; done &
  helper=$!
  until photograph && "$3"; do
    [ $SECONDS -lt $deadline ] || { status=1; break; }
  done
  rm "$work/holding"
  wait "$helper"
  helper=""
  xdotool mouseup 1
  return $status
}

pixel_at() {  # pixel_at PICTURE X Y: prints the pixel's colour as R,G,B
  local p="p{$2,$3}"
  convert "$1" -format "%[fx:round(255*$p.r)],%[fx:round(255*$p.g)],%[fx:round(255*$p.b)]" info:
}
