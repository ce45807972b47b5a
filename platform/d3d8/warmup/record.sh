#!/usr/bin/env bash
# Re-records the device's warm-up list: the whole show captured with every
# draw-state combination it draws noted, written over variants.txt here.
# 60 frames a second by default, the rate a display shows, so that a state
# held for a single frame is met too.
#   platform/d3d8/warmup/record.sh [build-dir] [fps]     (defaults: build 60)
# Then rebuild, and commit variants.txt with the change that needed it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build="${1:-build}"; fps="${2:-60}"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
"$build/vantorel-capture" --media "$build/media" --fps "$fps" --no-warmup --record-variants "$here/variants.txt"
echo "$(grep -vc '^#' "$here/variants.txt") combinations in $here/variants.txt"
