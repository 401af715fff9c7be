#!/usr/bin/env bash
# "Abort" leaves the real program at once, while its audio is still queued, and saves
# nothing. Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   abort_without_saving.sh KELVARIN
set -euo pipefail
program=$1

work=$(mktemp -d)
pid=""
finish() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
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

cd "$work"
"$program" >"$work/kelvarin.log" 2>&1 &
pid=$!
wait_for 10 xdotool search --name '^Kelvarin$' || fail "no window titled Kelvarin"
port_up() { jack_lsp | grep -q '^Kelvarin:'; }
wait_for 10 port_up || fail "no JACK port of Kelvarin"
sleep 0.5

# "Abort" is at the top right corner, below "X".
xdotool mousemove --sync 952 36 click 1
wait_for 5 bash -c "! kill -0 $pid" || fail "the program did not end after Abort"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ ! -e "$work/Kelvarin.ini" ] || fail "Abort saved the settings: $(cat "$work/Kelvarin.ini")"
echo "left at once, nothing saved"
