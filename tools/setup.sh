#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark and run.
# Idempotent: apt-get update and install run only when a package is missing.
# Usable as root or through sudo. This is the only place that installs anything.
set -euo pipefail

PACKAGES=(
  # toolchain
  g++ cmake make pkg-config ninja-build
  # windows, JPEG, audio capture, reference tones
  qt6-base-dev qt6-svg-dev libjpeg62-turbo-dev libasound2-dev libasound2-plugins alsa-utils
  libfluidsynth-dev fluidsynth timgm6mb-soundfont
  # artwork and fonts
  librsvg2-bin fonts-liberation
  # tests, benchmarks, fuzzing, sanitizers
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev libxml2-dev
  clang libclang-rt-14-dev
  # real-time-paced capture source and headless screen for end-to-end runs
  pulseaudio pulseaudio-utils xvfb x11-apps x11-utils imagemagick xdotool sox libxcb1-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
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
