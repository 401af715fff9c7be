#!/usr/bin/env bash
# Runs a command inside a private session for Windows programs under Wine: a virtual X
# server, a PulseAudio server with a null sink "kelvarin_test" (recorded at
# kelvarin_test.monitor), and a Wine prefix of its own, copied from TEMPLATE (made
# there on first use), whose server runs until the command ends. Everything goes when
# it ends; its status is kept.
#
#   wine_session.sh WINE WINEARCH TEMPLATE command [arguments...]
#
# WINEARCH is win64 or win32, as the loader WINE runs. The command sees DISPLAY,
# PULSE_SERVER, WINEPREFIX, WINEARCH, KELVARIN_WINE (the loader) and
# KELVARIN_SESSION_DIR (a directory for its own files).
set -u
source "$(dirname "$0")/../session/session_lib.sh"
require_programs Xvfb xdpyinfo pulseaudio pactl wineserver

private_dir session
export KELVARIN_SESSION_DIR=$session/files
mkdir "$KELVARIN_SESSION_DIR"
use_wine "$1" "$2" "$session/prefix"
template=$3
shift 3

start_x "$session"
start_pulse "$session" kelvarin_test channels=1
wine_prefix_copy "$template"
at_exit "wineserver -k 2>/dev/null"
start_wineserver "" "$session/wine.log"
# Sound goes to this session's PulseAudio server, never to ALSA, to which Wine turns
# when PulseAudio is slow to answer it on a busy machine.
"$KELVARIN_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f </dev/null >>"$session/wine.log" 2>&1 ||
  fail "cannot point Wine's sound at PulseAudio: $(cat "$session/wine.log")"
"$@"
