#!/usr/bin/env bash
# The browser test's driver against the stand-in page in fixtures/: with a
# native frame beside the page it passes every check with no difference at
# all (the screenshot is the canvas, pixel for pixel); with each fault a
# real page could have, the check that should notice it fails, and a frame
# that differs leaves its native | web | difference picture.
# Arguments: web_test.py vantorel-capture media vt_web_frames work
set -uo pipefail
driver="$1"; capture="$2"; media="$3"; frames_tool="$4"; work="$5"
here="$(cd "$(dirname "$0")" && pwd)"
command -v chromium >/dev/null || { echo "SKIPPED: no chromium here (Debian package chromium)"; exit 77; }
[[ -d "$media/data" ]] || { echo "no media at $media (the build generates it)"; exit 1; }

rm -rf "$work"
mkdir -p "$work/page/frames" "$work/empty"
cp "$here/fixtures/index.html" "$work/page/"
echo "80.0  the title card" > "$work/times.txt"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR=/tmp \
  "$capture" --media "$media" --fps 1 --out "$work/page/frames" --at 80 > "$work/capture.log" 2>&1 ||
  { cat "$work/capture.log"; exit 1; }

passed=0 failed=0
# run NAME EXPECTED_EXIT PATTERN [driver options...]: the driver's exit code
# and one line of its output.
run() {
  local name="$1" want="$2" pattern="$3"; shift 3
  local out code
  out=$(/usr/bin/python3 "$driver" --web "$work/page" --capture "$capture" --media "$media" \
    --frames-tool "$frames_tool" --work "$work/$name" --times "$work/times.txt" "$@" 2>&1)
  code=$?
  if [[ $code -eq $want ]] && grep -qE -- "$pattern" <<<"$out"; then
    echo "ok   $name (exit $code)"
    passed=$((passed + 1))
  else
    echo "FAIL $name: exit $code (wanted $want), no line matching '$pattern' in:"
    sed 's/^/     /' <<<"$out"
    failed=$((failed + 1))
  fi
}

# Every check passes, the frame with no difference at all.
run clean 0 "^ +80\.000 +1024 x 768 from 1024 x 768  mean  0\.000  max   0 "
run esc_ignored 1 "^start: FAILED .*after Esc after 4 s: state .playing., not ready" --only start --query fault=esc \
  --end-timeout 5
run early_keys_lost 1 "^start: FAILED .*after Esc at once: state .playing., not ready" --only start \
  --query fault=early --end-timeout 5
run enter_ends 1 "^start: FAILED .*Enter alone ended the show" --only start --query fault=enter
run not_full_screen 1 "^start: FAILED .*not full screen" --only start --query fault=window
run not_letterboxed 1 "^start: FAILED .*draws 1200 x 900 for 599 x 450 CSS pixels" --only start --query fault=stretch
run scale_above_one 1 "^start: FAILED .*the device draws 1200 x 900, not the picture at k = 1" --only start \
  --query fault=scale
run message_caption 1 "^missing: FAILED .*'Error: Media not found\.'" --only missing --query fault=message
run red_blue_swapped 1 "^ +80\.000 .*DIFFERS$" --only frames --query fault=bgr
[[ -f "$work/red_blue_swapped/differences/native_web_diff_frame_0080.000.png" ]] ||
  { echo "FAIL red_blue_swapped: no difference picture"; failed=$((failed + 1)); }
run upside_down 1 "^ +80\.000 .*DIFFERS$" --only frames --query fault=flip
run stretched 1 "^frames: FAILED .*resampled" --only frames --query fault=stretch
run no_page 77 "^SKIPPED: no web build" --web "$work/empty"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
