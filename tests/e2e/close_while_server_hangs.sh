#!/usr/bin/env bash
# The JACK server stops answering (SIGSTOP) while the real program plays: the loss is
# said once on stderr, and "X" still ends it, saving the settings; a program started
# while the server hangs shows its window and ends on "X" too. Runs inside
# with_desktop_session.sh, whose JACK server it stops (the session kills it at the end).
#
#   close_while_server_hangs.sh KELVARIN
set -euo pipefail
program=$1
jackd=$KELVARIN_TEST_JACKD_PID

source "$(dirname "$0")/program_session.sh"

close() {  # "X", then the program must end with status 0, having saved the settings
  click_at 965 9
  wait_for_exit "X"
  [ -s "$work/Kelvarin.ini" ] || fail "the settings were not saved"
}

start_program "$program"  # streaming, with blocks queued
kill -STOP "$jackd"
# After about 4 s the device counts as lost, and 2 s at most later its stream has
# stopped; the blocks it refuses from then on are said once, with the reason.
lost_lines() { grep -c "wave output: .*stopped answering" "$work/kelvarin.log"; }
wait_for $wait_seconds lost_lines || fail "the loss was not said, with why"
close
# Counted once the program has ended, so that no later mention is missed.
lost=$(lost_lines || true)
[ "$lost" -eq 1 ] || fail "the loss was said $lost times, not once"

# Started while the server hangs, the program gives up on the output and runs silent.
rm -f "$work/Kelvarin.ini"
"$program" >"$work/kelvarin.log" 2>&1 &
pid=$!
wait_for $wait_seconds xdotool search --name '^Kelvarin$' || fail "no window while the server hangs"
close
echo "closed while the server hung, and started without it"
