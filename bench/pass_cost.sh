#!/usr/bin/env bash
# Builds bench/pass_cost.cpp into a temporary folder and runs it: the cost of
# one full-picture pass of each kind at 1024 x 768 on this machine's GL.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++17 -O2 -Wall -Wextra "$here/pass_cost.cpp" -o "$work/pass_cost" $(pkg-config --cflags --libs sdl2 gl)
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
"$work/pass_cost"
