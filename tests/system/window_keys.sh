#!/usr/bin/env bash
# The real program in a real X window (Xvfb): it opens its window, renders,
# and ends with exit code 0 on Esc, F2, Alt+Enter and on closing the window.
# With VANTOREL_TRACE=1 it times its start-up steps on stderr, in order;
# without it, it prints nothing. Arguments: vantorel vantorel-capture build-dir
set -uo pipefail
vantorel="$(realpath "$1")"; build="$(realpath "$3")"
media="$build/media"
[[ -d "$media/data" ]] || { echo "no media in $media (build with VT_BUILD_MEDIA=ON)"; exit 1; }
for tool in Xvfb xdotool xwininfo cc; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

wait_limit=120  # seconds for a window, and for the program to end after a key
title="Vantorel - QR27"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT
cc -O1 -o "$work/xclose" "$(dirname "$0")/xclose.c" -lX11 || exit 1

# -displayfd: the server takes a display number nobody holds and writes it
# once it accepts clients. -noreset: by default the server resets whenever
# its last client leaves (every xdotool call, every program that ends), and
# a program connecting during that reset is refused; SDL then quietly falls
# back to its offscreen driver and the show plays with no window at all.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
deadline=$((SECONDS + 60))
until [[ "$(cat "$work/display")" =~ ^[0-9]+$ ]]; do
  if ! kill -0 "$xvfb_pid" 2>/dev/null || ((SECONDS >= deadline)); then
    echo "FAIL: Xvfb gave no display within 60 s"; cat "$work/xvfb.log"; exit 1
  fi
  sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"
unset SDL_VIDEODRIVER WAYLAND_DISPLAY VANTOREL_TRACE

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# What a failing case saw: the process, every window, the program's log.
report() {
  local pid="$1" log="$2"
  if kill -0 "$pid" 2>/dev/null; then
    echo "  process $pid: alive, state $(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null), waiting in $(cat "/proc/$pid/wchan" 2>/dev/null)"
  else
    echo "  process $pid: ended"
  fi
  echo "  windows on $DISPLAY (visible ones marked *):"
  local visible; visible=$(xdotool search --onlyvisible --name . 2>/dev/null)
  local w
  for w in $(xdotool search --name . 2>/dev/null); do
    echo "    $(grep -qx "$w" <<<"$visible" && echo '*' || echo ' ') $w \"$(xdotool getwindowname "$w" 2>/dev/null)\""
  done
  xwininfo -root -tree 2>&1 | sed -n '1,20s/^/    /p'
  echo "  program log:"; sed 's/^/    /' "$log"
}

# "vantorel: <ms> ms: <step>" lines for every start-up step, in this order.
check_trace() {
  local log="$1" step line prev_line=0 prev_ms=0 n ms
  for step in "video ready" "window created" "device created" "window shown" \
              "loading frame presented" "message loop started" "first frame presented"; do
    line=$(grep -n -m1 -E "^vantorel: [0-9]+ ms: $step" "$log") || { echo "no \"$step\" line"; return 1; }
    n=${line%%:*}; ms=${line#*:vantorel: }; ms=${ms%% ms:*}
    ((n > prev_line && ms >= prev_ms)) || { echo "\"$step\" ($ms ms, line $n) is out of order"; return 1; }
    prev_line=$n; prev_ms=$ms
  done
}

failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

# Starts the program, waits for its window to be visible (and, when traced,
# for its first frame), sends the action and expects exit code 0.
run_case() {
  local name="$1" action="$2" trace="$3"
  local log="$work/$name.log" started; started=$(now_ms)
  (cd "$media" && VANTOREL_TRACE="$trace" exec "$vantorel") >"$log" 2>&1 &
  local pid=$!
  local wid="" ready="" deadline=$((SECONDS + wait_limit))
  while ((SECONDS < deadline)) && kill -0 "$pid" 2>/dev/null; do
    [[ -n "$wid" ]] || wid=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1)
    if [[ -n "$wid" ]] && { [[ "$trace" != 1 ]] || grep -q "ms: first frame presented" "$log"; }; then
      ready=1; break
    fi
    sleep 0.1
  done
  if [[ -z "$ready" ]]; then
    local what="no visible window \"$title\""
    [[ -n "$wid" ]] && what="window $wid but no first frame"
    fail "$name: $what after $(( ($(now_ms) - started) / 1000 )) s"
    report "$pid" "$log"; kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; return
  fi
  local shown=$(( $(now_ms) - started ))
  [[ "$name" == esc ]] && { command -v import >/dev/null && import -window root "$build/vantorel-window.png" 2>/dev/null; }
  timeout 10 xdotool windowfocus --sync "$wid" 2>/dev/null
  local sent; sent=$(now_ms)
  if [[ "$action" == close ]]; then "$work/xclose" "$wid"; else xdotool key --clearmodifiers "$action"; fi
  local code="" deadline=$((SECONDS + wait_limit))
  while ((SECONDS < deadline)); do
    if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; code=$?; break; fi
    sleep 0.05
  done
  local took=$(( $(now_ms) - sent ))
  if [[ -z "$code" ]]; then
    fail "$name: still running ${wait_limit} s after $action"; report "$pid" "$log"
    kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; return
  fi
  if [[ "$code" != 0 ]]; then fail "$name: exit code $code"; report "$pid" "$log"; return; fi
  if [[ "$trace" == 1 ]]; then
    local problem; problem=$(check_trace "$log") || { fail "$name: start-up trace: $problem"; report "$pid" "$log"; return; }
  elif grep -q "^vantorel: [0-9]* ms: " "$log"; then
    fail "$name: traced without VANTOREL_TRACE"; report "$pid" "$log"; return
  fi
  echo "ok   $name: ready after ${shown} ms, ended with code 0 ${took} ms after $action"
  [[ "$name" == esc ]] && sed 's/^/       /' "$log"
}

run_case esc Escape 1
run_case f2 F2 1
run_case altenter alt+Return 1
run_case close close 0

passed=$((4 - failures))
echo "$passed passed, $failures failed"
((failures == 0))
