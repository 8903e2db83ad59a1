#!/usr/bin/env bash
# Starts the tuner from the build folder's portable install (it finds its files in its own
# folder, whatever the current directory).
set -euo pipefail
build=${1:-build}
exec "$build/tessarin/tessarin"
