#!/usr/bin/env bash
# A desktop sound server of our own, for the tests, benchmarks and screenshots that need one but
# no sound card: it lives in a private runtime folder, touches no device and no session bus, and
# plays into one null sink named "tone" whose monitor is the default source (the microphone).
#
#   tools/private-sound-server.sh start <runtime folder>
#       Starts the server and prints the environment its clients need, one NAME=value per line:
#       XDG_RUNTIME_DIR (the folder), PIPEWIRE_RUNTIME_DIR, and ALSA_CONFIG_PATH, which points
#       ALSA's default PCM at the server through the `pulse` plugin. Exit status 0 when the
#       server answers, 77 when no sound server is installed, 1 when it did not start (the step
#       that failed and the servers' logs then go to standard error).
#   tools/private-sound-server.sh stop <runtime folder>
#       Stops the server started in that folder, and only that one.
#   tools/private-sound-server.sh kind
#       Prints which server `start` uses: pipewire or pulseaudio (exit status 77: none).
#
# The kind: PipeWire's own servers (pipewire, a session manager, pipewire-pulse) where
# pipewire-pulse is installed, as on a desktop whose sound runs on PipeWire; the PulseAudio
# daemon otherwise. TESSARIN_SOUND_SERVER=pipewire or pulseaudio chooses one explicitly. The
# clients (pactl, paplay, parec, ALSA's pulse plugin) speak the PulseAudio protocol to either.
set -euo pipefail

comando=${1:-}
pasta=${2:-}

tem() { command -v "$1" >/dev/null 2>&1; }

gerenciador_sessao() {
  if tem wireplumber; then
    echo wireplumber
  elif tem pipewire-media-session; then
    echo pipewire-media-session
  fi
}

tipo() {
  case "${TESSARIN_SOUND_SERVER:-}" in
    pipewire | pulseaudio)
      echo "$TESSARIN_SOUND_SERVER"
      return 0
      ;;
  esac
  if tem pipewire && tem pipewire-pulse && tem dbus-daemon && [ -n "$(gerenciador_sessao)" ]; then
    echo pipewire
  elif tem pulseaudio; then
    echo pulseaudio
  else
    return 77
  fi
}

# Says which step failed (the caller then shows the servers' logs).
falhou() {
  echo "private-sound-server: $*" >&2
  return 1
}

