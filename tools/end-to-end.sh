#!/usr/bin/env bash
# The tuner end to end, as a user runs it: the real program on a virtual screen (Xvfb), a
# guitar-like tone played into the microphone input at real speed (a private sound server's null
# sink: tools/private-sound-server.sh), the keyboard driving the windows, and the screen read back by pixels.
#
#   tools/end-to-end.sh [build folder] [folder for the screenshots]   (defaults: build, docs)
#
# It checks that
#   - an in-tune E2 (82.10 Hz, see below) brings the needle to rest at the centre and shows the in-tune
#     message;
#   - a tone three analyser bins sharp (84.11 Hz) turns the needle clockwise and never shows it;
#   - F3 opens the tuning chooser and F2 the setup assistant, whose meter shows the tone's level;
#   - F4 switches to the fine reading: its dial shows the figure in cents, a tone 3 cents sharp
#     of E2 leans the needle about 3 degrees clockwise with "OK" off; an E2 plucked 12 cents
#     flat and struck again 3 cents sharp shows first about 12 degrees counter-clockwise, then,
#     within half a second of the second stroke, about 3 clockwise; once it has stopped, the
#     readout shows no figure and the needle rests at the centre; a tone 1 cent flat lights
#     "OK"; closed and started again, the program is still in the fine reading;
#   - F5 turns the automatic string on: the six strings of standard guitar plucked in a
#     shuffled order, and A2 40 cents sharp, each select their string on the neck within half a
#     second and keep it; a note halfway between E2 and A2 stays on one string; and the tuner
#     plays no stream into the sound server meanwhile; F6 reads middle C in tune; twenty presses
#     of + set A4 = 442.0 Hz, and an E2 at that pitch reads in tune;
# and leaves tessarin-afinado.png, tessarin-desafinado.png, tessarin-fina.png,
# tessarin-fina-afinado.png, tessarin-automatica.png, tessarin-cromatica.png,
# tessarin-diapasao.png, afinacoes.png and assistente.png in the screenshot folder. Exit
# status 0: all checks passed; 1: a check failed; 77: this machine cannot run it (no Xvfb, sound
# server, sox, ImageMagick or xdotool: run tools/setup.sh).
#
# The program runs from a copy of the build's program folder with English as its language and
# the first tuning (standard guitar) selected, so the user's own settings are never touched.
# Needs what tools/setup.sh installs. A build without the skin's pictures has no needle to read:
# with TESSARIN_E2E_SEM_PELE=1 (set by the test in such a build) the needle checks are skipped.
set -euo pipefail

build=${1:-build}
saida=${2:-docs}
source "$(dirname "$0")/sessao-teste.sh"
bash "$som" kind >/dev/null || { echo "end-to-end: no sound server is installed" >&2; exit 77; }
for programa in Xvfb pactl paplay sox convert import xwininfo xdotool; do
  command -v "$programa" >/dev/null || { echo "end-to-end: $programa is missing" >&2; exit 77; }
done
app_origem=$(cd "$build/tessarin" && pwd)
[ -x "$app_origem/tessarin" ] || { echo "end-to-end: $app_origem/tessarin not built" >&2; exit 1; }
mkdir -p "$saida"
saida=$(cd "$saida" && pwd)

sessao_iniciar end-to-end
tom_pid=""
sessao_ao_terminar() { [ -z "$tom_pid" ] || kill "$tom_pid" 2>/dev/null || true; }
sessao_programa "$app_origem"

# --- the microphone: a null sink's monitor, fed at real speed --------------------------------
mkdir -p "$tmp/home"
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share
sessao_som
echo "end-to-end: sound server $(bash "$som" kind)"

