#!/usr/bin/env bash
# Captures the frames listed in times.txt in one run of the show and then
# compares their thumbnails with the references (compare) or rewrites the
# references (update).
# Arguments: compare|update CAPTURE VT_PICTURES MEDIA WORK
set -uo pipefail
mode="$1"; capture="$2"; pictures="$3"; media="$4"; work="$5"
here="$(cd "$(dirname "$0")" && pwd)"
times="$here/times.txt"
reference="$here/reference"
frames="$work/frames"

source "$here/headless.sh"
rm -rf "$frames"
mkdir -p "$frames"
mapfile -t args < <("$pictures" capture-args "$times" "$frames") || exit 1
[[ ${#args[@]} -gt 0 ]] || exit 1
start=$SECONDS
if ! "$capture" --media "$media" "${args[@]}" > "$work/capture.log" 2>&1; then
  tail -n 20 "$work/capture.log"
  echo "the capture failed"
  exit 1
fi
echo "captured in $((SECONDS - start)) s"
case "$mode" in
  compare) exec "$pictures" compare "$times" "$frames" "$reference" "$work/report" ;;
  update) exec "$pictures" update "$times" "$frames" "$reference" "$work/update-sheet.png" ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
