#!/usr/bin/env bash
# The real program in a real X window (Xvfb): it opens its window, renders,
# and ends at once with exit code 0 on Esc, F2, Alt+Enter and on closing
# the window. Arguments: vantorel vantorel-capture build-dir
set -uo pipefail
vantorel="$(realpath "$1")"; build="$(realpath "$3")"
media="$build/media"
[[ -d "$media/data" ]] || { echo "no media in $media (build with VT_BUILD_MEDIA=ON)"; exit 1; }
for tool in Xvfb xdotool cc; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

work=$(mktemp -d)
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
cc -O1 -o "$work/xclose" "$(dirname "$0")/xclose.c" -lX11 || exit 1

# A free display number.
for n in $(seq 90 140); do [[ -e /tmp/.X$n-lock ]] || { display=":$n"; break; }; done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
unset SDL_VIDEODRIVER

failures=0
run_case() {
  local name="$1" action="$2"
  (cd "$media" && exec "$vantorel") >"$work/$name.log" 2>&1 &
  local pid=$!
  local wid=""
  for _ in $(seq 300); do
    wid=$(xdotool search --name "^Vantorel - QR27$" 2>/dev/null | head -n1)
    [[ -n "$wid" ]] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [[ -z "$wid" ]]; then
    echo "FAIL $name: no window appeared"; cat "$work/$name.log"; kill "$pid" 2>/dev/null; failures=$((failures + 1)); return
  fi
  sleep 2  # let it load and render a while
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "FAIL $name: ended before the key"; cat "$work/$name.log"; failures=$((failures + 1)); return
  fi
  [[ "$name" == "esc" ]] && { command -v import >/dev/null && import -window root "$build/vantorel-window.png" 2>/dev/null; }
  xdotool windowfocus --sync "$wid" 2>/dev/null
  local start=$(date +%s%N)
  if [[ "$action" == close ]]; then "$work/xclose" "$wid"; else xdotool key --clearmodifiers "$action"; fi
  local code=""
  for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; code=$?; break; fi
    sleep 0.1
  done
  if [[ -z "$code" ]]; then
    echo "FAIL $name: still running 10 s after $action"; kill -9 "$pid"; failures=$((failures + 1)); return
  fi
  local took=$(( ($(date +%s%N) - start) / 1000000 ))
  if [[ "$code" != 0 ]]; then
    echo "FAIL $name: exit code $code"; cat "$work/$name.log"; failures=$((failures + 1)); return
  fi
  echo "ok   $name: ended with code 0 after ${took} ms"
}

run_case esc Escape
run_case f2 F2
run_case altenter alt+Return
run_case close close

passed=$((4 - failures))
echo "$passed passed, $failures failed"
((failures == 0))
