#!/usr/bin/env bash
# The real program refuses to start where it cannot work, and says why: with no
# graphical session, and with an argument it does not take. --help and --version
# answer and end.
#
#   refuses_to_start.sh KELVARIN
set -uo pipefail
program=$1
source "$(dirname "$0")/../session/session_lib.sh"
private_dir work

# expect STATUS MESSAGE_PATTERN [env...] -- [arguments...]: runs the program in an empty
# directory and checks its exit status and what it said. A program that hangs is ended
# after a minute; one that works answers at once.
expect() {
  local want=$1 pattern=$2
  shift 2
  local environment=()
  while [ "$1" != "--" ]; do
    environment+=("$1")
    shift
  done
  shift
  local status=0
  (cd "$work" && timeout 60 env "${environment[@]}" "$program" "$@") >"$work/out" 2>&1 || status=$?
  [ "$status" -eq "$want" ] || fail "kelvarin $* ended with $status, not $want: $(cat "$work/out")"
  grep -qE "$pattern" "$work/out" || fail "kelvarin $* said '$(cat "$work/out")', expected /$pattern/"
}

no_display=(-u DISPLAY -u WAYLAND_DISPLAY)
expect 1 "neither DISPLAY nor WAYLAND_DISPLAY" "${no_display[@]}" --
expect 1 "WAYLAND_DISPLAY is set but DISPLAY is not" -u DISPLAY WAYLAND_DISPLAY=wayland-0 --
# A display number that no X server of this machine listens on.
display=$((90000 + $$ % 9000))
while [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
expect 1 "cannot open the X display \":$display\"" DISPLAY=":$display" --
[ ! -e "$work/Kelvarin.ini" ] || fail "the program wrote Kelvarin.ini without a window"

version=$(sed -n 's/^project(Kelvarin VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
expect 0 "^Kelvarin $version\$" "${no_display[@]}" -- --version
expect 0 "^Usage: kelvarin" "${no_display[@]}" -- --help
expect 2 "unexpected argument '--play'" -- --play
expect 2 "unexpected argument 'extra'" -- --version extra
expect 2 "unexpected argument '-h'" -- -h
echo "refused to start without a display and with wrong arguments; answered --help and --version"
