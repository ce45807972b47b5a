#!/usr/bin/env bash
# The whole show captured at 10 frames a second by a capture tool built with
# AddressSanitizer and UndefinedBehaviorSanitizer: it must run to the show's
# end with no report and no leak. Arguments: sanitized-capture media-dir
set -uo pipefail
capture="$1"; media="$2"
here="$(cd "$(dirname "$0")" && pwd)"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:exitcode=23"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=24"
"$capture" --media "$media" --fps 10 --stats "$out/stats.csv" 2> "$out/stderr.log"
code=$?
frames=$(($(wc -l < "$out/stats.csv") - 1))
last=$(tail -n 1 "$out/stats.csv" | cut -d, -f1)
echo "exit code $code, $frames frames, last at $last s"
if grep -q -E "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:" "$out/stderr.log"; then
  grep -m 40 -E -A 12 "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:" "$out/stderr.log"
  echo "0 passed, 1 failed"
  exit 1
fi
if [[ $code -ne 0 || $frames -ne 2970 ]]; then
  tail -n 20 "$out/stderr.log"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "1 passed, 0 failed"
