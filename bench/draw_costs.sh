#!/usr/bin/env bash
# Where each scene's frame time goes: the show captured with every OpenGL
# draw timed alone (the driver finishes the work before it, then it), and
# the draws summed per scene and per state combination.
#
#   bench/draw_costs.sh [--fps F] [--until T] [build-dir]   (defaults: 2 fps, build)
#   bench/draw_costs.sh --summarise DRAWS.csv [TOP]          (an existing file)
#
# Per scene: the frames profiled and the mean time of their draws added up;
# then the TOP (default 4) costliest state combinations: milliseconds a
# frame, their share of the scene, draws and samples (fragments that passed
# the depth test) a frame, and the combination as a warm-up list line.
# Timing each draw alone adds the driver's start-up per draw, so the sums
# run above the frame times of scene_times.sh; compare draws with draws.
set -euo pipefail

summarise() {
  local file="$1" top="${2:-4}"
  # Fields: time,scene,draw,ms,samples,"state" (the state holds commas).
  awk -v OFS='\t' '
    NR == 1 { next }
    {
      q = index($0, "\""); state = substr($0, q + 1); sub(/"$/, "", state)
      split(substr($0, 1, q - 2), f, ",")
      s = f[2] + 0
      if (!((s, f[1]) in frame)) { frame[s, f[1]] = 1; frames[s]++ }
      total[s] += f[4]; ms[s, state] += f[4]; n[s, state]++; px[s, state] += f[5]; key[s, state] = 1
    }
    END {
      for (k in key) {
        split(k, p, SUBSEP); s = p[1]
        printf "%d\t%.3f\t%.1f\t%.1f\t%.0f\t%s\n", s, ms[k] / frames[s], 100 * ms[k] / total[s],
               n[k] / frames[s], px[k] / frames[s], p[2]
      }
      for (s in frames) printf "%d\t1e300\t%d\t%.2f\n", s, frames[s], total[s] / frames[s]
    }' "$file" | sort -t$'\t' -k1,1n -k2,2gr |
    awk -F'\t' -v top="$top" '
      $2 == "1e300" { printf "scene %d: %d frames, %.2f ms of draws a frame\n", $1, $3, $4; shown = 0; next }
      shown++ < top { printf "  %7.2f ms %5.1f%% %7.1f draws %9d samples  %s\n", $2, $3, $4, $5, $6 }'
}

if [[ "${1:-}" == "--summarise" ]]; then
  [[ $# -ge 2 ]] || { echo "usage: $0 --summarise DRAWS.csv [TOP]" >&2; exit 2; }
  summarise "$2" "${3:-4}"
  exit
fi

fps=2
until_args=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --fps) fps="$2"; shift 2 ;;
    --until) until_args=(--until "$2"); shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
build="${1:-build}"
media="${VT_MEDIA:-$build/media}"
[[ -x "$build/vantorel-capture" ]] || { echo "no $build/vantorel-capture" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
"$build/vantorel-capture" --media "$media" --fps "$fps" "${until_args[@]}" --draw-costs "$work/draws.csv"
summarise "$work/draws.csv"
