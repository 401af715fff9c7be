#!/usr/bin/env bash
# Plays the real program where no JACK server runs and PulseAudio is the sound system,
# as on most desktops (PipeWire's PulseAudio service too): holds Q, records the left side
# of the null sink's monitor and checks the tone's pitch and level, then closes with
# "X". Runs inside with_desktop_session.sh --pulse or --pipewire (DISPLAY and
# PULSE_SERVER). The program gets the ARGUMENTS given.
#
#   play_through_pulseaudio.sh KELVARIN WAV_TONE_CHECK [ARGUMENTS...]
set -euo pipefail
program=$1
tone_check=$2
shift 2

source "$(dirname "$0")/program_session.sh"
start_playing "$program" "$@"

recording() { pactl list short source-outputs | grep -q .; }

# The recording runs from before the key press to its release.
parecord --latency-msec=20 --device=null.monitor --rate=44100 --channels=1 --channel-map=front-left \
  --format=s16le --file-format=wav "$work/capture.wav" &
capture=$!
wait_for $wait_seconds recording || fail "parecord did not start recording"
xdotool keydown q
sleep 2.5  # the take: Q held this long
xdotool keyup q
kill -INT "$capture"
wait "$capture" || fail "parecord failed"
# The default Amplitude, 4000, peaks at 3999 after truncation, of a full scale of 32768.
"$tone_check" "$work/capture.wav" 523.25 "$(awk 'BEGIN { print 3999 / 32768 }')" 0.3 0.004 ||
  fail "no 523.25 Hz tone at the default level through PulseAudio"

click_at 965 9
wait_for_exit "X"
echo "played note 60 through PulseAudio and closed"
