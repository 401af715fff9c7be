#!/usr/bin/env bash
# Measures the delay from a MIDI Note On to its sound on the real program, on each
# sound system in a private desktop session of its own, and prints the machine's load
# before each:
#   latency_by_system.sh BUILD_DIR [SYSTEM[:BLOCKS]...]
# A SYSTEM is jack-PERIOD (a dummy JACK server of that period, in frames), pulse (a
# PulseAudio server, with a JACK server of 256 frames carrying the MIDI), or pipewire
# or pipewire-QUANTUM (a PipeWire server at its default quantum or at that one, played
# and heard through its JACK interface). BLOCKS is the program's --blocks, 60 unless
# given. By default: JACK at 256, 1024, 4096 and 8192 frames and PulseAudio with the
# designed 60 blocks, then with 2 blocks JACK at 128, 256 and 8192 frames, PulseAudio,
# and PipeWire at its default quantum, 256 and 128 frames.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
shift
systems=("$@")
[ ${#systems[@]} -gt 0 ] || systems=(jack-256 jack-1024 jack-4096 jack-8192 pulse
                                     jack-128:2 jack-256:2 jack-8192:2 pulse:2
                                     pipewire:2 pipewire-256:2 pipewire-128:2)
session=("$here/../tests/with_desktop_session.sh" --sync)
notes=16

for choice in "${systems[@]}"; do
  system=${choice%%:*}
  blocks=60
  [ "$system" = "$choice" ] || blocks=${choice#*:}
  measure=("$here/midi_latency.sh" "$build/kelvarin" "$notes" "$blocks")
  echo "== $system, $blocks blocks in flight; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  case $system in
    jack-*) "${session[@]}" --period "${system#jack-}" "${measure[@]}" "$build/bench/midi_latency" ;;
    pulse) "${session[@]}" --pulse --jack-midi --period 256 "${measure[@]}" "$build/bench/pulse_midi_latency" ;;
    pipewire) "${session[@]}" --pipewire pw-jack "${measure[@]}" "$build/bench/midi_latency" ;;
    pipewire-*) "${session[@]}" --pipewire --period "${system#pipewire-}" pw-jack "${measure[@]}" "$build/bench/midi_latency" ;;
    *) echo "unknown sound system $system: jack-PERIOD, pulse, pipewire or pipewire-QUANTUM" >&2; exit 1 ;;
  esac
done
