#!/usr/bin/env bash
# Installs the Debian packages that Kelvarin builds, runs and tests with; does nothing
# when they are all there already.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev
  # librtaudio-dev pulls JACK; naming jackd2 and libjack-jackd2-dev with it in one
  # install keeps apt from removing it again.
  librtaudio-dev jackd2 libjack-jackd2-dev libsamplerate0-dev
  librtmidi-dev
  # the end-to-end test: a virtual X server, key presses, a JACK recorder, pictures
  xvfb xdotool jack-capture imagemagick x11-utils
  # the MIDI end-to-end test reads the fields back through the clipboard
  xclip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${packages[@]}"
