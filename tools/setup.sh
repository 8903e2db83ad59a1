#!/usr/bin/env bash
# Installs the Debian packages the project needs, in two sets:
#
#   tools/setup.sh run    what building, running, installing and packaging the tuner need
#                         (`make run`, `make install`, `make package`)
#   tools/setup.sh test   the run set and what the tests, benchmarks, sanitizers and fuzzers need
#                         (`make test`, `bench`, `sanitize`, `tsan`, `fuzz`); the default
#
# The run set holds no sound server, virtual screen, test library, image tool or second
# compiler, so `make run` leaves a user's desktop as it was. The tests that need a sound server
# start a private one: PipeWire's own servers on a machine whose desktop sound runs on PipeWire
# (package pipewire-pulse installed), where the PulseAudio daemon is never installed; the
# PulseAudio daemon everywhere else.
#
# Idempotent: apt-get update and install run only when a package is missing.
# Usable as root or through sudo. This is the only place that installs anything.
set -euo pipefail

set_name=${1:-test}
case "$set_name" in
  run | test) ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed'
}

RUN_PACKAGES=(
  # toolchain
  g++ cmake make pkg-config
  # windows, JPEG, audio capture (ALSA, and its plugins that reach the desktop's sound server),
  # reference tones (libsndfile decodes an SF3 SoundFont's samples for its lean copy)
  qt6-base-dev qt6-svg-dev libjpeg62-turbo-dev libasound2-dev libasound2-plugins
  libfluidsynth-dev libpulse-dev libsndfile1-dev timgm6mb-soundfont
  # artwork and fonts (DejaVu for the sharp and flat signs Liberation lacks)
  librsvg2-bin fonts-liberation fonts-dejavu-core
  # the Debian package: dependencies of its libraries (dpkg-shlibdeps), file types (CPack)
  dpkg-dev file
)

TEST_PACKAGES=(
  ninja-build alsa-utils fluidsynth
  # the other General MIDI SoundFonts Debian ships, for the reference-pitch tests
  fluid-soundfont-gm musescore-general-soundfont
  # tests, benchmarks, fuzzing, sanitizers
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev libxml2-dev
  # the fine reading's reference pitch tracker in its benchmark
  libaubio-dev
  clang libclang-rt-14-dev
  # headless screen, keyboard, screenshots and tones for end-to-end runs
  xvfb x11-apps x11-utils imagemagick xdotool sox libxcb1-dev
  # checks of the Debian package, its menu entry and its AppStream data
  lintian appstream desktop-file-utils
  # a Wayland session: the Weston compositor and Qt's wayland platform
  weston qt6-wayland
  # the sound server's command-line clients (pactl, paplay, parec) speak to either server
  pulseaudio-utils
)

# The private sound server of the tests: the desktop's own kind.
if installed pipewire-pulse; then
  TEST_PACKAGES+=(pipewire pipewire-pulse dbus-daemon)
  if ! installed wireplumber && ! installed pipewire-media-session; then
    TEST_PACKAGES+=(wireplumber)
  fi
else
  TEST_PACKAGES+=(pulseaudio)
fi

packages=("${RUN_PACKAGES[@]}")
if [ "$set_name" = test ]; then
  packages+=("${TEST_PACKAGES[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