# A plucked string, roughly: the fundamental with two overtones, struck every two seconds and
# fading until the next stroke, over the string's sustained ring.
corda() {
  local f=$1 arquivo=$2
  sox -n -r 44100 -c 3 -b 16 -t wav - synth 2 sine "$f" sine "$(awk -v f="$f" 'BEGIN{print 2*f}')" \
    sine "$(awk -v f="$f" 'BEGIN{print 3*f}')" 2>/dev/null |
    sox -t wav - -b 16 -c 1 "$tmp/toque.wav" remix 1v0.45,2v0.2,3v0.1 fade l 0.004 2 1.99 \
      repeat 29 2>/dev/null
  sox -n -r 44100 -c 1 -b 16 "$tmp/sustain.wav" synth 60 sine "$f" vol 0.2 2>/dev/null
  sox -m "$tmp/toque.wav" "$tmp/sustain.wav" "$arquivo" 2>/dev/null
}
# The player still playing stops; one that has not gone two seconds after being asked to is
# killed, so that a stuck client of the sound server never holds the run up.
parar_tom() {
  kill "$tom_pid" 2>/dev/null || true
  for _ in $(seq 20); do kill -0 "$tom_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$tom_pid" 2>/dev/null; then
    echo "end-to-end: the player did not stop when asked; killed" >&2
    kill -9 "$tom_pid" 2>/dev/null || true
  fi
  wait "$tom_pid" 2>/dev/null || true
}
# The player asks for a latency of its own: with a player at its default latency (about two
# seconds) alone on the null sink, a capture that starts on its monitor waits that long for its
# first sound; with a very short one (20 ms) the player runs dry on a busy machine and leaves
# gaps in the tone, which move the strongest bin from one analysis to the next and the fine
# reading as a new stroke would. A quarter of a second does neither.
tocar() {
  [ -z "$tom_pid" ] || parar_tom
  paplay --device=tone --latency-msec=250 "$1" &
  tom_pid=$!
}
# E2 of a standard guitar is 82.41 Hz, nearest to analyser bin 122 (bins are 11025/16384 =
# 0.673 Hz apart). 82.41 Hz lies almost halfway between bins 122 and 123, where the strongest
# bin of a fading tone may swap from one analysis to the next, as it would for a real string;
# the in-tune string is played at bin 122's centre, 82.10 Hz, which the tuner cannot tell from
# 82.41 Hz. 84.11 Hz is bin 125, three bins sharp.
corda 82.10 "$tmp/afinado.wav"
corda 84.11 "$tmp/desafinado.wav"
# The fine reading counts cents from E2's 82.4069 Hz and reads a note from its stroke on: each
# of its tones starts sharply out of a moment's silence. tom_firme rings steadily for a minute;
# dedilhado is a pluck (fundamental and two overtones) fading over its length.
tom_firme() {
  sox -n -r 44100 -c 1 -b 16 "$2" synth 60 sine "$1" vol 0.5 pad 0.3 2>/dev/null
}
dedilhado() {
  sox -n -r 44100 -c 1 -b 16 "$3" synth "$2" sine "$1" sine "$(awk -v f="$1" 'BEGIN{print 2*f}')" \
    sine "$(awk -v f="$1" 'BEGIN{print 3*f}')" remix 1v0.5,2v0.25,3v0.12 fade t 0.003 "$2" "$2" \
    2>/dev/null
}
tom_firme 82.5497 "$tmp/fina-agudo.wav"    # 3 cents sharp
tom_firme 82.3593 "$tmp/fina-grave.wav"    # 1 cent flat
# Plucked 12 cents flat (81.84 Hz), struck again 3 cents sharp after 2.5 s, then silence.
dedilhado 81.8378 2.5 "$tmp/fina-baixo.wav"
dedilhado 82.5497 3.0 "$tmp/fina-alto.wav"
sox "$tmp/fina-baixo.wav" "$tmp/fina-alto.wav" "$tmp/fina-retoque.wav" pad 0.5 4 2>/dev/null

# --- the screen, at 96 dots per inch ------------------------------------------------------------
sessao_xvfb 1024x768

