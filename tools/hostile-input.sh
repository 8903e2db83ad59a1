#!/usr/bin/env bash
# The real program against hostile replacements of every file it reads from outside: the tuning
# file, the settings file, the language files, the MIDI driver library, and a program folder it
# may not write to. Each case runs the program from a fresh copy of the build's program folder on
# a virtual screen (Xvfb), with the tests' private sound server as its sound system, and
# records:
#
#   - what it showed: its windows in order (main window, language chooser, message boxes with
#     their captions; a picture of each box is kept);
#   - that it did not crash (no end by a signal) and ended when told to (boxes answered, the
#     main window closed by its close button);
#   - that it did not spin: the CPU it used from 5 s after its start (and once a window shows),
#     over a few seconds, is below 5 % of one core (looked at up to three times, so that a
#     start-up slowed by a loaded machine is not taken for a spinning program);
#   - that the settings file is intact (byte for byte) or rewritten whole (the three settings
#     and nothing else).
#
#   tools/hostile-input.sh [build folder] [short|long] [report folder]
#                                                   (defaults: build, short, <build>/hostile-input)
#
# The short form (run by `make test`) tries one or two cases of each kind with a short look at
# the CPU; the long form (run by `make fuzz`) tries them all, with larger files and a longer
# look. The table of results is printed and written to <report folder>/results.md. Exit status
# 0: every case passed; 1: a case failed; 77: this machine cannot run it (run tools/setup.sh).
# TESSARIN_HOSTILE_CASES, a regular expression, runs only the cases whose names match it;
# TESSARIN_HOSTILE_DEBUG=1 prints each case's windows and the program's output.
#
# The program folder is made read-only for root as well by a read-only bind mount in a mount
# namespace of the program's own (unshare); where that is not allowed, a root run skips the case.
# The program's home and configuration folder are scratch folders: nothing of the user's is read
# or written.
set -euo pipefail

build=${1:-build}
forma=${2:-short}
case "$forma" in short | long) ;; *) echo "hostile-input: short or long, not $forma" >&2; exit 2 ;; esac
for programa in Xvfb pactl xwininfo xdotool import unshare; do
  command -v "$programa" >/dev/null || { echo "hostile-input: $programa is missing" >&2; exit 77; }
