#!/usr/bin/env bash
# How the desktop's wave output gives up a sound server that hangs or dies, each in a
# private desktop session of its own, from the figures the fault tests print:
#   server_faults.sh BUILD_DIR
# Each line names the figure, what it measured and, for a time, its ratio to the limit
# the output is built to keep (a stall given up after 4 s, a close after 2 s, an open
# after 3 s); a CPU share is the process's CPU time over the wall time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
faults=$1/tests/desktop_server_faults_test
session=$here/../tests/with_desktop_session.sh

figures() {  # figures COMMAND...: the figures the command prints, with their ratios
  "$@" | awk '$1 == "figure:" {
    limit["stall_noticed_seconds"] = 4; limit["close_seconds"] = 2; limit["open_seconds"] = 3
    if ($2 in limit) printf "%-26s %7.3f  (%.2f of the %d s limit)\n", $2, $3, $3 / limit[$2], limit[$2]
    else printf "%-26s %7.3f\n", $2, $3
  }'
}

echo "JACK server stopped while playing:"
# The stopped server is killed however the test ends: it would not even end when asked.
KELVARIN_TEST_MAY_STOP_JACKD=1 figures "$session" sh -c \
  '"$0" "$@"; status=$?; kill -KILL $KELVARIN_TEST_JACKD_PID; exit $status' \
  "$faults" --gtest_filter=WaveOut.WhenTheServerHangs*
echo "PulseAudio server killed while playing:"
KELVARIN_TEST_MAY_STOP_PULSE=1 figures "$session" --pulse "$faults" --gtest_filter=WaveOut.WhenPulseAudioDies*
