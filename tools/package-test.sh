#!/usr/bin/env bash
# The Debian package as a user gets it, checked end to end:
#
#   tools/package-test.sh [build folder]     (default: build)
#
#   1. builds the package with CPack (into a scratch folder, not the build folder's own);
#   2. lintian reports no error or warning on it (its information tags are shown); appstreamcli
#      validates its AppStream data and desktop-file-validate its menu entry;
#   3. `cmake --install` with DESTDIR puts the same files, links and modes in the same places;
#   4. the package is unpacked with dpkg-deb -x into a scratch root, its program folder made
#      read-only, and the tuner is started on a virtual screen (Xvfb) as an ordinary user (root
#      may write anywhere, so root runs it as "nobody"), from an unrelated working folder, with
#      a fresh XDG_CONFIG_HOME and a private sound server: the language chooser shows, Español
#      is chosen, the main window appears under the title "Tessarin", closing it writes the
#      language to $XDG_CONFIG_HOME/tessarin/tessarin.ini, nothing is written anywhere else, and
#      a second start shows the main window without the chooser.
#
# Exit status 0: all checks passed; 1: a check failed; 77: a tool this needs is missing (run
# tools/setup.sh test).
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
source "$(dirname "$0")/sessao-teste.sh"
for programa in cpack lintian appstreamcli desktop-file-validate dpkg-deb Xvfb xwininfo xdotool \
  setpriv; do
  command -v "$programa" >/dev/null || { echo "package-test: $programa is missing" >&2; exit 77; }
done
bash "$som" kind >/dev/null || { echo "package-test: no sound server is installed" >&2; exit 77; }

sessao_iniciar package-test
chmod 755 "$tmp"
programa_pid=""
sessao_ao_terminar() { [ -z "$programa_pid" ] || kill "$programa_pid" 2>/dev/null || true; }