done
source "$(dirname "$0")/sessao-teste.sh"
bash "$som" kind >/dev/null || { echo "hostile-input: no sound server installed" >&2; exit 77; }
app_origem=$(cd "$build/tessarin" && pwd)
[ -x "$app_origem/tessarin" ] || { echo "hostile-input: $app_origem/tessarin not built" >&2; exit 1; }
relatorio=${3:-$build/hostile-input}
mkdir -p "$relatorio"
relatorio=$(cd "$relatorio" && pwd)
rm -f "$relatorio"/*.png "$relatorio/results.md"

if [ "$forma" = long ]; then
  espera_cpu=5 janela_cpu=5 grande_mb=64
else
  espera_cpu=5 janela_cpu=2 grande_mb=8
fi

sessao_iniciar hostile-input
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share
mkdir -p "$HOME"
sessao_xvfb 1024x768
sessao_som

# --- observing the program ---------------------------------------------------------------------
# The program's viewable top-level windows, one per line: "id<TAB>width x height<TAB>title".
janelas() {
  xwininfo -root -children 2>/dev/null |
    awk 'match($0, /^ +0x[0-9a-f]+ /) {
      id = $1; titulo = ""
      if (match($0, /"[^"]*":/)) titulo = substr($0, RSTART + 1, RLENGTH - 3)
      if (match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+/)) {
        g = substr($0, RSTART, RLENGTH); split(g, p, "+"); print id "\t" p[1] "\t" titulo
      }
    }' |
    while IFS=$'\t' read -r id tamanho titulo; do
      case "$tamanho" in 1x1 | 3x3 | 10x10) continue ;; esac
      xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && printf '%s\t%s\t%s\n' "$id" "$tamanho" "$titulo"
    done
}
# The CPU time of a process so far, in clock ticks.
cpu_de() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
tecla() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || true
  timeout 5 xdotool key --clearmodifiers "$2" 2>/dev/null || true
}
vivo() { kill -0 "$1" 2>/dev/null; }

resultados=()
# The settings file: "intact" (as it was), "rewritten whole" (the three settings and nothing
# else), "none", or "DAMAGED".
estado_ini() {
  local arquivo=$1 antes=$2
  if [ -d "$arquivo" ]; then
    echo "a folder, left alone"
  elif [ ! -f "$arquivo" ]; then
    echo none
  elif [ -f "$antes" ] && cmp -s "$antes" "$arquivo"; then
    echo intact
  elif LC_ALL=C grep -qzP '^\[geral\]\r\nidioma=[^\r\n]*\r\nafinacaoSelecionada=-?[0-9]+\r\ntipoSistema=-?[0-9]+\r\n$' "$arquivo"; then
    echo "rewritten whole"
  else
    echo DAMAGED
  fi
}
# Runs the prepared program folder $tmp/app for the case named $1 and adds its row to the table;
# with $2 = read-only, in a folder it may not write to.
executar() {
  local nome=$1 somente_leitura=${2:-} pid cpu0 cpu1 hz cpu visto="" status ok=sim nota=""
  [[ "$nome" =~ ${TESSARIN_HOSTILE_CASES:-.} ]] || return 0
  rm -f "$tmp/ini.antes" "$tmp/usuario.antes"
  : >"$tmp/janelas.log"
  rm -rf "$XDG_CONFIG_HOME/tessarin"
  [ -f "$tmp/app/tessarin.ini" ] && cp "$tmp/app/tessarin.ini" "$tmp/ini.antes"
  local usuario=$XDG_DATA_HOME/tessarin/Afinacoes.xml
  [ -f "$usuario" ] && cp "$usuario" "$tmp/usuario.antes"
  if [ -n "$somente_leitura" ] && [ "$(id -u)" = 0 ]; then
    (export APP=$tmp/app && exec unshare -m sh -c \
      'mount --bind -o ro "$APP" "$APP" 2>/dev/null || exit 99; cd "$APP" && exec ./tessarin') \
      >"$tmp/saida.log" 2>&1 &
  elif [ -n "$somente_leitura" ]; then
    chmod -R a-w "$tmp/app"
    (cd "$tmp/app" && exec ./tessarin) >"$tmp/saida.log" 2>&1 &
  else
    (cd "$tmp/app" && exec ./tessarin) >"$tmp/saida.log" 2>&1 &
  fi
  pid=$!
  hz=$(getconf CLK_TCK)
  # From 5 s after the start, and once the program shows a window (on a loaded machine its
  # start-up may take longer), the CPU over a few seconds, whatever shows. A start-up that is
  # still finishing is given two more looks; a program that spins stays busy in all three.
  sleep "$espera_cpu"
  local espera
  for espera in $(seq 40); do
    vivo "$pid" && [ -z "$(janelas | awk -F'\t' '$2 != "250x250"')" ] || break
    sleep 0.5
  done
  cpu="-"
  local olhar
  for olhar in 1 2 3; do
    vivo "$pid" || break
    cpu0=$(cpu_de "$pid")
    sleep "$janela_cpu"
    vivo "$pid" || break
    cpu1=$(cpu_de "$pid")
    cpu=$(awk -v a="$cpu0" -v b="$cpu1" -v hz="$hz" -v s="$janela_cpu" 'BEGIN { printf "%.1f", (b - a) * 100 / hz / s }')
    awk -v c="$cpu" 'BEGIN { exit !(c >= 5) }' || break
  done
  # Then answers what it shows: boxes with Return, the chooser by picking its first language,
  # the main window by its close button (which saves the settings).
  local passo caixas=0 principal=0
  for passo in $(seq 30); do
    vivo "$pid" || break
    local linha id tamanho titulo agiu=0
    while IFS=$'\t' read -r id tamanho titulo; do
      [ -n "$id" ] || continue
      case "$tamanho" in
        802x532)
          [ "$principal" = 1 ] || visto+="main window; "
          principal=1
          ;;
        250x250) ;;  # the splash
        236x252)
          visto+="language chooser; "
          tecla "$id" Down
          tecla "$id" Return
          agiu=1
          ;;
        *)
          caixas=$((caixas + 1))
          visto+="box \"$titulo\"; "
          import -display "$DISPLAY" -window "$id" "$relatorio/$nome-$caixas.png" 2>/dev/null || true
          tecla "$id" Return
          agiu=1
          ;;
      esac
    done < <(janelas | tee -a "$tmp/janelas.log")
    if [ "$agiu" = 0 ] && [ "$principal" = 1 ]; then
      local j
      j=$(janelas | awk -F'\t' '$2 == "802x532" { print $1; exit }')
      if [ -n "$j" ]; then
        timeout 5 xdotool mousemove --window "$j" 772 36 click 1 2>/dev/null || true
      fi
    fi
    sleep 0.5
  done
  if vivo "$pid"; then
    kill "$pid" 2>/dev/null || true
    ok=nao nota+="did not end when told to; "
  fi
  set +e
  wait "$pid"
  status=$?
  set -e
  if [ -n "$somente_leitura" ] && [ "$status" = 99 ]; then
    echo "hostile-input: $nome: skipped (no read-only bind mount allowed here)"
    resultados+=("| $nome | (skipped: no read-only bind mount allowed on this machine) | | | | |")
    return 0
  fi
  if [ "$status" -ge 128 ] && [ "$ok" = sim ]; then ok=nao nota+="ended by signal $((status - 128)); "; fi
  [ -n "$visto" ] || { visto="nothing"; ok=nao nota+="showed nothing; "; }
  if [ -n "${exigir_principal:-}" ] && [ "$principal" = 0 ]; then ok=nao nota+="no main window; "; fi
  if [ -f "$tmp/usuario.antes" ] && ! cmp -s "$tmp/usuario.antes" "$usuario"; then
    ok=nao nota+="the user's tuning file changed; "
  fi
  if [ "$cpu" != "-" ] && awk -v c="$cpu" 'BEGIN { exit !(c >= 5) }'; then ok=nao nota+="busy; "; fi
  local ini config
  ini=$(estado_ini "$tmp/app/tessarin.ini" "$tmp/ini.antes")
  [ -f "$tmp/ini.antes" ] && [ "$ini" = none ] && ini=REMOVED
  case "$ini" in DAMAGED | REMOVED) ok=nao nota+="settings file $ini; " ;; esac
  # The settings saved in the configuration folder instead (a folder it may not write to).
  config=$(estado_ini "$XDG_CONFIG_HOME/tessarin/tessarin.ini" /nonexistent)
  case "$config" in
    none) ;;
    DAMAGED) ini+="; in the configuration folder: DAMAGED"; ok=nao nota+="settings file damaged; " ;;
    *) ini+="; in the configuration folder: $config" ;;
  esac
  [ -z "${TESSARIN_HOSTILE_DEBUG:-}" ] || { sort -u "$tmp/janelas.log"; cat "$tmp/saida.log"; } >&2
  [ "$ok" = sim ] || falhas=$((falhas + 1))
  resultados+=("| $nome | ${visto%; } | $status | $cpu | $ini | $([ "$ok" = sim ] && echo pass || echo "FAIL: ${nota%; }") |")
  echo "hostile-input: $nome: ${visto%; }; exit $status; CPU $cpu %; settings $ini; $([ "$ok" = sim ] && echo pass || echo "FAIL ${nota%; }")"
}

# A fresh program folder with English and the first tuning saved, and no tunings of the user's.
preparar() {
  rm -rf "$tmp/app" "$XDG_DATA_HOME/tessarin"
  sessao_programa "$app_origem"
  mkdir -p "$XDG_DATA_HOME/tessarin"
}
longo() { [ "$forma" = long ]; }
# $1 bytes of noise, the same on every run for the same name $2.
ruido() {
  LC_ALL=C awk -v n="$1" -v s="$(printf '%s' "$2" | cksum | cut -d' ' -f1)" 'BEGIN {
    x = s % 2147483647 + 1
    for (i = 0; i < n; i++) { x = (x * 48271) % 2147483647; printf "%c", x % 255 + 1 }
  }'
}
repetir() { # text, count
  awk -v t="$1" -v n="$2" 'BEGIN { for (i = 0; i < n; i++) printf "%s", t }'
}
xml=$tmp/app/Afinacoes.xml

# --- a first start, sound files as shipped -------------------------------------------------------
# At its first start the MIDI driver library measures the pitch of every key it will play, in the
# background, and keeps the results in the user's cache folder (here the scratch home). That is
# work, not a spinning program: it is done once here, with nothing hostile, until the program
# idles, so that the cases below see a program that has nothing left to do.
# Waits until program $1 uses under 5 % of a core over 2 s, looking at most $2 times; `espera`
# is then the number of looks.
ociosa() {
  local c0 c1
  for espera in $(seq "$2"); do
    vivo "$1" || break
    c0=$(cpu_de "$1")
    sleep 2
    c1=$(cpu_de "$1")
    awk -v a="$c0" -v b="$c1" -v hz="$hz" 'BEGIN { exit !((b - a) * 100 / hz / 2 < 5) }' && break
  done
}
preparar
(cd "$tmp/app" && exec ./tessarin) >"$tmp/saida.log" 2>&1 &
aquecido=$!
hz=$(getconf CLK_TCK)
for _ in $(seq 120); do
  [ -n "$(janelas | awk -F'\t' '$2 == "802x532"')" ] && break
  sleep 0.5
done
ociosa "$aquecido" 90
echo "hostile-input: a first start idles after about $((espera * 2)) s"
j=$(janelas | awk -F'\t' '$2 == "802x532" { print $1; exit }')
[ -z "$j" ] || timeout 5 xdotool mousemove --window "$j" 772 36 click 1 2>/dev/null || true
for _ in $(seq 20); do vivo "$aquecido" || break; sleep 0.5; done
kill "$aquecido" 2>/dev/null || true
wait "$aquecido" 2>/dev/null || true
# A start whose splash stops on a message box (a language whose pictures are damaged) holds the
# output's opening program for as long as the box shows, and the library measures that
# program's keys too: more of the same work, done here (long form, whose cases show such boxes)
# with the box left unanswered until the program idles.
if longo; then
  preparar
  for f in "$tmp/app"/*.dat; do head -c 3000 "$app_origem/$(basename "$f")" >"$f"; done
  (cd "$tmp/app" && exec ./tessarin) >"$tmp/saida.log" 2>&1 &
  aquecido=$!
  sleep 5
  ociosa "$aquecido" 120
  echo "hostile-input: a start held on a box idles after about $((espera * 2 + 5)) s"
  kill "$aquecido" 2>/dev/null || true
  wait "$aquecido" 2>/dev/null || true
fi

# --- the tuning file, and the file of the user's own tunings ------------------------------------
# The hostile tuning documents, each written to $1 and run as the case "$2-<kind>".
documentos_hostis() {
  local alvo=$1 prefixo=$2 pasta
  pasta=$(dirname "$alvo")
  preparar; ruido 65536 afinacoes >"$alvo"; executar "$prefixo-random-bytes"
  if longo; then
    preparar; head -c "$(($(stat -c %s "$app_origem/Afinacoes.xml") / 2))" "$app_origem/Afinacoes.xml" >"$alvo"
    executar "$prefixo-truncated"
    preparar; { echo '<?xml version="1.0"?><Afinacoes>'; repetir '<a>' 200000; } >"$alvo"; executar "$prefixo-nested-200000"
    preparar; { echo '<?xml version="1.0" encoding="UTF-16"?>'; cat "$app_origem/Afinacoes.xml"; } |
      iconv -f UTF-8 -t UTF-16 >"$alvo" 2>/dev/null || true; executar "$prefixo-utf16"
    preparar; sed 's/encoding="UTF-8"/encoding="ISO-8859-1"/' "$app_origem/Afinacoes.xml" |
      sed 's/#VIO/Viol\xe3o \xff\xfe\xc3/' >"$alvo"; executar "$prefixo-wrong-encoding"
  fi
  preparar
  { echo '<?xml version="1.0"?><!DOCTYPE Afinacoes [<!ENTITY l0 "lol">'
    for i in 1 2 3 4 5 6 7 8 9; do printf '<!ENTITY l%d "%s">' "$i" "$(repetir "&l$((i - 1));" 10)"; done
    echo ']><Afinacoes><Afinacao><instrumento>&l9;</instrumento></Afinacao></Afinacoes>'; } >"$alvo"
  executar "$prefixo-entity-bomb"
  preparar
  head -c $((4 << 20)) /dev/zero | tr '\0' 'x' >"$pasta/grande.txt"
  { echo '<?xml version="1.0"?><!DOCTYPE Afinacoes [<!ENTITY g SYSTEM "grande.txt">]><Afinacoes><Afinacao><instrumento>'
    repetir '&g;' 20000; echo '</instrumento></Afinacao></Afinacoes>'; } >"$alvo"
  executar "$prefixo-external-entity-bomb"
  preparar
  { echo '<?xml version="1.0"?><Afinacoes>'; repetir '<!-- a comment, one of many, many -->' \
      $(longo && echo 200000 || echo 50000); cat "$app_origem/Afinacoes.xml" | sed '1d;s/<Afinacoes>//'; } >"$alvo"
  executar "$prefixo-many-comments"
  preparar
  { echo '<?xml version="1.0"?><Afinacoes>'; head -c $((grande_mb << 20)) /dev/zero | tr '\0' ' '
    sed '1d;s/<Afinacoes>//' "$app_origem/Afinacoes.xml"; } >"$alvo"
  executar "$prefixo-huge-${grande_mb}MB"
}
preparar; rm -f "$xml"; executar tuning-missing
documentos_hostis "$xml" tuning
# The user's own tunings: whatever the file holds, the program starts with the shipped tunings
# and its main window, and the file stays as it was.
exigir_principal=1
documentos_hostis "$XDG_DATA_HOME/tessarin/Afinacoes.xml" user-tunings
exigir_principal=

# --- the settings file ---------------------------------------------------------------------------
ini=$tmp/app/tessarin.ini
preparar; ruido 4096 ini >"$ini"; executar settings-random-bytes
preparar
printf '[geral]\r\nidioma=English\r\nafinacaoSelecionada=99999999999999999999999\r\ntipoSistema=-2147483649\r\n' >"$ini"
executar settings-huge-numbers
if longo; then
  preparar; printf '[geral]\r\nidioma=../../../../etc/passwd\r\nafinacaoSelecionada=-1\r\ntipoSistema=7\r\n' >"$ini"
  executar settings-path-as-language
  preparar; { printf '[geral]\r\n'; repetir 'idioma=English\r\n' 1000000; } >"$ini"; executar settings-huge
  preparar; rm -f "$ini"; mkdir "$ini"; executar settings-is-a-folder
  preparar; : >"$ini"; executar settings-empty
fi

# --- the language files --------------------------------------------------------------------------
preparar; for f in "$tmp/app"/*.idm; do head -c 200 "$app_origem/$(basename "$f")" >"$f"; done
executar languages-truncated-text
preparar; rm -f "$tmp/app"/*.idm; executar languages-missing
if longo; then
  preparar; for f in "$tmp/app"/*.idm; do ruido 8192 "$(basename "$f")" >"$f"; done; executar languages-random-text
  preparar; for f in "$tmp/app"/*.dat; do ruido 65536 "$(basename "$f")" >"$f"; done; executar languages-random-pictures
  preparar; for f in "$tmp/app"/*.dat; do head -c 3000 "$app_origem/$(basename "$f")" >"$f"; done
  executar languages-truncated-pictures
  preparar; rm -f "$tmp/app"/*.dat; executar languages-pictures-missing
fi

# --- the MIDI driver library ---------------------------------------------------------------------
midi=$tmp/app/libMxMidi32.so
preparar; rm -f "$midi"; executar midi-library-missing
preparar; ruido 20000 midi >"$midi"; executar midi-library-not-a-library
if longo; then
  preparar; cp "$(ldconfig -p | awk '/libz\.so\.1 / { print $NF; exit }')" "$midi"
  executar midi-library-without-its-functions
fi

# --- a program folder the program may not write to -----------------------------------------------
preparar; executar read-only-folder somente-leitura; chmod -R u+w "$tmp/app"

# --- the table -----------------------------------------------------------------------------------
{
  echo "Hostile input, $forma form ($(date -u +%Y-%m-%d))."
  echo
  echo "| case | what showed | exit status | CPU % from ${espera_cpu} s on | settings file | result |"
  echo "|---|---|---|---|---|---|"
  printf '%s\n' "${resultados[@]}"
} | tee "$relatorio/results.md"
echo "hostile-input: $falhas case(s) failed; pictures of the boxes in $relatorio"
[ "$falhas" -eq 0 ]
