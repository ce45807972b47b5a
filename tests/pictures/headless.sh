# Sourced by the picture checks: the capture tool without a display or a
# sound card, and the media folder MEDIA checked before anything runs.
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"

if [[ ! -d "$media/data" ]]; then
  echo "no media at $media (the build generates it)"
  exit 1
fi
