#!/usr/bin/env bash
# Takes a screenshot of the tuner's main window on a virtual screen (Xvfb), for the README.
#
#   tools/screenshot.sh [build folder] [output PNG] [scale]
#                                            (defaults: build, docs/tessarin.png, 1)
#
# The program runs from a copy of the build's program folder with English as its language, so
# the user's own settings are never touched. A private sound server with a null sink
# (tools/private-sound-server.sh) plays a tone three bins sharp of string E2 into the microphone
# input at real speed, so the needle shows a reading. A scale other than 1 runs the program as a
# desktop scaled by that factor would (QT_SCALE_FACTOR, on a larger screen). Needs what
# tools/setup.sh installs (Xvfb, a sound server, sox, ImageMagick).
set -euo pipefail

build=${1:-build}
saida=${2:-docs/tessarin.png}
escala=${3:-1}
app_origem=$(cd "$build/tessarin" && pwd)
[ -x "$app_origem/tessarin" ] || { echo "screenshot: $app_origem/tessarin not built" >&2; exit 1; }
mkdir -p "$(dirname "$saida")"
saida=$(cd "$(dirname "$saida")" && pwd)/$(basename "$saida")

source "$(dirname "$0")/sessao-teste.sh"
sessao_iniciar screenshot
sessao_programa "$app_origem"

# The microphone: a null sink's monitor, fed at real speed.
mkdir -p "$tmp/home"
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share
sessao_som
# 84.11 Hz: analyser bin 125, three bins above E2's 122.
sox -n -r 44100 -c 1 "$tmp/tone.wav" synth 60 sine 84.11 vol 0.5
# A short latency, as a microphone: captures started on the monitor hear it at once.
paplay --device=tone --latency-msec=20 "$tmp/tone.wav" &
pids+=($!)

# The screen, at 96 dots per inch; large enough for the window at twice its size.
if [ "$escala" = 1 ]; then
  sessao_xvfb 1024x768
else
  export QT_SCALE_FACTOR=$escala
  sessao_xvfb 2048x1536
fi

(cd "$tmp/app" && exec ./tessarin) >"$tmp/tessarin.log" 2>&1 &
pids+=($!)

# The main window is the one shown under the program's name (802 x 532 at scale 1).
janela=""
for _ in $(seq 200); do
  for id in $(xwininfo -root -children 2>/dev/null | awk '/"Tessarin": / {print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && { janela=$id; break; }
  done
  [ -n "$janela" ] && break
  sleep 0.05
done
[ -n "$janela" ] || { echo "screenshot: the main window did not show" >&2; cat "$tmp/tessarin.log" >&2; exit 1; }
# Let the needle settle on the reading.
sleep 4
import -display "$DISPLAY" -window "$janela" "$saida"
echo "screenshot: $saida ($(xwininfo -id "$janela" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'))"
