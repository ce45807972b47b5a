#!/usr/bin/env bash
# The internal resolution on a 2560 x 1440 X display (Xvfb), where only
# Mesa's software renderer exists: the device's automatic choice there is 1
# (checked through the host interface by the device test that compares it
# with ChooseAutoScale for the display, and by the program's trace), and the
# program plays at --scale 2, full screen and in a window, ending on Esc.
# Arguments: vantorel build-dir vt_d3d8_tests
set -uo pipefail
vantorel="$(realpath "$1")"; build="$(realpath "$2")"; d3d8_tests="$(realpath "$3")"
media="$build/media"
[[ -d "$media/data" ]] || { echo "no media in $media (build with VT_BUILD_MEDIA=ON)"; exit 1; }
for tool in Xvfb xdotool xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

wait_limit=120
title="Vantorel - QR27"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT

# -noreset: see window_keys.sh (a client connecting during a reset is refused).
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 2560x1440x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
deadline=$((SECONDS + 60))
until [[ "$(cat "$work/display")" =~ ^[0-9]+$ ]]; do
  if ! kill -0 "$xvfb_pid" 2>/dev/null || ((SECONDS >= deadline)); then
    echo "FAIL: Xvfb gave no display within 60 s"; cat "$work/xvfb.log"; exit 1
  fi
  sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"
unset SDL_VIDEODRIVER WAYLAND_DISPLAY
[[ "$(xdpyinfo)" =~ dimensions:\ +2560x1440\ pixels ]] || { echo "FAIL: the display is not 2560 x 1440"; exit 1; }

failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

# The device's own choice for this display and renderer.
if "$d3d8_tests" --gtest_filter='Scaled.TheDeviceTellsItsRendererAndChoosesAScaleForItsDisplay' \
    >"$work/d3d8.log" 2>&1; then
  echo "ok   the device's automatic scale on this display is ChooseAutoScale's"
else
  fail "the device's automatic scale"; sed 's/^/    /' "$work/d3d8.log"
fi

# Plays with `args` for `seconds` after its first frame, expects the trace's
# scale line, then Esc and exit code 0.
play() {
  local name="$1" expect="$2" seconds="$3"; shift 3
  local log="$work/$name.log"
  (cd "$media" && VANTOREL_TRACE=1 exec "$vantorel" --no-sound "$@") >"$log" 2>&1 &
  local pid=$! deadline=$((SECONDS + wait_limit))
  until grep -q "ms: first frame presented" "$log"; do
    if ! kill -0 "$pid" 2>/dev/null || ((SECONDS >= deadline)); then
      fail "$name: no first frame"; sed 's/^/    /' "$log"; kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
      return
    fi
    sleep 0.1
  done
  sleep "$seconds"
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"; fail "$name: ended by itself with code $? while playing"; sed 's/^/    /' "$log"; return
  fi
  local wid; wid=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1)
  [[ -n "$wid" ]] && timeout 10 xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key --clearmodifiers Escape
  local code="" deadline=$((SECONDS + wait_limit))
  while ((SECONDS < deadline)); do
    if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; code=$?; break; fi
    sleep 0.05
  done
  if [[ -z "$code" ]]; then
    fail "$name: still running after Esc"; kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; return
  fi
  [[ "$code" == 0 ]] || { fail "$name: exit code $code"; sed 's/^/    /' "$log"; return; }
  local line; line=$(grep -m1 -oE "render scale [0-9.]+, [0-9]+ samples" "$log")
  [[ "$line" == "$expect" ]] || { fail "$name: \"$line\", not \"$expect\""; sed 's/^/    /' "$log"; return; }
  echo "ok   $name: $line, played ${seconds} s, ended with 0 on Esc"
}

play auto "render scale 1, 0 samples" 1
play scale2 "render scale 2, 0 samples" 3 --scale 2
play scale2-window "render scale 2, 4 samples" 3 --scale 2 --msaa 4 --window

echo "$((4 - failures)) passed, $failures failed"
((failures == 0))
