#!/usr/bin/env bash
# The tuner in a Wayland session, where a client can neither place nor move its own windows:
#
#   tools/wayland-test.sh [build folder] [screenshot folder]     (defaults: build, build/tests)
#
# A Weston compositor runs inside a virtual X screen (Xvfb, Weston's x11 back end, which turns
# the X pointer into Wayland pointer input), and the real program runs in it on Qt's wayland
# platform with a private sound server for its microphone. It checks that
#   - the borderless main window shows, whole, where the compositor puts it;
#   - dragging its background moves it by the distance the pointer moved (the compositor's own
#     move, started by the program), as on the desktop's title bars;
# and leaves wayland-aberta.png and wayland-arrastada.png in the screenshot folder.
# Exit status 0: all checks passed; 1: a check failed; 77: this machine cannot run it (no
# Weston, Qt's wayland platform, Xvfb, xdotool, ImageMagick or sound server).
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
saida=${2:-$build/tests}
source "$(dirname "$0")/sessao-teste.sh"
for programa in weston Xvfb xwininfo xdotool import convert; do
  command -v "$programa" >/dev/null || { echo "wayland-test: $programa is missing" >&2; exit 77; }
done
plugin=$(find /usr/lib/*/qt6/plugins/platforms -name 'libqwayland-generic.so' 2>/dev/null | head -n1)
[ -n "$plugin" ] || { echo "wayland-test: Qt's wayland platform (qt6-wayland) is missing" >&2; exit 77; }
bash "$som" kind >/dev/null || { echo "wayland-test: no sound server is installed" >&2; exit 77; }
mkdir -p "$saida"
saida=$(cd "$saida" && pwd)

sessao_iniciar wayland-test
sessao_programa "$build/tessarin"
mkdir -p "$tmp/run" "$tmp/casa"
chmod 700 "$tmp/run"
export HOME=$tmp/casa XDG_DATA_HOME=$tmp/casa/.local/share
sessao_som "$tmp/som"

# --- the compositor, in a window of a virtual X screen -------------------------------------------
sessao_xvfb 1400x1000
# A plain background and no panel: whatever is not the background is the program's window.
cat >"$tmp/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff203040
panel-position=none
locking=false
EOF
XDG_RUNTIME_DIR=$tmp/run weston --backend=x11-backend.so --use-pixman --config="$tmp/weston.ini" \
  --socket=tessarin-wayland --width=1200 --height=800 >"$tmp/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -S "$tmp/run/tessarin-wayland" ] && break; sleep 0.05; done
saida_weston=""
for _ in $(seq 200); do
  saida_weston=$(xwininfo -root -children 2>/dev/null | awk '/ 1200x800[+]/ {print $1; exit}')
  [ -n "$saida_weston" ] && break
  sleep 0.05
done
[ -n "$saida_weston" ] || { cat "$tmp/weston.log" >&2; echo "wayland-test: Weston did not start" >&2; exit 1; }

# --- the program ---------------------------------------------------------------------------------
# The compositor's runtime folder is not the sound server's: the server is named outright.
env XDG_RUNTIME_DIR="$tmp/run" WAYLAND_DISPLAY=tessarin-wayland \
  PULSE_SERVER="unix:$tmp/som/pulse/native" QT_QPA_PLATFORM=wayland \
  "$tmp/app/tessarin" >"$tmp/tessarin.log" 2>&1 &
programa=$!
pids+=($programa)

# The program's window on the compositor's output: "<width> <height> <x> <y>" of everything that
# is not the background. The compositor draws its pointer at the output's top-left corner until
# the pointer first moves: that corner is painted over with the background first (a window that
# reaches the corner keeps its box, its other edge pixels mark it).
janela() {
  import -display "$DISPLAY" -window "$saida_weston" "$1"
  convert "$1" -fill '#203040' -draw 'rectangle 0,0 31,31' -fuzz 2% -trim \
    -format '%w %h %X %Y\n' info: | tr -d '+'
}
aberta=""
for _ in $(seq 100); do
  sleep 0.2
  read -r w h x y < <(janela "$tmp/aberta.png")
  if [ "$w" = 802 ] && [ "$h" = 532 ]; then aberta="$x $y"; break; fi
done
cp "$tmp/aberta.png" "$saida/wayland-aberta.png"
if [ -z "$aberta" ]; then
  falhou "the main window did not show whole (what shows: ${w}x$h at $x,$y)"
else
  read -r x0 y0 <<<"$aberta"
  echo "wayland-test: the main window shows whole, 802x532, where the compositor put it: $x0,$y0"
  [ "$x0" -ge 0 ] && [ "$y0" -ge 0 ] && [ $((x0 + 802)) -le 1200 ] && [ $((y0 + 532)) -le 800 ] ||
    falhou "the main window is not inside the output"

  # A drag on the background beside the tuning label: the pointer goes there in small steps (the
  # compositor follows the X pointer's moves), presses, moves 200 left and 100 up, releases.
  px=$((x0 + 467)) py=$((y0 + 412))
  timeout 5 xdotool mousemove --window "$saida_weston" 1 1 2>/dev/null || true
  for i in $(seq 1 40); do
    timeout 5 xdotool mousemove --window "$saida_weston" $((i * px / 40)) $((i * py / 40)) 2>/dev/null || true
    sleep 0.01
  done
  sleep 0.3
  timeout 5 xdotool mousedown 1 2>/dev/null || true
  sleep 0.3
  for i in $(seq 1 20); do
    timeout 5 xdotool mousemove --window "$saida_weston" $((px - i * 10)) $((py - i * 5)) 2>/dev/null || true
    sleep 0.03
  done
  sleep 0.3
  timeout 5 xdotool mouseup 1 2>/dev/null || true
  sleep 0.5
  read -r w h x y < <(janela "$tmp/arrastada.png")
  cp "$tmp/arrastada.png" "$saida/wayland-arrastada.png"
  echo "wayland-test: after the drag: ${w}x$h at $x,$y"
  if [ "$w" != 802 ] || [ "$h" != 532 ] || [ $((x - x0 + 200)) -lt -2 ] || [ $((x - x0 + 200)) -gt 2 ] ||
    [ $((y - y0 + 100)) -lt -2 ] || [ $((y - y0 + 100)) -gt 2 ]; then
    falhou "dragging the background by (-200, -100) moved the window from $x0,$y0 to $x,$y"
  fi
fi

kill -0 "$programa" 2>/dev/null || falhou "the program ended by itself"
if [ "$falhas" -gt 0 ]; then
  echo "wayland-test: $falhas check(s) failed; program output:" >&2
  cat "$tmp/tessarin.log" >&2
  exit 1
fi
echo "wayland-test: all checks passed; screenshots in $saida"