# Runs a command as the user the tuner runs as: this one, or "nobody" for root.
if [ "$(id -u)" -eq 0 ]; then
  usuario=65534
  como_usuario() { setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"; }
else
  usuario=$(id -u)
  como_usuario() { "$@"; }
fi

# --- 1. the package ------------------------------------------------------------------------------
echo "package-test: building the package"
(cd "$build" && cpack -G DEB -B "$tmp/pacote" >"$tmp/cpack.log" 2>&1) ||
  { cat "$tmp/cpack.log" >&2; echo "package-test: cpack failed" >&2; exit 1; }
pacote=$(ls "$tmp"/pacote/tessarin_*_amd64.deb)
echo "package-test: $(basename "$pacote"), $(stat -c %s "$pacote") bytes," \
  "installed size $(dpkg-deb -f "$pacote" Installed-Size) KiB"
echo "package-test: Depends: $(dpkg-deb -f "$pacote" Depends)"

# --- 2. lintian, AppStream, menu entry ---------------------------------------------------------
echo "package-test: lintian"
estado_lintian=0
lintian --fail-on error,warning --display-info "$pacote" >"$tmp/lintian.txt" 2>&1 || estado_lintian=$?
grep -v 'running with root privileges' "$tmp/lintian.txt" | sed 's/^/  /' || true
[ "$estado_lintian" -eq 0 ] || falhou "lintian reports errors or warnings"

dpkg-deb -x "$pacote" "$tmp/raiz"
metainfo=$(ls "$tmp"/raiz/usr/share/metainfo/*.metainfo.xml)
echo "package-test: appstreamcli validate --no-net $(basename "$metainfo")"
appstreamcli validate --no-net "$metainfo" 2>&1 | sed 's/^/  /' ||
  falhou "appstreamcli does not accept the AppStream data"
for entrada in "$tmp"/raiz/usr/share/applications/*.desktop; do
  desktop-file-validate "$entrada" || falhou "desktop-file-validate: $(basename "$entrada")"
done

# --- 3. make install puts the same files in the same places -------------------------------------
listar() { (cd "$1" && find . \( -type f -o -type l \) -printf '%y %m %P %l\n' | sort); }
DESTDIR=$tmp/destdir cmake --install "$build" --prefix /usr >/dev/null
if ! diff <(listar "$tmp/raiz") <(listar "$tmp/destdir") >"$tmp/diferencas"; then
  sed 's/^/  /' "$tmp/diferencas" >&2
  falhou "cmake --install and the package differ (< package, > install)"
fi
[ "$(readlink "$tmp/raiz/usr/bin/tessarin")" = ../lib/tessarin/tessarin ] ||
  falhou "/usr/bin/tessarin is not a link to the program"

# --- 4. the unpacked tuner, from anywhere, with its folder read-only ----------------------------
pasta_programa=$tmp/raiz/usr/lib/tessarin
chmod -R a-w "$pasta_programa"
mkdir -p "$tmp/casa" "$tmp/outra" "$tmp/run"
chown "$usuario" "$tmp/casa" "$tmp/outra" "$tmp/run"
chmod 700 "$tmp/run"
configuracao=$tmp/casa/config   # XDG_CONFIG_HOME: does not exist yet

# The sound server runs as the tuner's user, like a desktop's.
sessao_som_pasta=$tmp/run
ambiente_som=$(HOME=$tmp/casa como_usuario bash "$som" start "$tmp/run") ||
  { echo "package-test: the sound server did not start" >&2; exit 1; }

sessao_xvfb 1024x768
# The tuner's user must reach the screen as well.
for _ in $(seq 100); do
  como_usuario xwininfo -root >/dev/null 2>&1 && break
  sleep 0.05
done
como_usuario xwininfo -root >/dev/null 2>&1 || {
  echo "package-test: user $usuario cannot open display $DISPLAY; the X server's log:" >&2
  cat "$tmp/xvfb.log" >&2
  exit 1
}

# Every window mapped on the screen, as "<id> <width>x<height>", one a line.
janelas() {
  xwininfo -root -children 2>/dev/null |
    awk '/^ +0x/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { split($i, t, "+"); print $1, t[1] } }'
}
# The viewable window of that size, within ten seconds (or the given number of tries, 50 ms apart).
janela_de() {
  local id
  for _ in $(seq "${2:-200}"); do
    for id in $(janelas | awk -v t="$1" '$2 == t {print $1}'); do
      xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && { echo "$id"; return 0; }
    done
    sleep 0.05
  done
  return 1
}

iniciar_tuner() {
  (
    cd "$tmp/outra"
    # shellcheck disable=SC2086  # one NAME=value a line
    como_usuario env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" HOME="$tmp/casa" \
      XDG_CONFIG_HOME="$configuracao" $ambiente_som LANG=C.UTF-8 QT_QPA_PLATFORM=xcb \
      "$tmp/raiz/usr/bin/tessarin"
  ) >"$tmp/tessarin-$1.log" 2>&1 &
  programa_pid=$!
}

# Closes the main window with its close button, as a user does, and waits for the program to end.
fechar_principal() {
  timeout 5 xdotool mousemove --window "$1" 772 36 click 1 2>/dev/null || true
  for _ in $(seq 200); do
    kill -0 "$programa_pid" 2>/dev/null || { wait "$programa_pid" 2>/dev/null || true; programa_pid=""; return 0; }
    sleep 0.05
  done
  return 1
}

echo "package-test: first start, from $tmp/outra, the program folder read-only"
iniciar_tuner 1
# With no language saved yet, the chooser comes straight away: a box (captioned
# "Internationalization") saying a selected language was not found would be wrong, since the
# user has selected nothing. One that shows is answered, so that the run goes on, and counted.
escolha=""
aviso_visto=0
for _ in $(seq 200); do
  escolha=$(janela_de 236x252 1) && break
  aviso=$(xwininfo -root -children 2>/dev/null | awk '/"Internationalization"/ {print $1; exit}')
  if [ -n "$aviso" ] && xwininfo -id "$aviso" 2>/dev/null | grep -q IsViewable; then
    aviso_visto=1
    timeout 5 xdotool windowfocus --sync "$aviso" 2>/dev/null || true
    timeout 5 xdotool key Return 2>/dev/null || true
  fi
done
[ "$aviso_visto" -eq 0 ] || falhou "a message box showed before the language chooser on the first start"
if [ -n "$escolha" ]; then
  timeout 5 xdotool windowfocus --sync "$escolha" 2>/dev/null || true
  timeout 5 xdotool key Home Down Return 2>/dev/null || true  # English, then Español
  if principal=$(janela_de 802x532); then
    titulo=$(xwininfo -id "$principal" | sed -n 's/^xwininfo: Window id: [^ ]* "\(.*\)"$/\1/p')
    echo "package-test: the main window shows, titled \"$titulo\""
    [ "$titulo" = Tessarin ] || falhou "the main window's title reads \"$titulo\", not \"Tessarin\""
    fechar_principal "$principal" || falhou "closing the main window did not end the program"
  else
    falhou "the main window did not show after the language was chosen"
  fi
else
  falhou "the language chooser did not show on the first start"
fi

arquivo=$configuracao/tessarin/tessarin.ini
if [ -f "$arquivo" ]; then
  echo "package-test: $arquivo:"
  sed 's/^/  /' "$arquivo" | iconv -f WINDOWS-1252 -t UTF-8
  grep -aq "^idioma=Espa$(printf '\361')ol"$'\r'"\$" "$arquivo" ||
    falhou "the chosen language is not in the settings file"
else
  falhou "no settings file in \$XDG_CONFIG_HOME/tessarin"
fi
[ -z "$(ls -A "$tmp/outra")" ] || falhou "the program wrote into its working folder: $(ls -A "$tmp/outra")"
[ ! -e "$pasta_programa/tessarin.ini" ] || falhou "settings were written into the program folder"

echo "package-test: second start"
iniciar_tuner 2
# No key is pressed: a language chooser would keep the main window from showing at all.
principal=""
for _ in $(seq 200); do
  janelas | grep -q ' 236x252$' && { falhou "the language chooser showed on the second start"; break; }
  principal=$(janela_de 802x532 1) && break
done
if [ -n "$principal" ]; then
  fechar_principal "$principal" || falhou "closing the main window did not end the program"
else
  falhou "the main window did not show on the second start"
fi

if [ "$falhas" -gt 0 ]; then
  for log in "$tmp"/tessarin-*.log; do
    echo "== $(basename "$log")" >&2
    cat "$log" >&2
  done
  echo "package-test: $falhas check(s) failed" >&2
  exit 1
fi
echo "package-test: all checks passed"
