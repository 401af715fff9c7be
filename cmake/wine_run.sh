#!/bin/sh
# Runs a Windows program under Wine in the given Wine prefix, made on first use:
#   wine_run.sh LOADER WINEARCH PREFIX PROGRAM [ARGUMENTS...]
# The prefix's wineserver and Wine's own services are started here, with their output
# to PREFIX.log, before the program runs: started by the program, they would inherit
# its output and keep a caller that reads it (ctest) waiting until they end. The
# server ends a minute after its last program; the next run starts it again.
set -eu
loader=$1 arch=$2 prefix=$3
shift 3
export WINEPREFIX="$prefix" WINEARCH="$arch"
# Never ask to install Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
mkdir -p "$prefix"
(
  flock 9
  status=0
  wineserver -p60 </dev/null >>"$prefix.log" 2>&1 9>&- || status=$?
  # 0: a new server, whose services start now; 2: the server was running already.
  case $status in
    0) "$loader" wineboot </dev/null >>"$prefix.log" 2>&1 9>&- ;;
    2) ;;
    *) echo "wineserver failed ($status), see $prefix.log" >&2; exit 1 ;;
  esac
) 9>"$prefix.lock"
exec "$loader" "$@"