# Waits up to ten seconds (a loaded machine) for the condition, tried every 0.1 s.
esperar() {
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

responde() { pactl info >/dev/null 2>&1; }
tem_soquete() { [ -S "$1" ]; }
tem_monitor() { pactl list short sources 2>/dev/null | grep -q 'tone\.monitor'; }
# The session manager keeps the default devices: until it runs, the server refuses to set one.
monitor_padrao() {
  pactl set-default-source tone.monitor >/dev/null 2>&1 &&
    [ "$(pactl get-default-source 2>/dev/null)" = tone.monitor ]
}

# A daemon of the PipeWire kind, started in the background with its pid kept in the folder.
iniciar_daemon() {
  local nome=$1
  shift
  setsid "$nome" "$@" >"$pasta/$nome.log" 2>&1 </dev/null &
  echo $! >"$pasta/$nome.pid"
}

iniciar_pipewire() {
  # Nothing of the user's: no configuration, no saved state, and a session bus of its own (the
  # session manager needs one; on the user's bus it would reserve the user's real devices).
  export XDG_CONFIG_HOME=$pasta/config XDG_STATE_HOME=$pasta/state
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$pasta/bus
  unset PIPEWIRE_REMOTE
  iniciar_daemon dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
  esperar tem_soquete "$pasta/bus" || falhou "the session bus did not start" || return 1
  mkdir -p "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d" \
    "$XDG_STATE_HOME"
  # The session manager links streams to the null sink; it must not look for sound cards,
  # cameras or Bluetooth devices.
  cat >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/60-private.lua" <<'EOF'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
EOF
  echo 'bluez_monitor.enabled = false' >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/60-private.lua"

  iniciar_daemon pipewire
  esperar tem_soquete "$pasta/pipewire-0" || falhou "pipewire did not start" || return 1
  local sessao
  sessao=$(gerenciador_sessao)
  if [ "$sessao" = pipewire-media-session ]; then
    iniciar_daemon pipewire-media-session --disabled alsa-monitor,alsa-seq,bluez5,bluez5-autoswitch,v4l2,libcamera
  else
    iniciar_daemon wireplumber
  fi
  iniciar_daemon pipewire-pulse
  esperar responde || falhou "pipewire-pulse does not answer" || return 1
  pactl load-module module-null-sink sink_name=tone >/dev/null ||
    falhou "the null sink could not be made" || return 1
  esperar tem_monitor || falhou "the null sink's monitor did not appear" || return 1
  esperar monitor_padrao || falhou "the monitor could not be made the default source"
}

iniciar_pulseaudio() {
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disable-shm=yes \
    --log-target=file:"$pasta/pulseaudio.log" \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=tone" \
    >/dev/null 2>&1 || falhou "pulseaudio did not start" || return 1
  esperar responde || falhou "pulseaudio does not answer" || return 1
  # Its pid, for `stop`: `pulseaudio --kill` finds the daemon only as the user who started it.
  if [ -s "$pasta/pulse/pid" ]; then
    tr -d ' \n' <"$pasta/pulse/pid" >"$pasta/pulseaudio.pid"
  else
    pgrep -f -- "--log-target=file:$pasta/pulseaudio.log" | head -1 >"$pasta/pulseaudio.pid" || true
  fi
  esperar monitor_padrao || falhou "the monitor could not be made the default source"
}

parar_daemon() {
  local arquivo=$pasta/$1.pid pid
  [ -f "$arquivo" ] || return 0
  pid=$(cat "$arquivo")
  rm -f "$arquivo"
  kill "$pid" 2>/dev/null || return 0
  esperar_fim() { ! kill -0 "$pid" 2>/dev/null; }
  esperar esperar_fim || kill -9 "$pid" 2>/dev/null || true
}

case "$comando" in
  kind)
    tipo
    ;;
  start)
    [ -n "$pasta" ] || { echo "usage: $0 start <runtime folder>" >&2; exit 2; }
    servidor=$(tipo) || { echo "private-sound-server: no sound server installed" >&2; exit 77; }
    mkdir -p "$pasta"
    pasta=$(cd "$pasta" && pwd)
    chmod 700 "$pasta"
    export XDG_RUNTIME_DIR=$pasta PIPEWIRE_RUNTIME_DIR=$pasta
    unset PULSE_SERVER
    echo "$servidor" >"$pasta/sound-server.kind"
    printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$pasta/asound.conf"
    if ! "iniciar_$servidor"; then
      echo "private-sound-server: $servidor did not start; its log:" >&2
      cat "$pasta"/*.log >&2 2>/dev/null || true
      "$0" stop "$pasta" || true
      exit 1
    fi
    echo "XDG_RUNTIME_DIR=$pasta"
    echo "PIPEWIRE_RUNTIME_DIR=$pasta"
    echo "ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$pasta/asound.conf"
    ;;
  stop)
    [ -n "$pasta" ] && [ -d "$pasta" ] || exit 0
    pasta=$(cd "$pasta" && pwd)
    case "$(cat "$pasta/sound-server.kind" 2>/dev/null)" in
      pulseaudio)
        XDG_RUNTIME_DIR=$pasta pulseaudio --kill 2>/dev/null || true
        parar_daemon pulseaudio
        ;;
      pipewire)
        for daemon in pipewire-pulse wireplumber pipewire-media-session pipewire dbus-daemon; do
          parar_daemon "$daemon"
        done
        ;;
    esac
    ;;
  *)
    echo "usage: $0 start|stop <runtime folder> | kind" >&2
    exit 2
    ;;
esac
