#!/usr/bin/env bash
# Times talvore-extract on the benchmark set in raw, jpg and png modes and on
# the text-heavy manual with and without skipping pages that reach no image.
# Prints images/s and MB/s (MB of PDF input per second, and MB written).
# usage: bench/extract-bench.sh [DIR] [BUILD]   (after bench/make-bench-set.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-/tmp/talvore-bench}
build=${2:-build/default}
extract="$build/src/cli/talvore-extract"
[ -x "$extract" ] || cmake --build "$build" --target talvore-extract
[ -f "$dir/bench-01.pdf" ] || bench/make-bench-set.sh "$dir" "$build"
out=$(mktemp -d /tmp/talvore-bench-out.XXXXXX)
trap 'rm -rf "$out" "$out.err" "$out.every"' EXIT

inputs=("$dir"/bench-*.pdf)
input_bytes=$(cat "${inputs[@]}" | wc -c)

run() { # label, then talvore-extract arguments
    local label=$1; shift
    rm -rf "$out"/*
    sync
    local start end
    start=$(date +%s.%N)
    local status=0
    "$extract" --quiet -o "$out/x" "$@" 2>"$out.err" || status=$?
    end=$(date +%s.%N)
    [ "$status" -eq 0 ] || echo "$label: talvore-extract answered $status: $(head -n 3 "$out.err")" >&2
    local files bytes
    files=$(find "$out" -type f | wc -l)
    bytes=$(du -sb "$out" | cut -f1)
    awk -v l="$label" -v s="$start" -v e="$end" -v f="$files" -v b="$bytes" -v i="$input_bytes" 'BEGIN {
        t = e - s
        printf "%-26s %7.2f s %6d images %8.1f images/s %7.1f MB/s in %7.1f MB/s out\n", l, t, f, f / t, i / t / 1e6, b / t / 1e6
    }'
}

echo "input: ${#inputs[@]} files, $((input_bytes / 1000000)) MB"
run "raw (ppm/pbm)" -f raw "${inputs[@]}"
run "jpg" -f jpg "${inputs[@]}"
run "png" -f png "${inputs[@]}"

if [ -f "$dir/manual.pdf" ]; then
    input_bytes=$(wc -c < "$dir/manual.pdf")
    run "manual, every page" -f png --interpret-every-page "$dir/manual.pdf"
    mv "$out/x" "$out.every"
    run "manual, skipping" -f png "$dir/manual.pdf"
    # Skipping pages that reach no image must not change a single file.
    if diff -r "$out.every" "$out/x" >/dev/null; then
        echo "manual: both runs wrote the same $(ls "$out/x" | wc -l) files, byte for byte"
    else
        echo "manual: the two runs differ!" >&2
        exit 1
    fi
    rm -rf "$out.every"
fi
