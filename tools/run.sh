#!/usr/bin/env bash
# Starts the tuner from the build folder's portable install.
set -euo pipefail
build=${1:-build}
cd "$build/tessarin"
exec ./tessarin
