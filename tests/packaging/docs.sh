#!/usr/bin/env bash
# The manual pages and the menu entry: both pages render with man without a
# warning, each names exactly the options its program's --help lists, and
# desktop-file-validate passes on the entry, whose commands use options the
# program takes. Arguments: vantorel vantorel-capture build-dir source-dir
set -uo pipefail
vantorel="$1"; capture="$2"; build="$3"; source="$4"
for tool in man groff desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
export LC_ALL=C.UTF-8 MANWIDTH=80

# "--name" for each option --help lists, sorted.
help_options() { "$1" --help | sed -nE 's/^  (--[a-z][a-z-]*).*/\1/p' | sort -u; }
# "--name" for each option the OPTIONS section gives a .TP entry, sorted.
page_options() {
  sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$1" | awk 'tp { print; tp = 0 } /^\.TP/ { tp = 1 }' |
    grep -oE '\\-\\-[a-z][a-z\\-]*' | sed 's/\\-/-/g' | sort -u
}

for pair in "$vantorel:vantorel.6" "$capture:vantorel-capture.1"; do
  exe=${pair%%:*}; page="$build/packaging/${pair#*:}"; before=$failures
  [[ -f "$page" ]] || { fail "no $page"; continue; }
  warnings=$( { man --warnings=all -l "$page" >/dev/null; } 2>&1; groff -ww -z -man -Tutf8 "$page" 2>&1)
  [[ -z "$warnings" ]] || fail "${page##*/}: warnings: $warnings"
  grep -q '@[A-Z]*@' "$page" && fail "${page##*/}: a placeholder was left unfilled"
  title=$(man -l "$page" 2>/dev/null | head -n1)
  [[ "$title" == *"$(basename "${page%.*}" | tr a-z A-Z)("* ]] || fail "${page##*/}: title line \"$title\""
  missing=$(comm -23 <(help_options "$exe") <(page_options "$page"))
  extra=$(comm -13 <(help_options "$exe") <(page_options "$page"))
  [[ -z "$missing" ]] || fail "${page##*/} lacks $(echo $missing) (listed by --help)"
  [[ -z "$extra" ]] || fail "${page##*/} has $(echo $extra), which --help does not list"
  n=$(help_options "$exe" | wc -l)
  ((n >= 3)) || fail "$(basename "$exe") --help lists only $n options"
  ((failures == before)) && echo "ok   ${page##*/}: renders without warnings; the same $n options as --help"
done

entry="$source/packaging/vantorel.desktop"
if out=$(desktop-file-validate "$entry" 2>&1) && [[ -z "$out" ]]; then
  echo "ok   vantorel.desktop: desktop-file-validate passes"
else
  fail "vantorel.desktop: $out"
fi
# Every Exec= runs vantorel with options it takes.
while IFS= read -r command; do
  args=${command#vantorel}
  [[ "$command" == vantorel* ]] || { fail "Exec=$command does not run vantorel"; continue; }
  for arg in $args; do
    help_options "$vantorel" | grep -qx -- "$arg" || fail "Exec=$command: $arg is no option of vantorel"
  done
done < <(sed -n 's/^Exec=//p' "$entry")

((failures == 0)) && echo "all passed" || echo "$failures failed"
((failures == 0))
