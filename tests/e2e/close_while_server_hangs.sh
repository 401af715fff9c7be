#!/usr/bin/env bash
# The JACK server stops answering (SIGSTOP) while the real program plays: the loss is
# said once on stderr, and "X" still ends it, saving the settings; a program started
# while the server hangs shows its window and ends on "X" too. Runs
# inside with_desktop_session.sh, whose JACK server it stops and finally kills.
#
#   close_while_server_hangs.sh KELVARIN
set -euo pipefail
program=$1
jackd=$KELVARIN_TEST_JACKD_PID

source "$(dirname "$0")/program_session.sh"
# A stopped server would not even end when the session asks it to.
trap 'kill -KILL "$jackd" 2>/dev/null; finish' EXIT

close_within() {  # close_within SECONDS: "X", then the program must end with status 0
  xdotool mousemove --sync 965 9 click 1
  local deadline=$((SECONDS + $1))
  while kill -0 "$pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || fail "the program did not end within $1 s of X"
    sleep 0.1
  done
  local status=0
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
  [ -s "$work/Kelvarin.ini" ] || fail "the settings were not saved"
}

start_program "$program"
sleep 0.5  # the stream is running, with blocks queued
kill -STOP "$jackd"
# About 4 s until the device counts as lost, 2 s at most for its stream to stop; the
# blocks it refuses from then on are said once, with the reason.
sleep 7
lost=$(grep -c "wave output" "$work/kelvarin.log" || true)
[ "$lost" -eq 1 ] || fail "the loss was said $lost times, not once"
grep -q "stopped answering" "$work/kelvarin.log" || fail "the loss does not say why"
close_within 5

# Started while the server hangs, the program gives up on the output and runs silent.
rm -f "$work/Kelvarin.ini"
"$program" >"$work/kelvarin.log" 2>&1 &
pid=$!
wait_for 15 xdotool search --name '^Kelvarin$' || fail "no window while the server hangs"
close_within 5
echo "closed while the server hung, and started without it"
