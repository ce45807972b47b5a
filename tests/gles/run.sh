#!/usr/bin/env bash
# Runs a command with the device on OpenGL ES 3.0 (VT_GL_API=es), after the
# probe has shown that this machine gives such a context; otherwise says so
# and exits 77, which ctest reports as a skip.
# Arguments: PROBE COMMAND [ARGS...]
set -uo pipefail
probe="$1"; shift
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
if [[ ! -x "$probe" ]]; then
  echo "no probe at $probe"
  exit 1
fi
if ! version="$("$probe" 2>&1)"; then
  echo "skipped: the device cannot have an OpenGL ES 3.0 context here ($version)"
  exit 77
fi
echo "device on ${version%%$'\n'*}"
export VT_GL_API=es
exec "$@"