# The viewable window of the given size (the program's windows are told apart by their sizes):
# prints its id; status 1 when there is none, 2 when the screen did not answer in five seconds.
janela_visivel() {
  local lista id estado
  lista=$(timeout 5 xwininfo -root -children 2>/dev/null) || return 2
  id=$(awk -v t="$1" '$0 ~ t"[+]" {print $1; exit}' <<<"$lista")
  [ -n "$id" ] || return 1
  estado=$(timeout 5 xwininfo -id "$id" 2>/dev/null) || return 2
  grep -q 'IsViewable' <<<"$estado" || return 1
  echo "$id"
}
# Waits up to ten seconds for the window of the given size and prints its id.
janela_de() {
  local id
  for _ in $(seq 200); do
    id=$(janela_visivel "$1") && { echo "$id"; return 0; }
    sleep 0.05
  done
  return 1
}
# Waits until no window of that size is viewable any more (a screen that does not answer is not
# taken for a closed window).
fechada() {
  local estado
  for _ in $(seq 100); do
    if janela_visivel "$1" >/dev/null; then estado=0; else estado=$?; fi
    [ "$estado" -eq 1 ] && return 0
    sleep 0.05
  done
  return 1
}
# A key pressed on a window, through the X test extension as a keyboard would. (The key that
# closes a window leaves nothing to send its release to; that is not an error.)
tecla() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || true
  timeout 5 xdotool key --clearmodifiers "$2" 2>/dev/null || true
}

# --- pixel readings -----------------------------------------------------------------------------
# ImageMagick's text form has one line per pixel, "x,y: (r,g,b) ...": fields 1 to 5 below.
# The needle turns about window pixel (624, 197): the needle panel sits at (543, 101) and its
# pivot at (81, 96) of the panel. The dial inside radius 55 is dark brown; the needle is red.
# Prints "<needle pixels> <angle in degrees, positive counter-clockwise>" from the pixels of
# the upper half-ring between radius 12 and 50.
angulo_ponteiro() {
  convert "$1" -crop 101x51+574+147 +repage txt:- | awk -F'[,:() ]+' '
    NR > 1 {
      x = $1 + 574; y = $2 + 147; r = $3; g = $4; b = $5
      dx = x - 624; dy = 197 - y; raio = sqrt(dx * dx + dy * dy)
      if (raio < 12 || raio > 50 || dy <= 0) next
      if (r > 140 && r - g > 60 && r - b > 80) { n++; sx += dx; sy += dy }
    }
    END {
      if (n == 0) { print 0, 0; exit }
      printf "%d %.1f\n", n, atan2(-sx, sy) * 180 / 3.14159265
    }'
}
# Pixels of the in-tune message's green text, in its box (584, 241, 81 x 13).
pixels_mensagem() {
  convert "$1" -crop 81x13+584+241 +repage txt:- | awk -F'[,:() ]+' '
    NR > 1 && $4 > 180 && $3 < 120 && $5 < 120 { n++ }
    END { print n + 0 }'
}
# The fine reading's dial, in one pass over the window's pixels from (574, 105) to (674, 221):
# prints "<needle pixels> <angle>" as angulo_ponteiro does, then the pixels of the "OK" label
# drawn yellow in the lamp window (606, 206, 37 x 16), then the near-black pixels and the light
# text pixels of the readout at the top of the dial (598, 105, 52 x 14), which the classic dial
# has neither of.
ler_mostrador_fino() {
  convert "$1" -crop 101x117+574+105 +repage txt:- | awk -F'[,:() ]+' '
    NR > 1 {
      x = $1 + 574; y = $2 + 105; r = $3; g = $4; b = $5
      if (x >= 606 && x < 643 && y >= 206 && y < 222 && r > 200 && g > 200 && b < 90) amarelo++
      if (x >= 598 && x < 650 && y < 119) {
        if (r < 32 && g < 30 && b < 28) preto++
        if (r > 190 && g > 170 && b > 120) texto++
      }
      dx = x - 624; dy = 197 - y; raio = sqrt(dx * dx + dy * dy)
      if (y < 147 || raio < 12 || raio > 50 || dy <= 0) next
      if (r > 140 && r - g > 60 && r - b > 80) { n++; sx += dx; sy += dy }
    }
    END {
      printf "%d %.1f %d %d %d\n", n, n ? atan2(-sx, sy) * 180 / 3.14159265 : 0, amarelo, preto, texto
    }'
}
# Level of the assistant's meter, in per cent of its height: the meter is 165 pixels high at
# (139, 87) of page 3, and its bar has the style's highlight colour (blue).
nivel_medidor() {
  convert "$1" -crop 1x165+147+87 +repage txt:- | awk -F'[,:() ]+' '
    NR > 1 && $5 > 150 && $5 - $3 > 60 { n++ }
    END { printf "%d\n", n * 100 / 165 }'
}

