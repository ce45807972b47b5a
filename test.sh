#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite (no display, GPU or sound
# card needed).
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

vt_install_missing
# The capture tool once more with AddressSanitizer and UndefinedBehaviorSanitizer,
# for the whole-show run in the suite.
VT_TARGETS=vantorel-capture vt_build "$VT_ROOT/build-asan" -DVT_SANITIZE=ON -DVT_BUILD_MEDIA=OFF -DVT_BUILD_TESTS=OFF
vt_build "$VT_BUILD" -DVT_SANITIZED_CAPTURE="$VT_ROOT/build-asan/vantorel-capture"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
ctest --test-dir "$VT_BUILD" --output-on-failure -j2 --timeout 900
