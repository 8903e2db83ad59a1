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

som="$(dirname "$0")/private-sound-server.sh"
tmp=$(mktemp -d /tmp/tessarin-screenshot-XXXXXX)
pids=()
terminar() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  bash "$som" stop "$tmp/run" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap terminar EXIT

cp -a "$app_origem" "$tmp/app"
printf '[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=0\r\n' >"$tmp/app/tessarin.ini"

# The microphone: a null sink's monitor, fed at real speed.
mkdir -p "$tmp/home"
export HOME=$tmp/home
ambiente_som=$(bash "$som" start "$tmp/run")
while IFS= read -r variavel; do export "${variavel?}"; done <<<"$ambiente_som"
# 84.11 Hz: analyser bin 125, three bins above E2's 122.
sox -n -r 44100 -c 1 "$tmp/tone.wav" synth 60 sine 84.11 vol 0.5
# A short latency, as a microphone: captures started on the monitor hear it at once.
paplay --device=tone --latency-msec=20 "$tmp/tone.wav" &
pids+=($!)

# The screen, at 96 dots per inch; large enough for the window at twice its size.
tela=1024x768x24
if [ "$escala" != 1 ]; then
  export QT_SCALE_FACTOR=$escala
  tela=2048x1536x24
fi
Xvfb -displayfd 4 -screen 0 "$tela" -dpi 96 -nolisten tcp 4>"$tmp/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$tmp/display")

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
