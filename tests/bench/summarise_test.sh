#!/usr/bin/env bash
# The benchmark's summary of a statistics file: percentiles by nearest rank,
# the budget verdict, the counts per frame, columns found by their names in
# any order, and older files without some columns.
# Argument: the benchmark script.
set -uo pipefail
bench="$1"
source "$(dirname "$0")/expect.sh"

# Scene 1: 100 frames of 1..100 ms out of order (37, 74, 10, ...); scene 2:
# 5, 7 and 6 ms.
{
  echo "scene,layers,time,ms,passes,gl_draws,draw_calls,variants_built,programs_built"
  for k in $(seq 1 100); do
    i=$((k * 37 % 101))
    echo "1,$((i % 3)),$i.0,$i,$((i % 2)),$((i % 7)),$((i * 2)),0,0"
  done
  echo "2,4,200,5,1,40,900,2,1"
  echo "2,0,201,7,0,64,12,0,0"
  echo "2,0,202,6,0,3,5,1,3"
} >"$work/stats.csv"
out=$(bash "$bench" --summarise "$work/stats.csv")
expect "header" "$out" "scene frames  median     p95     p99   worst gl_draws passes layers  draws  budget"
expect "scene 1" "$out" "1        100    50.0    95.0    99.0   100.0        6      1      2    200  OVER"
expect "scene 2" "$out" "2          3     6.0     7.0     7.0     7.0       64      1      4    900  ok"
# The slow frames are counted, the first twenty listed as ms@time.
slow=$(grep "^frames over 33 ms: " <<<"$out")
if [[ "$slow" != "frames over 33 ms: 67 of 103 37@37.00s 74@74.00s 47@47.00s 84@84.00s "* ||
  "$slow" != *" ..." || $(wc -w <<<"$slow") -ne $((7 + 20 + 1)) ]]; then
  echo "FAIL slow frames: $slow"; failures=$((failures + 1))
fi
expect "programs" "$out" "programs built after loading: 4"
expect "variants" "$out" "pipeline variants built after loading: 3"
expect "verdict" "$out" "scenes over budget: 1"

# The budget's edges: a 99th percentile of 16.7 and a median of 12 pass, a
# hair over either fails.
{
  echo "time,scene,ms"
  for i in $(seq 1 98); do echo "$i,3,12"; done; echo "99,3,16.7"; echo "100,3,16.7"
  for i in $(seq 1 99); do echo "$i,4,12.1"; done; echo "100,4,1"
  for i in $(seq 1 98); do echo "$i,5,1"; done; echo "99,5,16.8"; echo "100,5,16.8"
} >"$work/edges.csv"
out=$(bash "$bench" --summarise "$work/edges.csv")
expect "edges ok" "$out" "3        100    12.0    12.0    16.7    16.7        -      -      -      -  ok"
expect "median over" "$out" "4        100    12.1    12.1    12.1    12.1        -      -      -      -  OVER"
expect "p99 over" "$out" "5        100     1.0     1.0    16.8    16.8        -      -      -      -  OVER"
expect "no slow frames" "$out" "frames over 33 ms: 0 of 300"
if grep -q "built after loading" <<<"$out"; then
  echo "FAIL: counts printed for columns the file lacks"; failures=$((failures + 1))
fi

# The run's trace and /usr/bin/time output give the load time and memory.
printf 'vantorel: 12 ms: window created\nvantorel: 731 ms: first frame presented\n' >"$work/trace"
printf '\tMaximum resident set size (kbytes): 215280\n' >"$work/time"
out=$(bash "$bench" --summarise "$work/edges.csv" "$work/trace" "$work/time")
expect "load" "$out" "load time (process start to first show frame): 731 ms"
expect "memory" "$out" "peak resident memory: 210 MB (215280 kB)"

# Without a scene or ms column there is nothing to summarise.
printf 'time,scene\n1,2\n' >"$work/bad.csv"
if bash "$bench" --summarise "$work/bad.csv" >/dev/null 2>&1; then
  echo "FAIL: a file without an ms column was summarised"; failures=$((failures + 1))
fi

((failures == 0)) && echo "all summaries as expected"
exit $((failures > 0))
