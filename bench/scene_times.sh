#!/usr/bin/env bash
# The frame-time benchmark: the whole show captured offline with per-frame
# statistics, summarised per scene against the 60 Hz budget, with the load
# time and the peak resident memory of the run.
#
#   bench/scene_times.sh [--cold] [--until T] [build-dir] [fps]   (defaults: build 30)
#   bench/scene_times.sh --summarise STATS.csv [TRACE] [TIME]     (an existing run)
#
# --cold turns Mesa's shader cache off, as on a user's very first run.
# VT_MEDIA names another media folder (default BUILD/media).
#
# Per scene: frames, median / 95th / 99th percentile / worst milliseconds in
# RenderFrame (Present included), the most OpenGL draws, full-picture
# passes of the device and layers of the show spanning their whole target
# in one frame, the show's own draw calls, and whether the scene is within
# budget (99th percentile <= 16.7 ms and median <= 12 ms).
set -euo pipefail

readonly kBudgetP99=16.7 kBudgetMedian=12 kStall=33

# summarise STATS [TRACE] [TIME]: the report from a statistics file, the
# run's stderr (start-up trace) and /usr/bin/time -v's output.
summarise() {
  local stats="$1" trace="${2:-}" timing="${3:-}"
  awk -F, -v p99max="$kBudgetP99" -v medmax="$kBudgetMedian" -v stall="$kStall" '
    function col(name) { return (name in at) ? $(at[name]) : "" }
    # A column older statistics files lack shows as "-".
    function count(name, value) { return (name in at) ? sprintf("%d", value) : "-" }
    # Nearest rank: the smallest value with at least p of the frames at or below it.
    function rank(p, n) { r = int(p * n); if (r < p * n) r++; return r < 1 ? 1 : r }
    NR == 1 {
      for (i = 1; i <= NF; i++) at[$i] = i
      if (!("scene" in at) || !("ms" in at)) { print "no scene or ms column" > "/dev/stderr"; bad = 1; exit 1 }
      next
    }
    {
      s = col("scene") + 0; n[s]++; ms[s, n[s]] = col("ms") + 0; seen[s] = 1
      if (col("gl_draws") + 0 > gl[s]) gl[s] = col("gl_draws") + 0
      if (col("passes") + 0 > ps[s]) ps[s] = col("passes") + 0
      if (col("draw_calls") + 0 > dc[s]) dc[s] = col("draw_calls") + 0
      if (col("layers") + 0 > ly[s]) ly[s] = col("layers") + 0
      # The first row follows the loading frame; what it builds is built mid-show too.
      programs += col("programs_built"); variants += col("variants_built")
      if (col("ms") + 0 > stall) {
        slow++
        if (slow <= 20) slowList = slowList sprintf(" %.0f@%.2fs", col("ms"), col("time"))
        else if (slow == 21) slowList = slowList " ..."
      }
      frames++
    }
    END {
      if (bad) exit 1
      printf "%-5s %6s %7s %7s %7s %7s %8s %6s %6s %6s  %s\n", "scene", "frames", "median", "p95", "p99", "worst", "gl_draws", "passes", "layers", "draws", "budget"
      for (s = 0; s <= 10; s++) {
        if (!(s in seen)) continue
        m = n[s]
        for (i = 1; i <= m; i++) v[i] = ms[s, i]
        # Insertion sort: a scene has a few thousand frames at most.
        for (i = 2; i <= m; i++) { x = v[i]; j = i - 1; while (j > 0 && v[j] > x) { v[j + 1] = v[j]; j-- } v[j + 1] = x }
        med = v[rank(0.5, m)]; p95 = v[rank(0.95, m)]; p99 = v[rank(0.99, m)]
        ok = (p99 <= p99max && med <= medmax) ? "ok" : "OVER"
        if (ok == "OVER") over++
        printf "%-5d %6d %7.1f %7.1f %7.1f %7.1f %8s %6s %6s %6s  %s\n", s, m, med, p95, p99, v[m], count("gl_draws", gl[s]), count("passes", ps[s]), count("layers", ly[s]), count("draw_calls", dc[s]), ok
      }
      printf "frames over %d ms: %d of %d%s\n", stall, slow, frames, slowList
      if ("programs_built" in at) printf "programs built after loading: %d\n", programs
      if ("variants_built" in at) printf "pipeline variants built after loading: %d\n", variants
      printf "scenes over budget: %d\n", over
    }' "$stats"
  if [[ -n "$trace" && -f "$trace" ]]; then
    local load
    load=$(sed -n 's/^vantorel: \([0-9.]*\) ms: first frame presented$/\1/p' "$trace" | head -1)
    echo "load time (process start to first show frame): ${load:-unknown} ms"
  fi
  if [[ -n "$timing" && -f "$timing" ]]; then
    local kb
    kb=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): \([0-9]*\)$/\1/p' "$timing")
    if [[ -n "$kb" ]]; then
      echo "peak resident memory: $((kb / 1024)) MB ($kb kB)"
    else
      echo "peak resident memory: unknown"
    fi
  fi
}

if [[ "${1:-}" == "--summarise" ]]; then
  [[ $# -ge 2 ]] || { echo "usage: $0 --summarise STATS.csv [TRACE] [TIME]" >&2; exit 2; }
  summarise "$2" "${3:-}" "${4:-}"
  exit
fi

cold=0
until_args=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --cold) cold=1; shift ;;
    --until) until_args=(--until "$2"); shift 2 ;;
    -*) echo "usage: $0 [--cold] [--until T] [build-dir] [fps]" >&2; exit 2 ;;
    *) break ;;
  esac
done
build="${1:-build}"; fps="${2:-30}"
media="${VT_MEDIA:-$build/media}"
[[ -x "$build/vantorel-capture" ]] || { echo "no $build/vantorel-capture" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
if ((cold)); then
  export MESA_SHADER_CACHE_DISABLE=true
  echo "cold: Mesa's shader cache off"
fi
VANTOREL_TRACE=1 /usr/bin/time -v -o "$work/time" \
  "$build/vantorel-capture" --media "$media" --fps "$fps" "${until_args[@]}" --stats "$work/stats.csv" \
  2>"$work/trace" || { cat "$work/trace" >&2; exit 1; }
summarise "$work/stats.csv" "$work/trace" "$work/time"
