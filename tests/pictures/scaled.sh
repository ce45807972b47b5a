#!/usr/bin/env bash
# The internal-resolution check: captures the listed times once at k = 1
# and once at k = 2 (the capture tool's --size 2048x1536) and compares each
# k = 2 frame, box-filtered to the k = 1 size, with the k = 1 frame.
# Arguments: CAPTURE VT_PICTURES MEDIA WORK [TIMES [FPS]]
# (default: scaled_times.txt at 1 frame a second; times.txt at 10 checks
# every frame of the picture-regression test).
set -uo pipefail
capture="$1"; pictures="$2"; media="$3"; work="$4"
here="$(cd "$(dirname "$0")" && pwd)"
times="${5:-$here/scaled_times.txt}"
fps="${6:-1}"

source "$here/headless.sh"
mapfile -t ats < <(awk '!/^#/ && NF && $1 != "loading" { print "--at"; print $1 }' "$times")
[[ ${#ats[@]} -gt 0 ]] || { echo "no times in $times"; exit 1; }
for k in 1 2; do
  rm -rf "$work/k$k"
  mkdir -p "$work/k$k"
  start=$SECONDS
  if ! "$capture" --size "$((1024 * k))x$((768 * k))" --media "$media" --fps "$fps" --out "$work/k$k" "${ats[@]}" \
      --stats "$work/k$k.csv" > "$work/k$k.log" 2>&1; then
    tail -n 20 "$work/k$k.log"
    echo "the capture at k = $k failed"
    exit 1
  fi
  echo "captured at k = $k in $((SECONDS - start)) s"
done
grep -v '^loading' "$times" > "$work/times.txt"
exec "$pictures" scaled "$work/times.txt" "$work/k1" "$work/k2"
