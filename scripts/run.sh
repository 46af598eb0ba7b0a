#!/usr/bin/env bash
# Plays the game on this machine: installs what is missing, builds, generates the assets, starts a local
# server on loopback and the client logged in to it. Without a display it plays on a virtual one for a
# while and saves a screenshot of the world.
#   VALMIRE_LOGIN    the account to use (default: player)
#   VALMIRE_SECONDS  how long to stay in the world without a display before the screenshot (default: 25)
#   VALMIRE_NAME     the character created when the account has none, without a display (default: Player)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh build

mkdir -p run
login=${VALMIRE_LOGIN:-player}
address=127.0.0.1
if [ ! -f run/config.ini ]; then
  cat > run/config.ini <<CONFIG
server_name = $address
login = $login
auto_login = 2
server_timeout_ms = 5000
music_gain = 0.5
sound_gain = 0.75
CONFIG
fi

server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
}
trap cleanup EXIT

# A software-rendered client can be silent for a while when it loads the models; keep its session.
./build/valmire-server --dev --bind "$address" --db run/world.db --session-timeout 60000 > run/server.log 2>&1 &
server_pid=$!
sleep 0.5

export CONFIG_PATH=run/config.ini
if [ -n "${DISPLAY:-}" ]; then
  ./build/valmire
else
  echo "No display: playing on a virtual one for ${VALMIRE_SECONDS:-25} seconds."
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  export LIBGL_ALWAYS_SOFTWARE=1
  xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" bash -c '
    wait_for() {  # text in the client log, seconds
      for _ in $(seq "$2"); do grep -q "$1" run/client.log && return 0; sleep 1; done; return 1
    }
    ./build/valmire > run/client.log 2>&1 &
    client=$!
    # A new account has no character: the lobby opens in creating mode, so make one.
    if wait_for "to screen \[Lobby\]" 180 && ! grep -q "Trying to enter" run/client.log; then
      sleep 2
      if ! grep -q "Trying to enter" run/client.log; then
        window=$(xdotool search --name "Valmire 2" | head -1)
        xdotool windowfocus --sync "$window"
        xdotool type --delay 80 "${VALMIRE_NAME:-Player}"
        xdotool key Return
      fi
    fi
    if wait_for "to screen \[World\]" 300; then
      sleep "${VALMIRE_SECONDS:-25}"
    else
      echo "The client did not reach the world; see run/client.log and run/server.log." >&2
    fi
    import -window root run/screenshot.png
    # A background job of a script ignores SIGINT; SIGTERM asks the client to quit as a window close does.
    kill -TERM $client 2>/dev/null; wait $client 2>/dev/null || true'
  echo "Screenshot: $(pwd)/run/screenshot.png (client log: run/client.log, server log: run/server.log)"
fi
