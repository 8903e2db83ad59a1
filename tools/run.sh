#!/usr/bin/env bash
# Starts the tuner from the build folder's portable install.
set -euo pipefail
build=${1:-build}
app=$build/tessarin
cd "$app"
if [ -x ./tessarin ]; then
  exec ./tessarin
fi
exec ./tessarin-core
