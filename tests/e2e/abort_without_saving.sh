#!/usr/bin/env bash
# "Abort" leaves the real program at once, while its audio is still queued, and saves
# nothing. Runs inside with_desktop_session.sh (DISPLAY and a JACK server).
#
#   abort_without_saving.sh KELVARIN
set -euo pipefail
program=$1

source "$(dirname "$0")/program_session.sh"
start_program "$program"  # streaming, with blocks queued

# "Abort" is at the top right corner, below "X".
click_at 952 36
wait_for_exit "Abort"
[ ! -e "$work/Kelvarin.ini" ] || fail "Abort saved the settings: $(cat "$work/Kelvarin.ini")"
echo "left at once, nothing saved"
