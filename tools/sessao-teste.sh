# Shared by the scripts that run the real program in a session of their own (end-to-end,
# screenshot, package, Wayland): a scratch folder removed at exit with everything started in it,
# the failure count, the virtual screen, the private sound server and a copy of the program
# folder. Sourced, never run:
#
#   source "$(dirname "$0")/sessao-teste.sh"
#   sessao_iniciar <name>              scratch folder $tmp, $pids killed at exit, falhou()
#   sessao_xvfb <width>x<height>       a virtual screen at 96 dots per inch; exports DISPLAY
#   sessao_som [<runtime folder>]      the private sound server (default $tmp/run); exports the
#                                      variables its clients need; ends the script when it fails
#   sessao_programa <program folder>   $tmp/app: a copy with English and the first tuning saved

sessao_ferramentas=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
som=$sessao_ferramentas/private-sound-server.sh

# Started by the caller, ended at exit: background processes, and the sound server's folder.
pids=()
sessao_som_pasta=""
# Run at exit before the rest is cleaned up (a caller's own players, a user's daemons).
sessao_ao_terminar() { :; }

sessao_iniciar() {
  sessao_nome=$1
  tmp=$(mktemp -d "/tmp/tessarin-$sessao_nome-XXXXXX")
  falhas=0
  trap sessao_terminar EXIT
  trap 'exit 143' TERM INT HUP
}

sessao_terminar() {
  sessao_ao_terminar || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -z "$sessao_som_pasta" ] || bash "$som" stop "$sessao_som_pasta" 2>/dev/null || true
  wait 2>/dev/null || true
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}

falhou() {
  echo "$sessao_nome: FAILED: $*" >&2
  falhas=$((falhas + 1))
}

sessao_xvfb() {
  # -noreset: the screen stays up when its last client (the program, closed to be started
  # again) disconnects, instead of resetting under the next one's connection.
  Xvfb -displayfd 4 -screen 0 "$1x24" -dpi 96 -nolisten tcp -noreset 4>"$tmp/display" \
    2>"$tmp/xvfb.log" &
  pids+=($!)
  for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.05
  done
  [ -s "$tmp/display" ] || { echo "$sessao_nome: Xvfb did not start" >&2; exit 77; }
  export DISPLAY=:$(head -n1 "$tmp/display")
}

sessao_som() {
  sessao_som_pasta=${1:-$tmp/run}
  local ambiente
  ambiente=$(bash "$som" start "$sessao_som_pasta") ||
    { echo "$sessao_nome: the sound server did not start" >&2; exit 1; }
  while IFS= read -r variavel; do export "${variavel?}"; done <<<"$ambiente"
}

sessao_programa() {
  cp -a "$1" "$tmp/app"
  printf '[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=0\r\n' \
    >"$tmp/app/tessarin.ini"
}