# Eight readings of the main window half a second apart, after the needle had time to settle
# (a few analyses of 0.37 s; the message needs 1.2 s on target). Sets `centro` (readings with
# the needle within 3 degrees of the centre), `horario` (readings turned 10 to 30 degrees
# clockwise), `agulha` (readings where the needle shows at all) and `mensagens` (readings with
# the in-tune message), and keeps the picture named $2 (a reading with the message if any).
ler_principal() {
  local janela=$1 arquivo=$2 i n angulo m
  centro=0 horario=0 agulha=0 mensagens=0
  sleep 5
  for i in 1 2 3 4 5 6 7 8; do
    import -display "$DISPLAY" -window "$janela" "$tmp/leitura$i.png"
    read -r n angulo < <(angulo_ponteiro "$tmp/leitura$i.png")
    m=$(pixels_mensagem "$tmp/leitura$i.png")
    echo "end-to-end:   reading $i: needle $n pixels at $angulo degrees, message $m pixels"
    [ "$n" -ge 40 ] && agulha=$((agulha + 1))
    [ "$n" -ge 40 ] && awk -v a="$angulo" 'BEGIN { exit !(a > -3 && a < 3) }' && centro=$((centro + 1))
    [ "$n" -ge 40 ] && awk -v a="$angulo" 'BEGIN { exit !(a > -30 && a < -10) }' && horario=$((horario + 1))
    if [ "$m" -ge 15 ]; then
      mensagens=$((mensagens + 1))
      cp "$tmp/leitura$i.png" "$arquivo"
    fi
    [ -e "$arquivo" ] || [ "$i" -lt 8 ] || cp "$tmp/leitura$i.png" "$arquivo"
    sleep 0.5
  done
}
# Eight readings in the fine reading, as above. Sets `inclinada` (readings with the needle 1.5
# to 5.5 degrees clockwise), `ok` (readings with "OK" yellow), `perto` (needle within 3
# degrees of the centre), `visor` (readings showing the readout with a figure), and keeps the
# picture named $2.
ler_fina() {
  local janela=$1 arquivo=$2 i n angulo amarelo preto texto
  inclinada=0 ok=0 perto=0 visor=0
  sleep 5
  for i in 1 2 3 4 5 6 7 8; do
    import -display "$DISPLAY" -window "$janela" "$tmp/fina$i.png"
    read -r n angulo amarelo preto texto < <(ler_mostrador_fino "$tmp/fina$i.png")
    echo "end-to-end:   reading $i: needle $n pixels at $angulo degrees, OK $amarelo yellow" \
      "pixels, readout $preto dark and $texto light pixels"
    [ "$n" -ge 40 ] && awk -v a="$angulo" 'BEGIN { exit !(a > -5.5 && a < -1.5) }' &&
      inclinada=$((inclinada + 1))
    [ "$n" -ge 40 ] && awk -v a="$angulo" 'BEGIN { exit !(a > -3 && a < 3) }' && perto=$((perto + 1))
    [ "$amarelo" -ge 10 ] && ok=$((ok + 1))
    [ "$preto" -ge 200 ] && [ "$texto" -ge 15 ] && visor=$((visor + 1))
    [ "$i" -eq 4 ] && cp "$tmp/fina$i.png" "$arquivo"
    sleep 0.5
  done
}
# Readings of the fine dial as fast as the screen can be read, for $2 seconds: the window is
# captured over and over (each picture named after the time it was taken), then read; one line
# per reading, "<seconds since the start> <needle pixels> <angle> <readout light pixels>".
acompanhar_fina() {
  local janela=$1 segundos=$2 inicio agora quadro n angulo amarelo preto texto
  rm -rf "$tmp/seguida" && mkdir -p "$tmp/seguida"
  inicio=$(date +%s%N)
  while :; do
    agora=$(date +%s%N)
    [ $(((agora - inicio) / 1000000)) -lt $((segundos * 1000)) ] || break
    import -display "$DISPLAY" -window "$janela" "$tmp/seguida/$(((agora - inicio) / 1000000)).png" \
      2>/dev/null || true
  done
  for quadro in $(ls "$tmp/seguida" | sort -n); do
    read -r n angulo amarelo preto texto < <(ler_mostrador_fino "$tmp/seguida/$quadro")
    awk -v ms="${quadro%.png}" -v n="$n" -v g="$angulo" -v t="$texto" \
      'BEGIN { printf "%.2f %d %.1f %d\n", ms / 1000, n, g, t }'
  done
}
rm -f "$saida/tessarin-afinado.png" "$saida/tessarin-desafinado.png" "$saida/afinacoes.png" \
  "$saida/assistente.png" "$saida/tessarin-fina.png" "$saida/tessarin-fina-afinado.png"

