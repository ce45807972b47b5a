#!/usr/bin/env bash
# The layering check against copies of the tree with one fault each, and the
# build-list check against a small tree: each must pass on the clean tree and
# fail, naming the file, on every broken one.
#
#   check_layers_test.sh SOURCE_DIR
set -u
src=${1:?usage: check_layers_test.sh SOURCE_DIR}
check="$(dirname "$0")/check_layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
copy() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree"
  for d in base util gfx effects scenes show shell; do
    cp -r "$src/$d" "$work/tree/"
  done
  cp "$src/README.md" "$work/tree/"
}
# expect <pass|fail> <what> [text the report must contain]
expect() {
  local want=$1 what=$2 text=${3:-}
  local out rc
  out=$(bash "$check" "$work/tree" 2>&1)
  rc=$?
  if [ "$want" = pass ] && [ $rc -ne 0 ]; then
    echo "FAIL: $what: the check failed:"; echo "$out"; failures=$((failures + 1))
  elif [ "$want" = fail ] && [ $rc -ne 1 ]; then
    echo "FAIL: $what: the check exited $rc, not 1:"; echo "$out"; failures=$((failures + 1))
  elif [ -n "$text" ] && ! grep -qF -- "$text" <<<"$out"; then
    echo "FAIL: $what: the report does not name '$text':"; echo "$out"; failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}
# Adds an include line after the first line of a file.
add_include() {
  sed -i "1a #include \"$2\"" "$work/tree/$1"
}

copy
expect pass "the tree as it is"

copy; add_include gfx/fade.cpp show/media.h
expect fail "gfx including the show" "gfx/fade.cpp:2 includes show/media.h"

copy; add_include base/shared.h util/random.h
expect fail "the bottom layer including util" "base/shared.h:2 includes util/random.h"

copy; add_include effects/water.h scenes/scenes.h
expect fail "an effect's header including the scenes" "effects/water.h:2 includes scenes/scenes.h"

copy; add_include show/media.cpp shell/app.h
expect fail "the show including the shell" "show/media.cpp:2 includes shell/app.h"

copy; sed -i '1a #  include   "scenes/scene_media.h"  // spaced' "$work/tree/util/camera.cpp"
expect fail "an upward include written with spaces" "util/camera.cpp:2 includes scenes/scene_media.h"

copy; add_include scenes/scene01.cpp platform/d3d8/gl_device.h
expect fail "a scene reaching into the GL device" "scenes/scene01.cpp:2 includes platform/d3d8/gl_device.h"

copy; add_include shell/winmain.cpp platform/win32/host.h
expect fail "the shell reaching into the platform's host header" "platform/win32/host.h"

copy; add_include effects/water.cpp tests/support/recording_device.h
expect fail "show code including a test helper" "tests/support/recording_device.h"

copy; add_include gfx/plane.cpp plane.h
expect fail "an include without its folder" "gfx/plane.cpp:2 includes plane.h"

copy; add_include shell/winmain.cpp base/shared.h
add_include scenes/scene01.cpp gfx/fade.h
add_include scenes/scene01.cpp platform/fmod/fmod.h
expect pass "downward, sideways and API includes"

copy; sed -i -e 's/^| `gfx\/` |/| `TMP\/` |/' -e 's/^| `effects\/` |/| `gfx\/` |/' -e 's/^| `TMP\/` |/| `effects\/` |/' \
  "$work/tree/README.md"
expect fail "the README's table with two layers swapped" "as 'base util effects gfx scenes show shell'"

copy; rm -r "$work/tree/util"
expect fail "a layer's folder missing" "no folder util/"

# The build-list check, on a small tree of its own.
sources="$(dirname "$0")/check_sources_listed.sh"
mini="$work/mini"
# expect_sources <pass|fail> <what> [file the report must name]
expect_sources() {
  local want=$1 what=$2 file=${3:-}
  local out rc
  out=$(bash "$sources" "$mini" 2>&1)
  rc=$?
  if [ "$want" = pass ] && [ $rc -ne 0 ]; then
    echo "FAIL: $what: the check failed:"; echo "$out"; failures=$((failures + 1))
  elif [ "$want" = fail ] && { [ $rc -ne 1 ] || ! grep -qF "sources: $file is in no build list" <<<"$out"; }; then
    echo "FAIL: $what: exit $rc, expected a report on $file:"; echo "$out"; failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}
rm -rf "$mini"
mkdir -p "$mini/lib" "$mini/tests/fuzz" "$mini/build/x"
printf 'add_executable(app main.cpp ${CMAKE_SOURCE_DIR}/lib/shared.cpp)\nadd_subdirectory(lib)\n' >"$mini/CMakeLists.txt"
printf 'add_library(lib STATIC\n  one.cpp\n  two.c)\n' >"$mini/lib/CMakeLists.txt"
printf 'set(VT_FUZZ_TARGETS image xfile)\n' >"$mini/tests/fuzz/CMakeLists.txt"
touch "$mini/main.cpp" "$mini/lib/shared.cpp" "$mini/lib/one.cpp" "$mini/lib/two.c" \
  "$mini/tests/fuzz/fuzz_image.cpp" "$mini/tests/fuzz/fuzz_xfile.cpp" "$mini/build/x/generated.cpp"
expect_sources pass "every source listed (by its folder's list, by a \${VAR}/ path, or as a fuzz target)"
touch "$mini/lib/three.cpp"
expect_sources fail "a source in no list" lib/three.cpp
rm "$mini/lib/three.cpp"; touch "$mini/lib/ne.cpp"
expect_sources fail "a source whose name ends another's" lib/ne.cpp
rm "$mini/lib/ne.cpp"; echo "# threeXcpp" >>"$mini/lib/CMakeLists.txt"; touch "$mini/lib/three.cpp"
expect_sources fail "a dot in a file's name matches only a dot" lib/three.cpp
rm "$mini/lib/three.cpp"; touch "$mini/tests/fuzz/fuzz_music.cpp"
expect_sources fail "a fuzz target missing from the target list" tests/fuzz/fuzz_music.cpp

if [ $failures -ne 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
