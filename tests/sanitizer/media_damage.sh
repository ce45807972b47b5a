#!/usr/bin/env bash
# Every media file missing or damaged, one at a time, loaded by the capture
# tool built with AddressSanitizer and UndefinedBehaviorSanitizer. Each case
# mirrors the media folder with symbolic links, makes the one file real and
# damaged, runs `--load-only` and checks the message boxes (stderr, in
# order), the exit code, the music line, no sanitizer report or leak, and no
# hang. Arguments: sanitized-capture media-dir
#
# Damages:
#   missing  the file is gone
#   empty    the file is there with no bytes
#   half     the file is cut to the first half of its bytes
#   middle   64 bytes from the middle on are overwritten with 'Z'
#
# Outcomes (a box is a line "Error: TEXT" on stderr; every box outcome means
# loading stops there and the capture tool exits with 1, where the show
# itself would end with 0):
#   media           "Could not load required media."
#   media+notavail  that box, then the calling loader's report of the texture
#                   result: "Error: D3DERR_NOTAVAILABLE" (no file to read)
#   media+invalid   the same with "Error: D3DXERR_INVALIDDATA" (a file that
#                   does not decode)
#   notavail        "Error: D3DERR_NOTAVAILABLE" alone (the loader reports the
#                   library's result itself)
#   invalid         "Error: D3DXERR_INVALIDDATA" alone
#   notfound        "Media not found." (the star mesh: reported with the
#                   media flag, its result not one with a text of its own)
#   silent          no box, the show goes on without music (exit 0)
#   loads           no box, the show goes on as with the intact set: the
#                   damage is in JPEG entropy-coded data, which carries no
#                   check, and happens to decode (the picture changes)
#
# Damage a decoder can detect refuses the file as if it were missing: the
# same boxes, except that the library's result names the reason.
set -uo pipefail

if [[ "${1:-}" == --case ]]; then
  # One case: --case capture media work file damage outcome; VT_INTACT_LOAD is
  # what the intact set printed.
  capture="$2"; media="$3"; work="$4"; file="$5"; damage="$6"; outcome="$7"; intact="$VT_INTACT_LOAD"
  name="$file ($damage)"

  # work/ mirrors media/ with links; only the directories on the way to the
  # damaged file are real.
  mirror() {
    local src="$1" dst="$2" rel="$3" head="${3%%/*}"
    mkdir -p "$dst"
    ln -s "$src"/* "$dst"/
    rm "$dst/$head"
    [[ "$rel" == */* ]] && mirror "$src/$head" "$dst/$head" "${rel#*/}"
    return 0
  }
  mirror "$media" "$work/media" "$file"
  target="$work/media/$file"
  size=$(stat -L -c %s "$media/$file")
  case "$damage" in
    missing) ;;
    empty) : > "$target" ;;
    half) head -c $((size / 2)) "$media/$file" > "$target" ;;
    middle)
      cp "$media/$file" "$target"
      printf 'Z%.0s' {1..64} | dd of="$target" bs=1 seek=$((size / 2)) conv=notrunc status=none ;;
  esac

  timeout -k 10 120 "$capture" --media "$work/media" --load-only > "$work/stdout" 2> "$work/stderr"
  code=$?
  # The verdict goes to work/result, so that parallel cases do not mix lines.
  fail() {
    { echo "FAIL $name: $*"; sed 's/^/    | /' "$work/stderr" | head -n 30; } > "$work/result"
    exit 0
  }

  [[ $code -eq 124 || $code -eq 137 ]] && fail "no result within 120 s"
  grep -q -E "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:" "$work/stderr" && fail "sanitizer report"

  boxes=$(grep "^Error: " "$work/stderr" | sed 's/^Error: //')
  case "$outcome" in
    media) want="Could not load required media." ;;
    media+notavail) want=$'Could not load required media.\nError: D3DERR_NOTAVAILABLE' ;;
    media+invalid) want=$'Could not load required media.\nError: D3DXERR_INVALIDDATA' ;;
    notavail) want="Error: D3DERR_NOTAVAILABLE" ;;
    invalid) want="Error: D3DXERR_INVALIDDATA" ;;
    notfound) want="Media not found." ;;
    silent | loads) want="" ;;
    *) fail "unknown outcome '$outcome' in the table" ;;
  esac
  [[ "$boxes" == "$want" ]] || fail "boxes [${boxes//$'\n'/ | }], expected [${want//$'\n'/ | }]"

  loaded=$(cat "$work/stdout")
  case "$outcome" in
    silent) [[ $code -eq 0 && "$loaded" == "loaded; music: none" ]] || fail "exit $code, '$loaded'; expected 0, no music" ;;
    loads) [[ $code -eq 0 && "$loaded" == "$intact" ]] || fail "exit $code, '$loaded'; expected 0, '$intact'" ;;
    *) [[ $code -eq 1 && -z "$loaded" ]] || fail "exit $code, '$loaded'; expected 1 before the end of loading" ;;
  esac
  echo "ok   $name: $outcome" > "$work/result"
  exit 0
fi

capture="$(realpath "$1")"; media="$(realpath "$2")"
[[ -d "$media/data" ]] || { echo "no media in $media"; exit 1; }
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:exitcode=23"
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=24"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"

