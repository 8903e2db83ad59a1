#!/usr/bin/env bash
# Screenshots of the tuning chooser with tunings of one's own, for the README and the help:
#
#   tools/screenshot-tunings.sh [build folder] [output folder] [language] [suffix]
#                               (defaults: build, docs, English, no suffix)
#
# writes afinacoes-proprias<suffix>.png (the chooser, a tuning of one's own selected, shifted
# half a step down), editar-afinacao<suffix>.png (the editor, opened on that tuning with F2) and
# tessarin-deslocada<suffix>.png (the main window showing the shifted tuning). The language is
# English, Espanol or Portugues. The program runs on a virtual screen from a copy of the build's
# program folder, in that language, with a scratch home
# holding the user's tuning file; nothing of the user's own is touched. Needs what
# tools/setup.sh installs (Xvfb, a sound server, ImageMagick, xdotool).
set -euo pipefail
build=${1:-build}
saida=${2:-docs}
idioma=${3:-English}
sufixo=${4:-}
# The tunings of one's own, named in the language (Windows-1252 bytes).
case "$idioma" in
  Espanol) nome=$'Espa\xf1ol' violao=Guitarra baritono=$'Guitarra bar\xedtono' padrao=$'Si est\xe1ndar' ;;
  Portugues) nome=$'Portugu\xeas (Brasil)' violao=$'Viol\xe3o' baritono=$'Viol\xe3o bar\xedtono' padrao=$'Si padr\xe3o' ;;
  *) nome=English violao=Guitar baritono='Baritone guitar' padrao='B standard' ;;
esac
app_origem=$(cd "$build/tessarin" && pwd)
[ -x "$app_origem/tessarin" ] || { echo "screenshot: $app_origem/tessarin not built" >&2; exit 1; }
mkdir -p "$saida"
saida=$(cd "$saida" && pwd)
source "$(dirname "$0")/sessao-teste.sh"
sessao_iniciar screenshot-tunings
sessao_programa "$app_origem"
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share
mkdir -p "$XDG_DATA_HOME/tessarin"
cat >"$XDG_DATA_HOME/tessarin/Afinacoes.xml" <<XML
<?xml version="1.0" encoding="Windows-1252"?>
<Afinacoes>
  <Afinacao>
    <instrumento>$violao</instrumento><tipoAfinacao>Drop C</tipoAfinacao>
    <numeroCordas>6</numeroCordas>
    <frequenciasMIDI><corda>36</corda><corda>43</corda><corda>48</corda><corda>53</corda><corda>57</corda><corda>62</corda></frequenciasMIDI>
  </Afinacao>
  <Afinacao>
    <instrumento>$baritono</instrumento><tipoAfinacao>$padrao</tipoAfinacao>
    <numeroCordas>6</numeroCordas>
    <frequenciasMIDI><corda>35</corda><corda>40</corda><corda>45</corda><corda>50</corda><corda>54</corda><corda>59</corda></frequenciasMIDI>
  </Afinacao>
</Afinacoes>
XML
# The first tuning of one's own (after the shipped ones) current, half a step down.
shipped=$(grep -c '<Afinacao>' "$tmp/app/Afinacoes.xml")
printf '[geral]\r\nidioma=%s\r\nafinacaoSelecionada=%s\r\ntipoSistema=0\r\nleituraFina=1\r\ndeslocamento=-1\r\n' \
  "$nome" "$shipped" >"$tmp/app/tessarin.ini"
sessao_som
sessao_xvfb 1024x768
(cd "$tmp/app" && exec ./tessarin) >"$tmp/tessarin.log" 2>&1 &
pids+=($!)

# The id of a viewable top-level window of that size other than `$2`, waiting for it.
janela_de() {
  local id
  for _ in $(seq 200); do
    for id in $(xwininfo -root -children 2>/dev/null | awk -v t="$1" '$0 ~ t"[+]" {print $1}'); do
      [ "$id" = "${2:-}" ] && continue
      xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && { echo "$id"; return 0; }
    done
    sleep 0.05
  done
  echo "screenshot: no window of $1 showed" >&2
  cat "$tmp/tessarin.log" >&2
  return 1
}
tecla() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || true
  timeout 5 xdotool key --clearmodifiers "$2"
}
principal=$(janela_de 802x532)
sleep 2
import -display "$DISPLAY" -window "$principal" "$saida/tessarin-deslocada$sufixo.png"
tecla "$principal" F3
escolha=$(janela_de 381x317)
sleep 0.5
import -display "$DISPLAY" -window "$escolha" "$saida/afinacoes-proprias$sufixo.png"
tecla "$escolha" F2
editor=$(janela_de 381x317 "$escolha")
sleep 0.5
import -display "$DISPLAY" -window "$editor" "$saida/editar-afinacao$sufixo.png"
echo "screenshot: $saida/afinacoes-proprias$sufixo.png, editar-afinacao$sufixo.png, tessarin-deslocada$sufixo.png"
