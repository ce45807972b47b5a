#!/usr/bin/env bash
# Every C and C++ source of the project is named in a build list: with no
# globbing, a file left out of its list is silently never built, and a test
# file left out never runs.
#
#   check_sources_listed.sh SOURCE_DIR
#
# A source counts as listed when its path, relative to the folder of a
# CMakeLists.txt or *.cmake file at or above it, appears in that file as a
# word of its own. The fuzz targets are named by their target list instead.
set -u
root=${1:?usage: check_sources_listed.sh SOURCE_DIR}
cd "$root" || exit 2

# Built outside CMake, by the script that uses it.
not_cmake=(tests/system/xclose.c tests/system/xshot.c bench/pass_cost.cpp)

bad=0
listed() {
  local file=$1 dir rel list
  dir=$(dirname "$file")
  while :; do
    if [ "$dir" = . ]; then rel=$file; else rel=${file#"$dir"/}; fi
    for list in "$dir"/CMakeLists.txt "$dir"/*.cmake; do
      [ -f "$list" ] || continue
      # Preceded by a blank, "(" or "}/" (a ${VAR}/ prefix); followed by a blank or ")".
      grep -qE "(^|[[:space:](]|\}/)${rel//./\\.}([[:space:])]|$)" "$list" && return 0
    done
    [ "$dir" = . ] && return 1
    dir=$(dirname "$dir")
  done
}

while IFS= read -r -d '' path; do
  file=${path#./}
  skip=0
  for f in "${not_cmake[@]}"; do
    [ "$file" = "$f" ] && skip=1
  done
  [ $skip = 1 ] && continue
  if [[ $file =~ ^tests/fuzz/fuzz_([a-z0-9_]+)\.cpp$ ]]; then
    grep -qE "^set\(VT_FUZZ_TARGETS( [a-z0-9_]+)* ${BASH_REMATCH[1]}( |\))" tests/fuzz/CMakeLists.txt && continue
  fi
  if ! listed "$file"; then
    echo "sources: $file is in no build list"
    bad=1
  fi
done < <(find . \( -path './build*' -o -path './.git' -o -path './out' \) -prune -o \
              -type f \( -name '*.cpp' -o -name '*.c' -o -name '*.cc' \) -print0 | sort -z)

[ $bad = 0 ] && echo "sources: every source file is in a build list"
exit $bad
