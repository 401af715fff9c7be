# Shared by the end-to-end scripts: starts the program in an empty directory and waits
# until its window and its output (a JACK port, or a PulseAudio stream when the session
# has PULSE_SERVER) are up. Source it, then call start_program.
#
#   work      the program's current directory, removed at exit
#   pid       the program's process, killed at exit unless the script cleared it
#   helper    another process the script started, killed at exit unless cleared

work=$(mktemp -d)
pid=""
helper=""
finish() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  [ -n "$helper" ] && kill "$helper" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/kelvarin.log" ] && sed 's/^/  kelvarin: /' "$work/kelvarin.log" >&2
  exit 1
}

wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

output_up() {
  if [ -n "${PULSE_SERVER:-}" ]; then
    pactl list sink-inputs | grep -q 'application.name = "Kelvarin"'
  else
    jack_lsp | grep -q '^Kelvarin:'
  fi
}

start_program() {  # start_program KELVARIN (or a command that runs it): sets window to the X window's id
  cd "$work"
  "$@" >"$work/kelvarin.log" 2>&1 &
  pid=$!
  wait_for 10 xdotool search --name '^Kelvarin$' || fail "no window titled Kelvarin"
  window=$(xdotool search --name '^Kelvarin$' | head -n 1)
  wait_for 10 output_up || fail "no audio output of Kelvarin"
}

start_playing() {  # start_playing KELVARIN: starts the program with its window focused
  start_program "$1"
  xdotool windowfocus --sync "$window"
  sleep 0.5  # the first refresh tick brings the fundamental's weight in
}

wait_for_exit() {  # wait_for_exit WHAT: the program must end within 5 s, with status 0
  wait_for 5 bash -c "! kill -0 $pid" || fail "the program did not end after $1"
  local status=0
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "the program ended with status $status after $1"
}

pixel_at() {  # pixel_at PICTURE X Y: prints the pixel's colour as R,G,B
  local p="p{$2,$3}"
  convert "$1" -format "%[fx:round(255*$p.r)],%[fx:round(255*$p.g)],%[fx:round(255*$p.b)]" info:
}
