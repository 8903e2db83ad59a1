#!/usr/bin/env bash
# The main window on desktops scaled to 125 %, 150 % and 200 % (Qt's high-DPI scaling, set
# here with QT_SCALE_FACTOR): the window is enlarged as a whole, every picture in its place.
#
#   tools/scale-test.sh [build folder] [screenshot folder]       (defaults: build, build/tests)
#
# Takes the main window at 100 % and at each scale (tools/screenshot.sh: escala-100.png,
# escala-125.png, escala-150.png, escala-200.png) and checks that each is the 100 % window
# enlarged: the window's size is the factor times 802 x 532, and on a grid of 40 x 26 cells no
# cell's mean colour differs from the enlarged 100 % window's by more than 15 % (enlarging
# softens the pictures a little; a picture missing, cut or out of place changes its cells
# wholly). Exit status 0: passed; 1: failed; 77: no Xvfb, sound server or ImageMagick.
set -euo pipefail

build=${1:-build}
saida=${2:-$build/tests}
ferramentas=$(cd "$(dirname "$0")" && pwd)
for programa in Xvfb convert compare identify; do
  command -v "$programa" >/dev/null || { echo "scale-test: $programa is missing" >&2; exit 77; }
done
bash "$ferramentas/private-sound-server.sh" kind >/dev/null ||
  { echo "scale-test: no sound server is installed" >&2; exit 77; }
mkdir -p "$saida"
tmp=$(mktemp -d /tmp/tessarin-scale-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

falhas=0
bash "$ferramentas/screenshot.sh" "$build" "$saida/escala-100.png" 1 >/dev/null
convert "$saida/escala-100.png" -scale '40x26!' "$tmp/referencia.png"
for por_cento in 125 150 200; do
  escala=$(awk -v p="$por_cento" 'BEGIN { print p / 100 }')
  foto=$saida/escala-$por_cento.png
  bash "$ferramentas/screenshot.sh" "$build" "$foto" "$escala" >/dev/null
  tamanho=$(identify -format '%wx%h' "$foto")
  esperado=$(awk -v e="$escala" 'BEGIN { printf "%dx%d", int(802 * e + 0.5), int(532 * e + 0.5) }')
  convert "$foto" -scale '40x26!' "$tmp/celulas.png"
  # Peak absolute error over the cells, from 0 to 1.
  # (compare's exit status tells only whether the images differ at all.)
  erro=$({ compare -metric PAE "$tmp/referencia.png" "$tmp/celulas.png" null: 2>&1 || true; } |
    sed 's/.*(\(.*\))/\1/')
  echo "scale-test: ${por_cento}%: window $tamanho (expected $esperado), largest cell difference $erro"
  if [ "$tamanho" != "$esperado" ]; then
    echo "scale-test: FAILED: at ${por_cento}% the window is $tamanho, not $esperado" >&2
    falhas=$((falhas + 1))
  fi
  if ! awk -v e="$erro" 'BEGIN { exit !(e < 0.15) }'; then
    echo "scale-test: FAILED: at ${por_cento}% part of the window differs from the 100% window" >&2
    falhas=$((falhas + 1))
  fi
done
[ "$falhas" -eq 0 ] || exit 1
echo "scale-test: the window is whole at every scale; screenshots in $saida"
