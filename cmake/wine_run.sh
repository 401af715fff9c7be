#!/usr/bin/env bash
# Runs a Windows program under Wine in the given Wine prefix, copied on first use from
# TEMPLATE (made there first if need be):
#   wine_run.sh LOADER WINEARCH TEMPLATE PREFIX PROGRAM [ARGUMENTS...]
# The prefix's wineserver and Wine's own services are started here, with their output
# to PREFIX.log, before the program runs. The server ends a minute after its last
# program; the next run starts it again. Should it end just as the program starts, the
# program starts it, so the program's output goes through files that are passed on once
# it has ended.
set -eu
source "$(dirname "$0")/../tests/session/session_lib.sh"
use_wine "$1" "$2" "$4"
template=$3
shift 4
(
  flock 9
  wine_prefix_copy "$template"
  start_wineserver 60 "$WINEPREFIX.log"
) 9>"$WINEPREFIX.lock"
private_dir output
status=0
"$KELVARIN_WINE" "$@" >"$output/stdout" 2>"$output/stderr" || status=$?
cat "$output/stdout"
cat "$output/stderr" >&2
# Wine that fails to start a program may say nothing; the status and the server's log
# then tell what happened.
if [ "$status" -ne 0 ] && [ ! -s "$output/stdout" ] && [ ! -s "$output/stderr" ]; then
  echo "Wine ended $* with status $status and said nothing; $WINEPREFIX.log ends:" >&2
  tail -n 20 "$WINEPREFIX.log" >&2
fi
exit $status
