#!/usr/bin/env bash
# Sets up, builds, generates the media and plays the show full screen.
# Without a display it renders the show to a video instead.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

vt_install_missing
vt_build "$VT_BUILD"

media="$VT_BUILD/media"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  cd "$media"
  exec "$VT_BUILD/vantorel"
fi

video="$VT_ROOT/out/vantorel.mp4"
mkdir -p "$(dirname "$video")"
echo "No display found, so the show cannot play in a window."
echo "Rendering it to a video instead (this takes a while on a machine without a GPU)..."
"$VT_BUILD/vantorel-capture" --media "$media" --fps 30 --video "$video"
echo "The show is in $video"
