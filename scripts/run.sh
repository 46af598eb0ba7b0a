#!/usr/bin/env bash
# Plays the game on this machine: installs what is missing, builds, generates the assets, starts a local
# server on loopback and the client logged in to it. Without a display it plays on a virtual one for a
# while and saves a screenshot of the world.
#   VALMIRE_LOGIN    the account to use (default: player)
#   VALMIRE_SECONDS  how long to play without a display (default: 25)
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
music_gain = 0.5
sound_gain = 0.75
CONFIG
fi

server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
}
trap cleanup EXIT

./build/valmire-server --dev --bind "$address" --db run/world.db > run/server.log 2>&1 &
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
    ./build/valmire > run/client.log 2>&1 &
    client=$!
    sleep "${VALMIRE_SECONDS:-25}"
    import -window root run/screenshot.png
    kill -INT $client 2>/dev/null; wait $client 2>/dev/null || true'
  echo "Screenshot: $(pwd)/run/screenshot.png (client log: run/client.log, server log: run/server.log)"
fi
