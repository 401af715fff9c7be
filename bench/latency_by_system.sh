#!/usr/bin/env bash
# Measures the delay from a MIDI Note On to its sound on the real program, on each
# sound system in a private desktop session of its own:
#   latency_by_system.sh BUILD_DIR [SYSTEM...]
# A SYSTEM is jack-PERIOD (a dummy JACK server of that period, in frames) or pulse (a
# PulseAudio server, with a JACK server of 256 frames carrying the MIDI); by default
# JACK at 256, 1024, 4096 and 8192 frames, then PulseAudio.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
shift
systems=("$@")
[ ${#systems[@]} -gt 0 ] || systems=(jack-256 jack-1024 jack-4096 jack-8192 pulse)
session=("$here/../tests/with_desktop_session.sh" --sync)
measure=("$here/midi_latency.sh" "$build/kelvarin")

for system in "${systems[@]}"; do
  case $system in
    jack-*) "${session[@]}" --period "${system#jack-}" "${measure[@]}" "$build/bench/midi_latency" ;;
    pulse) "${session[@]}" --pulse --jack-midi --period 256 "${measure[@]}" "$build/bench/pulse_midi_latency" ;;
    *) echo "unknown sound system $system: jack-PERIOD or pulse" >&2; exit 1 ;;
  esac
done
