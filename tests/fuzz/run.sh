#!/usr/bin/env bash
# Runs one fuzz target over its seeds and reports executions, speed and
# coverage.
#
#   tests/fuzz/run.sh TARGET MINUTES      a campaign (image, xfile or music);
#       its corpus and any finding are kept in build-fuzz/campaign/TARGET/
#   tests/fuzz/run.sh --seconds 30 TARGET a bounded run from a scratch copy
#       of the seeds, as the suite does; findings go to build-fuzz/findings/
#
# Options: --build DIR (the tree built with VT_FUZZ=ON, default build-fuzz),
# --media DIR (the generated media, default build/media). Seeds: the media
# files of the target's kind, tests/fuzz/corpus/TARGET and
# tests/fuzz/regressions/TARGET. Exit status: 0 when nothing was found.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$root/build-fuzz"
media="$root/build/media"
seconds=""

usage() {
    echo "usage: $0 [--build DIR] [--media DIR] TARGET MINUTES | [--build DIR] [--media DIR] --seconds N TARGET" >&2
    exit 2
}

while [[ $# -gt 0 && $1 == --* ]]; do
    [[ $# -ge 2 ]] || usage
    case $1 in
        --build) build="$2" ;;
        --media) media="$2" ;;
        --seconds) seconds="$2" ;;
        *) usage ;;
    esac
    shift 2
done
[[ $# -ge 1 ]] || usage
target="$1"
campaign=""
if [[ -z $seconds ]]; then
    [[ $# -eq 2 && $2 =~ ^[0-9]+$ && $2 -gt 0 ]] || usage
    seconds=$(($2 * 60))
    campaign=1
else
    [[ $# -eq 1 ]] || usage
fi
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]] || usage

# Per target: media patterns, then libFuzzer's limits. The image limits
# leave room for the largest accepted image (4096 x 4096: texture and one
# buffer, about 150 MB) under the sanitizers; any single allocation larger
# than what an accepted input needs counts as a finding.
case $target in
    image) kinds=("*.png" "*.jpg" "*.jpeg"); limits=(-timeout=20 -rss_limit_mb=1024 -malloc_limit_mb=256) ;;
    xfile) kinds=("*.x"); limits=(-timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=512) ;;
    # The show's music runs for minutes; its first 16 KB (about a second)
    # are seed enough, and longer inputs only slow every run down.
    music) kinds=("*.mp3"); limits=(-timeout=20 -rss_limit_mb=1024 -malloc_limit_mb=128 -max_len=16384) ;;
    *) usage ;;
esac

exe="$build/fuzz_$target"
[[ -x $exe ]] || { echo "$exe is missing: build it with test.sh or" \
    "cmake -S $root -B $build -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVT_FUZZ=ON" >&2; exit 1; }

if [[ -n $campaign ]]; then
    work="$build/campaign/$target"
    artifacts="$work/"
    mkdir -p "$work/corpus"
else
    work="$(mktemp -d "${TMPDIR:-/tmp}/vt-fuzz-$target.XXXXXX")"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$build/findings"
    artifacts="$build/findings/$target-"
    mkdir -p "$work/corpus"
fi

# Seeds (never overwriting what a campaign already holds).
seed() { cp -n -- "$1" "$work/corpus/$2" 2>/dev/null || true; }
media_seeds=0
if [[ -d $media ]]; then
    args=()
    for k in "${kinds[@]}"; do args+=(-o -iname "$k"); done
    while IFS= read -r -d '' f; do
        rel="${f#"$media"/}"
        seed "$f" "media_${rel//\//_}"
        media_seeds=$((media_seeds + 1))
    done < <(find "$media" -type f \( "${args[@]:1}" \) -print0)
fi
for dir in corpus regressions; do
    for f in "$here/$dir/$target"/*; do
        [[ -f $f ]] && seed "$f" "${dir}_$(basename "$f")"
    done
done
[[ $media_seeds -gt 0 ]] || echo "note: no media seeds found in $media" >&2

log="$work/fuzz.log"
echo "fuzz_$target: $seconds s from $(find "$work/corpus" -type f | wc -l) inputs ($media_seeds from the media)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
"$exe" "$work/corpus" -max_total_time="$seconds" "${limits[@]}" -print_final_stats=1 \
    -artifact_prefix="$artifacts" >"$log" 2>&1 || status=$?

# libFuzzer's last status line carries cov: and ft:; its final stats the
# executions and the rate.
last="$(grep -E '^#[0-9]+' "$log" | grep 'cov:' | tail -n 1 || true)"
execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")"
ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")"
corp="$(sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p' <<<"$last")"
echo "fuzz_$target: executions ${execs:-?}, exec/s ${rate:-?}, cov ${cov:-?}, ft ${ft:-?}, corpus ${corp:-?}"

if [[ $status -ne 0 ]]; then
    tail -n 60 "$log"
    echo "fuzz_$target: FINDING (exit $status); input kept as:" >&2
    ls -1 "${artifacts}"* 2>/dev/null | grep -E '(crash|leak|timeout|oom|slow-unit)-' >&2 || true
    exit 1
fi