# --- in tune ------------------------------------------------------------------------------------
tocar "$tmp/afinado.wav"
(cd "$tmp/app" && exec ./tessarin) >"$tmp/tessarin.log" 2>&1 &
programa=$!
pids+=($programa)
principal=$(janela_de 802x532) || {
  echo "end-to-end: the main window did not show" >&2; cat "$tmp/tessarin.log" >&2; exit 1; }
echo "end-to-end: in tune (82.10 Hz on string E2):"
ler_principal "$principal" "$saida/tessarin-afinado.png"
[ "$mensagens" -ge 1 ] || falhou "in tune, the in-tune message never showed"
if [ "${TESSARIN_E2E_SEM_PELE:-0}" = 1 ]; then
  echo "end-to-end: built without the skin: needle checks skipped"
else
  [ "$centro" -ge 6 ] || falhou "in tune, the needle rested at the centre in $centro of 8 readings"
fi

# --- the tuning chooser (F3) and the setup assistant (F2) ---------------------------------------
tecla "$principal" F3
if escolha=$(janela_de 381x317); then
  sleep 0.5
  import -display "$DISPLAY" -window "$escolha" "$saida/afinacoes.png"
  tecla "$escolha" Escape
  fechada 381x317 || falhou "Escape did not close the tuning chooser"
else
  falhou "F3 did not open the tuning chooser"
fi
tecla "$principal" F2
if assistente=$(janela_de 393x331); then
  for _ in 1 2 3; do tecla "$assistente" Right; done
  sleep 1.5
  import -display "$DISPLAY" -window "$assistente" "$saida/assistente.png"
  nivel=$(nivel_medidor "$saida/assistente.png")
  echo "end-to-end: the assistant's meter shows ${nivel}% of its height"
  [ "$nivel" -ge 3 ] || falhou "the assistant's meter does not show the tone"
  tecla "$assistente" Escape
  fechada 393x331 || falhou "Escape did not close the setup assistant"
else
  falhou "F2 did not open the setup assistant"
fi

# --- detuned: the main window has its capture back after the assistant -------------------------
tocar "$tmp/desafinado.wav"
echo "end-to-end: three bins sharp (84.11 Hz on string E2):"
ler_principal "$principal" "$saida/tessarin-desafinado.png"
[ "$mensagens" -eq 0 ] || falhou "detuned, the in-tune message showed in $mensagens readings"
if [ "${TESSARIN_E2E_SEM_PELE:-0}" != 1 ]; then
  [ "$horario" -ge 6 ] ||
    falhou "three bins sharp, the needle turned about 20 degrees clockwise in $horario of 8 readings"
