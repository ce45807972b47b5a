#!/usr/bin/env bash
# The real program without a display and with one image missing: one
# "Could not load required media." box (on stderr, since nobody can click
# it), no frame loop, exit code 0. Arguments: vantorel vantorel-capture build-dir
set -uo pipefail
vantorel="$(realpath "$1")"; build="$(realpath "$3")"
media="$build/media"
[[ -d "$media/data" ]] || { echo "no media in $media"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$media/." "$work/"
rm "$work/data/bitmaps/scene07/hello.jpg"

cd "$work"
SDL_VIDEODRIVER=offscreen timeout 120 "$vantorel" 2> "$work/stderr.log"
code=$?
boxes=$(grep -c "Could not load required media." "$work/stderr.log")
lines=$(grep -c . "$work/stderr.log")
echo "exit code $code; $boxes media boxes; $lines lines on stderr"
cat "$work/stderr.log"
if [[ $code -eq 0 && $boxes -eq 1 && $lines -eq 1 ]]; then
  echo "1 passed, 0 failed"
else
  echo "0 passed, 1 failed"
  exit 1
fi