# One row per media file, in loading order. Loader rules: "M" reports
# "Could not load required media." and stops; "then R" means the loader's
# caller reports the result once more; "own result" means the loader reports
# the library's result itself.
table=$(cat <<'EOF'
# file                                 | loader, rule                   | missing        | empty         | half          | middle
data/bitmaps/loadingscreen.jpg         | show, M                        | media          | media         | media         | media
intro.mp3                              | show, result not tested        | silent         | silent        | silent        | silent
data/bitmaps/white.jpg                 | show, M                        | media          | media         | media         | media
data/bitmaps/black.jpg                 | show, M                        | media          | media         | media         | media
data/bitmaps/scene01/iamfeeling.png    | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/inaviolated.png   | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/icannolonger.png  | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/thethings.png     | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/ihavevantorel.png | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/mirk.png          | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/presents.png      | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/ourfirst.png      | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/demoever.png      | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/logo.png          | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/splash.jpg        | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/shadow.png        | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/bluewater.jpg     | scene 1, M                     | media          | media         | media         | media
data/bitmaps/scene01/firefly.png       | scene 1 fireflies, M then R    | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/whatif.png        | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/wereblaim.png     | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/humansare.png     | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/psychologically.png | scene 2, M then R            | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/thesun.png        | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/theearth.png      | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/willblaim.png     | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/usalone.png       | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/bluewater8.jpg    | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/plasma.png        | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene02/plasma2.png       | scene 2, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene03/sentence.png      | scene 3, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene03/scene4overlay.png | scene 3, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene03/textscroll.png    | scene 3, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene04/envmap2.jpg       | scene 4 metaballs, M then R    | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene04/wood.jpg          | scene 4 metaballs, M then R    | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene05/redwater.jpg      | scene 5, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/texts/symbol1.png         | scene 5, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/texts/symbol2.png         | scene 5, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/texts/symbol3.png         | scene 5, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/texts/symbol4.png         | scene 5, M then R              | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene05/firefly_r.png     | tunnel swarm, M then R         | media+notavail | media+invalid | media+invalid | media+invalid
data/bitmaps/scene06/forest.jpg        | show, M                        | media          | media         | media         | media
data/bitmaps/scene07/credit1.jpg       | show, M                        | media          | media         | media         | media
data/bitmaps/scene07/credit2.jpg       | show, M                        | media          | media         | media         | media
data/bitmaps/scene07/credit3.jpg       | show, M                        | media          | media         | media         | loads
data/bitmaps/scene07/hello.jpg         | show, M                        | media          | media         | media         | media
data/meshes/scene08/star.x             | scene 8 star, media flag       | notfound       | notfound      | notfound      | notfound
data/bitmaps/scene08/envmap.jpg        | scene 8 star, own result       | notavail       | invalid       | invalid       | invalid
data/bitmaps/scene09/greet01.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet02.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet03.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet04.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet05.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet06.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet07.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet08.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet09.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet10.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet11.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet12.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet13.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene09/greet14.png       | scene 9, M                     | media          | media         | media         | media
data/bitmaps/scene10/finalsplash.jpg   | scene 10, M                    | media          | media         | media         | media
data/bitmaps/scene10/endscreen.png     | scene 10, M                    | media          | media         | media         | media
EOF
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
start=$SECONDS

# The table covers exactly the files of the media set.
grep -v '^#' <<< "$table" | cut -d'|' -f1 | tr -d ' ' | sort > "$work/listed"
(cd "$media" && find . -type f ! -name '.*' | sed 's|^\./||' | sort) > "$work/present"
if ! diff "$work/listed" "$work/present" > "$work/coverage"; then
  echo "the table and the media set differ (< only in the table, > only in the media):"
  cat "$work/coverage"
  echo "0 passed, 1 failed"
  exit 1
fi

# The intact set loads with no box, and with its music.
timeout -k 10 120 "$capture" --media "$media" --load-only > "$work/intact.out" 2> "$work/intact.err"
code=$?
export VT_INTACT_LOAD=$(cat "$work/intact.out")
if [[ $code -ne 0 ]] || grep -q -E "^Error: |ERROR: |runtime error:" "$work/intact.err" ||
   [[ "$VT_INTACT_LOAD" != "loaded; music: "*" s at "*" Hz" ]]; then
  echo "the intact media set: exit $code, '$VT_INTACT_LOAD'"
  head -n 30 "$work/intact.err"
  echo "0 passed, 1 failed"
  exit 1
fi

# Every case, two at a time (the machine's two cores); each gets a folder.
n=0
grep -v '^#' <<< "$table" | while IFS='|' read -r file _loader missing empty half middle; do
  for pair in "missing $missing" "empty $empty" "half $half" "middle $middle"; do
    read -r damage outcome <<< "$pair"
    n=$((n + 1))
    printf '%s\0' "$work/$n" "${file// /}" "$damage" "$outcome"
  done
done | xargs -0 -n 4 -P 2 bash "$0" --case "$capture" "$media"
cases=$(($(grep -vc '^#' <<< "$table") * 4))
for ((i = 1; i <= cases; i++)); do
  cat "$work/$i/result" 2> /dev/null || echo "FAIL case $i: no verdict"
done > "$work/results"
passed=$(grep -c '^ok ' "$work/results")
failed=$((cases - passed))
grep -v '^ok ' "$work/results"
grep '^ok ' "$work/results" | awk '{print $NF}' | sort | uniq -c
echo "$passed of $cases cases as the table says, in $((SECONDS - start)) s"
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
