#!/usr/bin/env bash
# Frame-time benchmark: the whole show captured offline with per-frame
# timings, summarised per scene (median, 95th percentile, worst, draw calls).
#   bench/scene_times.sh [build-dir] [fps]     (defaults: build 30)
set -euo pipefail
build="${1:-build}"; fps="${2:-30}"
stats=$(mktemp)
trap 'rm -f "$stats"' EXIT
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
"$build/vantorel-capture" --media "$build/media" --fps "$fps" --stats "$stats"
echo "scene  frames  median_ms  p95_ms  worst_ms  draws"
for scene in $(seq 0 10); do
  awk -F, -v s="$scene" 'NR > 1 && $2 == s { print $3, $4 }' "$stats" | sort -n |
    awk -v s="$scene" '{ ms[NR] = $1; if ($2 + 0 > d) d = $2 + 0 }
      END {
        if (NR == 0) exit
        p = int(NR * 0.95); if (p < 1) p = 1
        printf "%5d  %6d  %9.1f  %6.1f  %8.1f  %5d\n", s, NR, ms[int((NR + 1) / 2)], ms[p], ms[NR], d
      }'
done
