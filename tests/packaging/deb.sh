#!/usr/bin/env bash
# The Debian package, without root: built with cpack from the build tree,
# unpacked with dpkg-deb -x into a temporary folder and run from there in an
# empty working directory. The unpacked capture tool finds the unpacked media
# by itself and writes a frame without a word on stderr; the unpacked program
# answers --help and refuses a bad option. The dependencies dpkg-shlibdeps
# computed name the libraries the programs link (SDL2, libmpg123, libpng,
# libjpeg, GL); the menu entry, icon and manual pages are where a desktop
# looks for them; lintian reports no error. About 30 s.
# Arguments: build-dir
set -uo pipefail
build="$(realpath "$1")"
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate man; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
ok() { echo "ok   $1"; }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
  echo "FAIL cpack"; cat "$work/cpack.log"; exit 1
fi
deb=$(ls "$work"/pkg/vantorel_*.deb 2>/dev/null | head -n1)
[[ -n "$deb" ]] || { echo "FAIL no vantorel_*.deb"; cat "$work/cpack.log"; exit 1; }
ok "built ${deb##*/} ($(($(stat -c %s "$deb") / 1024)) KiB)"

# The dependencies.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2 libmpg123 libpng libjpeg libopengl0 libgl1 libegl1; do
  grep -qE "(^|, )$lib[^,]*" <<<"$depends" || fail "Depends names no $lib: $depends"
done
ok "Depends: $depends"

# Unpacked under a prefix of our own, as no installed copy would be.
root="$work/unpacked"
dpkg-deb -x "$deb" "$root" || { echo "FAIL dpkg-deb -x"; exit 1; }
for path in usr/bin/vantorel usr/bin/vantorel-capture usr/share/vantorel/intro.mp3 \
            usr/share/vantorel/data/meshes/scene08/star.x usr/share/applications/vantorel.desktop \
            usr/share/icons/hicolor/48x48/apps/vantorel.png usr/share/icons/hicolor/128x128/apps/vantorel.png \
            usr/share/icons/hicolor/256x256/apps/vantorel.png usr/share/man/man6/vantorel.6.gz \
            usr/share/man/man1/vantorel-capture.1.gz usr/share/doc/vantorel/copyright \
            usr/share/doc/vantorel/changelog.gz; do
  [[ -e "$root/$path" ]] || fail "the package lacks /$path"
done
[[ -e "$root/usr/share/vantorel/.mkmedia.stamp" ]] && fail "the build's stamp file was packaged"
out=$(desktop-file-validate "$root/usr/share/applications/vantorel.desktop" 2>&1) && [[ -z "$out" ]] ||
  fail "desktop-file-validate: $out"
for page in man6/vantorel.6.gz man1/vantorel-capture.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$root/usr/share/man/$page" 2>&1 >/dev/null)
  [[ -z "$warnings" ]] || fail "$page: $warnings"
done

# Run from an empty folder, with nothing in the environment pointing at a
# display, a runtime folder or a driver.
mkdir "$work/empty"
cd "$work/empty" || exit 1
quiet=(env -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY -u VANTOREL_TRACE)
"${quiet[@]}" "$root/usr/bin/vantorel-capture" --at 10 --out "$work/frames" >"$work/capture.out" 2>"$work/capture.err"
code=$?
if [[ $code != 0 ]]; then
  fail "unpacked vantorel-capture --at 10: exit code $code"; cat "$work/capture.err"
elif [[ ! -s "$work/frames/frame_0010.000.png" ]]; then
  fail "unpacked vantorel-capture --at 10 wrote no frame_0010.000.png"
elif [[ -s "$work/capture.err" || -s "$work/capture.out" ]]; then
  fail "unpacked vantorel-capture printed:"; cat "$work/capture.out" "$work/capture.err"
else
  ok "unpacked vantorel-capture found its media and wrote frame 10 silently"
fi
[[ -z "$(ls -A "$work/empty")" ]] || fail "something was written in the working directory: $(ls -A)"
"${quiet[@]}" "$root/usr/bin/vantorel" --help >"$work/help.out" 2>"$work/help.err"
code=$?
if [[ $code == 0 && -s "$work/help.out" && ! -s "$work/help.err" ]] && grep -q "^usage: vantorel " "$work/help.out"; then
  ok "unpacked vantorel --help"
else
  fail "unpacked vantorel --help: exit code $code"; cat "$work/help.out" "$work/help.err"
fi
"${quiet[@]}" "$root/usr/bin/vantorel" --no-such-option >/dev/null 2>&1
code=$?
[[ $code == 2 ]] && ok "unpacked vantorel --no-such-option: exit code 2" || fail "bad option: exit code $code"
cd "$work" || exit 1

# lintian: no error (warnings and notes are shown, not failed on).
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1
code=$?
grep -v "running with root privileges" "$work/lintian.log" | sed 's/^/     /'
if [[ $code != 0 ]] || grep -q "^E: " "$work/lintian.log"; then fail "lintian reports errors"; else ok "lintian: no error"; fi

((failures == 0)) && echo "all passed" || echo "$failures failed"
((failures == 0))
