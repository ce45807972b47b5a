#!/usr/bin/env bash
# The frame-time benchmark in a browser: the web build's page in headless
# Chromium with SwiftShader, its own per-frame statistics summarised per
# scene as bench/scene_times.sh does for the native build, what the page
# downloads and the time from opening it to its start button.
#
#   bench/web_times.sh [--until T] [--fps F] [web-dir]   (default: build-web, real time)
#
# In real time the show plays after a click on the start button until it
# ends (or Esc at --until T). With --fps F it runs on the virtual clock at F
# frames a second, every frame drawn, as the native benchmark's capture.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
args=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --until|--fps) args+=("$1" "$2"); shift 2 ;;
    -*) echo "usage: $0 [--until T] [--fps F] [web-dir]" >&2; exit 2 ;;
    *) break ;;
  esac
done
web="${1:-build-web}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/web_times.py" --web "$web" --stats "$work/stats.csv" "${args[@]}"
bash "$here/scene_times.sh" --summarise "$work/stats.csv"
