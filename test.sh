#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite (no display, GPU or sound
# card needed).
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

vt_install_missing
vt_build "$VT_BUILD"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
ctest --test-dir "$VT_BUILD" --output-on-failure -j2 --timeout 900