fi

kill -0 "$programa" 2>/dev/null || falhou "the program ended by itself"

# --- the fine reading (F4) ----------------------------------------------------------------------
pele() { [ "${TESSARIN_E2E_SEM_PELE:-0}" != 1 ]; }
parar_tom
tom_pid=""
tecla "$principal" F4
sleep 1
tocar "$tmp/fina-agudo.wav"
echo "end-to-end: fine reading, 3 cents sharp (82.55 Hz on string E2):"
ler_fina "$principal" "$saida/tessarin-fina.png"
[ "$ok" -eq 0 ] || falhou "3 cents sharp, OK lit in $ok readings"
if pele; then
  [ "$inclinada" -ge 6 ] ||
    falhou "3 cents sharp, the needle leaned about 3 degrees clockwise in $inclinada of 8 readings"
  [ "$visor" -ge 6 ] || falhou "fine reading, the readout showed a figure in $visor of 8 readings"
fi
# A peg turned while the string rang: plucked 12 cents flat, struck again 3 cents sharp.
parar_tom
tom_pid=""
sleep 1
tocar "$tmp/fina-retoque.wav"
echo "end-to-end: fine reading, plucked 12 cents flat, struck again 3 cents sharp, then silence:"
acompanhar_fina "$principal" 10 >"$tmp/retoque.txt"
awk '{ printf "end-to-end:   %s s: needle %s pixels at %s degrees, readout %s light pixels\n", $1, $2, $3, $4 }' \
  "$tmp/retoque.txt"
