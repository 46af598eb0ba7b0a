#!/usr/bin/env bash
# Runs a command on a fresh virtual X display with Mesa's software OpenGL; stops the display afterwards.
set -u
export LIBGL_ALWAYS_SOFTWARE=1
export GALLIUM_DRIVER=${GALLIUM_DRIVER:-llvmpipe}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
if [ -n "${DISPLAY:-}" ] && [ "${VALMIRE_FORCE_XVFB:-0}" != 1 ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" "$@"
