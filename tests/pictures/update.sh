#!/usr/bin/env bash
# Regenerates the picture-regression references, for a change that is meant
# to alter pictures: builds the capture tool and vt_pictures in BUILD
# (default: build), captures the listed times, rewrites the thumbnails that
# changed and writes one contact sheet (old | new | difference x8 a row).
# Look at the sheet, then commit tests/pictures/reference with the change.
# Usage: tests/pictures/update.sh [BUILD]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
cmake --build "$build" --target vantorel-capture vt_pictures -j2 > /dev/null
work="$build/tests/pictures"
mkdir -p "$work"
bash "$root/tests/pictures/check.sh" update "$build/vantorel-capture" "$build/tests/vt_pictures" \
  "$build/media" "$work"
