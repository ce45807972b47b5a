#!/usr/bin/env bash
# The frame-time benchmark in a browser: the web build's page in headless
# Chromium with SwiftShader, the show played in real time, each turn of its
# main loop timed, summarised per scene as bench/scene_times.sh does for the
# native build; with what the page downloads and the time from opening it
# to its start button.
#
#   bench/web_times.sh [--until T] [web-dir]   (default: build-web, the whole show)
#
# Two tables: the frame interval a viewer sees (SwiftShader's drawing in the
# GPU process included; at least 16.7 ms at 60 Hz), and the main loop's turn
# on the page's thread alone (the show's code and its WebGL calls).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
args=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --until) args+=("$1" "$2"); shift 2 ;;
    -*) echo "usage: $0 [--until T] [web-dir]" >&2; exit 2 ;;
    *) break ;;
  esac
done
web="${1:-build-web}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/web_times.py" --web "$web" --out "$work" "${args[@]}"
echo
echo "frame interval (start of one frame to the next):"
bash "$here/scene_times.sh" --summarise "$work/interval.csv"
echo
echo "the main loop's turn on the page's thread (message pump and RenderFrame):"
bash "$here/scene_times.sh" --summarise "$work/step.csv"
