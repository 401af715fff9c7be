#!/usr/bin/env bash
# The ways a desktop session ends the real program: SIGTERM, SIGINT and SIGHUP close
# it as "X" does (the queued audio plays out, the settings are saved, status 0), and
# so does the loss of the display, which leaves no time to drain but still saves.
# Runs inside with_desktop_session.sh (DISPLAY, a JACK server, KELVARIN_TEST_XVFB_PID).
#
#   session_end.sh KELVARIN
set -euo pipefail
program=$1

source "$(dirname "$0")/program_session.sh"

saved_settings() {  # saved_settings WHAT: the first run's default sliders are in the file
  for entry in sl1=100 sl2=0 slm4=0 sldecrement=90; do
    grep -qx "$entry" "$work/Kelvarin.ini" 2>/dev/null ||
      fail "after $1, Kelvarin.ini lacks $entry: $(cat "$work/Kelvarin.ini" 2>&1)"
  done
}

# A script's background job starts with SIGINT ignored, and the program keeps a
# signal that it inherits ignored; so the signals start at their defaults here.
for signal in TERM INT HUP; do
  rm -f "$work/Kelvarin.ini"
  start_program env --default-signal=INT,HUP,TERM "$program"  # streaming, with blocks queued
  sent=$(date +%s%N)
  kill -s "$signal" "$pid"
  wait_for_exit "SIG$signal"
  saved_settings "SIG$signal"
  echo "SIG$signal: drained, saved and ended within $((($(date +%s%N) - sent) / 1000000)) ms"
done

# Started with the signal ignored, as nohup does, the program keeps it ignored, so the
# system drops a SIGHUP as it is sent and the program stays up.
rm -f "$work/Kelvarin.ini"
start_program env --ignore-signal=HUP "$program"
ignored=$(sed -n 's/^SigIgn:\t//p' "/proc/$pid/status")
(((0x$ignored & 1) != 0)) || fail "the program no longer ignores SIGHUP (ignored signals: $ignored)"
kill -s HUP "$pid"
! process_gone "$pid" || fail "a SIGHUP that was ignored at start ended the program"
[ ! -e "$work/Kelvarin.ini" ] || fail "an ignored SIGHUP saved the settings"

# The display goes away under the program that still runs.
sent=$(date +%s%N)
kill -s KILL "$KELVARIN_TEST_XVFB_PID"
wait_for_exit "the loss of the display"
echo "the display's loss: saved and ended within $((($(date +%s%N) - sent) / 1000000)) ms"
saved_settings "the loss of the display"
grep -q 'display went away' "$work/kelvarin.log" ||
  fail "the program did not say the display went away"
echo "three signals and the loss of the display each closed the program and saved"