if pele; then
  # The last reading of the first note (about 12 degrees counter-clockwise), the first of the
  # second (about 3 clockwise) after it, and the last readings, well after the end.
  read -r fim_baixo inicio_alto < <(awk '
    $2 >= 40 && $3 > 9 && $3 < 15 && !alto { baixo = $1 }
    $2 >= 40 && $3 > -5 && $3 < -1 && baixo != "" && !alto { alto = $1 }
    END { print (baixo == "" ? -1 : baixo), (alto == "" ? -1 : alto) }' "$tmp/retoque.txt")
  echo "end-to-end:   12 cents flat until $fim_baixo s, 3 cents sharp from $inicio_alto s"
  awk -v b="$fim_baixo" -v a="$inicio_alto" 'BEGIN { exit !(b >= 0 && a >= 0 && a - b <= 0.6) }' ||
    falhou "struck again 3 cents sharp, the needle did not move from 12 flat to 3 sharp within 0.6 s"
  repouso=$(awk '$1 >= 9 && $3 > -1 && $3 < 1 && $4 < 15 { n++ } $1 >= 9 { t++ }
    END { print (t > 0 && n == t) ? 1 : 0 }' "$tmp/retoque.txt")
  [ "$repouso" -eq 1 ] || falhou "after the note stopped, the readout or the needle did not rest"
fi
tocar "$tmp/fina-grave.wav"
echo "end-to-end: fine reading, 1 cent flat (82.36 Hz on string E2):"
ler_fina "$principal" "$saida/tessarin-fina-afinado.png"
[ "$ok" -ge 6 ] || falhou "1 cent flat, OK lit in only $ok of 8 readings"
pele && { [ "$perto" -ge 6 ] || falhou "1 cent flat, the needle was near the centre in $perto of 8 readings"; }

# Closed with its close button and started again: still the fine reading.
parar_tom
tom_pid=""
timeout 5 xdotool mousemove --window "$principal" 772 36 click 1 2>/dev/null || true
for _ in $(seq 100); do kill -0 "$programa" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$programa" 2>/dev/null; then
  falhou "the close button did not end the program"
else
  grep -q '^leituraFina=1' "$tmp/app/tessarin.ini" || falhou "the settings do not keep the fine reading"
  (cd "$tmp/app" && exec ./tessarin) >>"$tmp/tessarin.log" 2>&1 &
  programa=$!
  pids+=($programa)
  if principal=$(janela_de 802x532); then
    sleep 1
    tocar "$tmp/fina-grave.wav"
    echo "end-to-end: started again, 1 cent flat:"
    ler_fina "$principal" "$tmp/reinicio.png"
    [ "$ok" -ge 6 ] || falhou "after a restart, OK lit in only $ok of 8 readings"
    pele && { [ "$visor" -ge 6 ] || falhou "after a restart, no fine readout in $visor of 8 readings"; }
  else
    falhou "the main window did not show again"
  fi
fi

# --- the automatic string (F5), still in the fine reading ----------------------------------------
# The six strings of standard guitar plucked in a shuffled order, then A2 40 cents sharp, then
# twice a note halfway between E2 and A2: each pluck 2.5 s and half a second of silence, so a
# note starts every 3 s from 0.5 s into the file.
if kill -0 "$programa" 2>/dev/null && pele; then
  parar_tom
  tom_pid=""
  tecla "$principal" F5
  sleep 1
  ordem=(3 0 5 1 4 2 1 6 6)  # string positions; 6: halfway between E2 and A2
  freqs=(82.4069 110.0000 146.8324 195.9977 246.9417 329.6276 95.2099)
  partes=()
  for k in "${!ordem[@]}"; do
    f=${freqs[${ordem[$k]}]}
    [ "$k" -eq 6 ] && f=112.5675  # A2 40 cents sharp
    dedilhado "$f" 2.5 "$tmp/auto$k.wav"
    sox "$tmp/auto$k.wav" "$tmp/auto-p$k.wav" pad 0.5 0 2>/dev/null
    partes+=("$tmp/auto-p$k.wav")
  done
  sox "${partes[@]}" "$tmp/automatica.wav" 2>/dev/null
  echo "end-to-end: automatic string, the six strings shuffled, A2 40 cents sharp, two halfway notes:"
  # Read the neck as fast as the screen allows while the notes play; meanwhile count the
  # streams the tuner itself plays into the sound server (a reference note would be one; its
  # synthesiser's stream, corked while quiet, plays nothing).
  rm -rf "$tmp/neck" && mkdir -p "$tmp/neck"
  tocar "$tmp/automatica.wav"
  inicio=$(date +%s%N)
  fluxos=0
  while :; do
    agora=$(date +%s%N)
    [ $(((agora - inicio) / 1000000)) -lt 28000 ] || break
    import -display "$DISPLAY" -window "$principal" -crop 130x120+95+330 +repage \
      "$tmp/neck/$(((agora - inicio) / 1000000)).png" 2>/dev/null || true
    n=$(pactl list sink-inputs 2>/dev/null | awk '/^Sink Input #/ { playing = 0 }
      /Corked: no/ { playing = 1 }
      /application.process.binary = "tessarin"/ && playing { n++ } END { print n + 0 }' || true)
    fluxos=$((fluxos + n))
  done
  # The selected string is drawn in orange: the column of the neck with the most orange pixels.
  for quadro in $(ls "$tmp/neck" | sort -n); do
    convert "$tmp/neck/$quadro" txt:- | awk -F'[,:() ]+' -v ms="${quadro%.png}" '
      BEGIN { split("99 118 138 158 178 197", esquerda, " ") }
      NR > 1 && $3 > 180 && $4 > 90 && $4 < 200 && $5 < 110 {
        x = $1 + 95
        for (p = 1; p <= 6; p++) if (x >= esquerda[p] + 2 && x < esquerda[p] + 15) n[p]++
      }
      END {
        melhor = -1; maior = 20
        for (p = 1; p <= 6; p++) if (n[p] > maior) { maior = n[p]; melhor = p - 1 }
        printf "%.2f %d\n", ms / 1000, melhor
      }'
  done >"$tmp/automatica.txt"
  # Per note: when its string was selected for good, counted from the note's start in the file
  # (0.5 s + 3 s k after the player started, so the player's own latency counts against the
  # tuner), and how often the selection changed within it (once: from the previous string).
  esperadas=(3 0 5 1 4 2 1)
  for k in 0 1 2 3 4 5 6; do
    read -r escolha trocas < <(awk -v de="$(awk -v k=$k 'BEGIN{print 0.5 + 3*k}')" \
      -v ate="$(awk -v k=$k 'BEGIN{print 0.5 + 3*k + 2.6}')" -v certa="${esperadas[$k]}" '
      $1 >= de && $1 <= ate {
        if (anterior != "" && $2 != anterior) trocas++
        anterior = $2
        if ($2 == certa && !dentro) desde = $1
        dentro = ($2 == certa)
      }
      END { printf "%s %d\n", dentro ? sprintf("%.2f", desde - de) : "never", trocas }' \
      "$tmp/automatica.txt")
    echo "end-to-end:   note $k (string ${esperadas[$k]}): selected after $escolha s, $trocas changes"
    [ "$escolha" != never ] && awk -v s="$escolha" -v t="$trocas" 'BEGIN { exit !(s <= 0.5 && t <= 1) }' ||
      falhou "automatic string: string ${esperadas[$k]} was not selected within half a second, for good ($escolha s, $trocas changes)"
  done
  # The two halfway notes: one string, the same all along.
  halfway=$(awk '$1 >= 22.25 && $1 <= 27.0 && $2 >= 0 { v[$2]++ } END { n = 0; for (s in v) n++; print n }' \
    "$tmp/automatica.txt")
  echo "end-to-end:   halfway between E2 and A2: $halfway string(s) selected"
  [ "$halfway" -eq 1 ] || falhou "automatic string: a note halfway between two strings flickered"
  echo "end-to-end:   streams of the tuner in the sound server meanwhile: $fluxos"
  [ "$fluxos" -eq 0 ] || falhou "automatic string: the tuner sounded a note while selecting"
  import -display "$DISPLAY" -window "$principal" "$saida/tessarin-automatica.png"

  # Any note (F6): middle C, 261.63 Hz, is read in tune.
  parar_tom
  tom_pid=""
  tecla "$principal" F6
  tom_firme 261.6256 "$tmp/do4.wav"
  sleep 1
  tocar "$tmp/do4.wav"
  echo "end-to-end: chromatic reading, C4 (261.63 Hz):"
  ler_fina "$principal" "$saida/tessarin-cromatica.png"
  [ "$ok" -ge 6 ] || falhou "chromatic, C4 lit OK in only $ok of 8 readings"
  [ "$perto" -ge 6 ] || falhou "chromatic, C4: the needle was near the centre in $perto of 8 readings"
  [ "$visor" -ge 6 ] || falhou "chromatic, C4: the readout showed a figure in $visor of 8 readings"

  # The concert pitch at 442.0 Hz (twenty presses of +), back to the strings (the automatic
  # string still on): E2 at 442 in tune.
  parar_tom
  tom_pid=""
  tecla "$principal" F6
  for _ in $(seq 20); do tecla "$principal" plus; done
  tom_firme 82.7815 "$tmp/mi2-442.wav"
  sleep 1
  tocar "$tmp/mi2-442.wav"
  echo "end-to-end: A4 = 442.0 Hz, E2 at 442 (82.78 Hz):"
  ler_fina "$principal" "$saida/tessarin-diapasao.png"
  [ "$ok" -ge 6 ] || falhou "at A4 = 442, E2 lit OK in only $ok of 8 readings"
  parar_tom
  tom_pid=""
fi

if [ "$falhas" -gt 0 ]; then
  echo "end-to-end: $falhas check(s) failed; program output:" >&2
  cat "$tmp/tessarin.log" >&2
  exit 1
fi
echo "end-to-end: all checks passed; screenshots in $saida"
