#!/usr/bin/env bash
# The draw-cost summary on a made-up file: sums per frame and per state
# combination (states holding commas), shares of the scene, the costliest
# first, scenes in order, and the TOP limit.
# Argument: bench/draw_costs.sh.
set -uo pipefail
bench="$1"
source "$(dirname "$0")/expect.sh"
# Scene 2, two frames: A costs 3 + 5 ms (one draw each), B 1 ms twice in the
# first frame; scene 10, one frame: C 4 ms.
cat >"$work/draws.csv" <<'CSV'
time,scene,draw,ms,samples,state
100.0,2,0,3.000,1000,"prim=4 rs=19:5,20:6 stages=0"
100.0,2,1,1.000,10,"prim=6 rs=27:1 stages=0"
100.0,2,2,1.000,30,"prim=6 rs=27:1 stages=0"
100.5,2,0,5.000,3000,"prim=4 rs=19:5,20:6 stages=0"
290.0,10,0,4.000,7,"prim=5 rs=- stages=0"
CSV
out=$(bash "$bench" --summarise "$work/draws.csv")
expect "scene 2" "$out" "scene 2: 2 frames, 5.00 ms of draws a frame"
expect "A" "$out" "     4.00 ms  80.0%     1.0 draws      2000 samples  prim=4 rs=19:5,20:6 stages=0"
expect "B" "$out" "     1.00 ms  20.0%     1.0 draws        20 samples  prim=6 rs=27:1 stages=0"
expect "scene 10" "$out" "scene 10: 1 frames, 4.00 ms of draws a frame"
expect "C" "$out" "     4.00 ms 100.0%     1.0 draws         7 samples  prim=5 rs=- stages=0"
order=$(grep -o "^scene [0-9]*\|prim=[0-9]" <<<"$out" | tr '\n' ' ')
[[ "$order" == "scene 2 prim=4 prim=6 scene 10 prim=5 " ]] || { echo "FAIL order: $order"; failures=$((failures + 1)); }
out=$(bash "$bench" --summarise "$work/draws.csv" 1)
if grep -q "prim=6" <<<"$out"; then echo "FAIL: TOP 1 still lists the second state"; failures=$((failures + 1)); fi
((failures == 0)) && echo "draw-cost summary: all checks passed"
exit $((failures > 0))
