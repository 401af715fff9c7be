#!/usr/bin/env bash
# Installs the Debian packages that Kelvarin builds, runs and tests with; does nothing
# when they are all there already. Never asks a question: as a user it goes through
# sudo, which drops DEBIAN_FRONTEND, so the variable is passed to apt-get itself.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  # the compiler cache every build of the Makefile goes through
  ccache
  libfltk1.3-dev
  # librtaudio-dev pulls JACK; naming jackd2 and libjack-jackd2-dev with it in one
  # install keeps apt from removing it again.
  librtaudio-dev jackd2 libjack-jackd2-dev libsamplerate0-dev
  librtmidi-dev
  # the end-to-end test: a virtual X server, key presses, a JACK recorder, pictures
  xvfb xdotool jack-capture imagemagick x11-utils
  # the fuzz targets: clang with its libFuzzer runtime
  clang libclang-rt-14-dev
  # the end-to-end test through a private PulseAudio server and its recorder
  pulseaudio pulseaudio-utils
  # the MIDI delay probe's PulseAudio recorder
  libpulse-dev
  # the Debian package: CPack's dependency scan, and the checks of what it installs
  dpkg-dev file lintian
  desktop-file-utils appstream
  # the MIDI end-to-end test reads the fields back through the clipboard
  xclip
  # the tests through a private PipeWire server, on its PulseAudio and JACK interfaces.
  # pipewire-jack's libjack stays in a directory of its own, used only through pw-jack;
  # pipewire-alsa is left out, as it removes PulseAudio.
  pipewire pipewire-bin wireplumber pipewire-pulse pipewire-jack
  # the Windows builds: MinGW-w64's cross compilers, GoogleTest's sources to build with
  # them, and Wine to run what they build (its 32-bit half from the i386 architecture)
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 wine32:i386
  # the command-line tools write audio files with libsndfile; their tests read Standard
  # MIDI Files with mido and measure the sound with numpy and sox
  libsndfile1-dev python3-mido python3-numpy sox
  # the LV2 plugin: the LV2 headers with lv2_validate (and sordi's sord_validate under
  # it), lilv for the test host, and jalv to play it in a JACK session
  lv2-dev sordi liblilv-dev jalv
  # session-manager (NSM) support over OSC, and the Python OSC the test's fake server uses
  liblo-dev python3-liblo
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Installing needs root: run this as root, or install sudo and give yourself its use." >&2
    exit 1
  fi
  sudo=(sudo)
fi
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -y
     -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold)
# jackd2 asks whether to allow real-time priority; the answer is its own default, no.
echo "jackd2 jackd/tweak_rt_limits boolean false" | "${sudo[@]}" debconf-set-selections
# wine32 comes from the i386 architecture, which apt must know of before its update.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${apt[@]}" update
"${apt[@]}" install --no-install-recommends "${packages[@]}"
