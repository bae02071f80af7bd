#!/usr/bin/env bash
# Times talvore-extract against mutool extract (a peer tool, run for
# comparison) on the same files in the same run:
#   - raw, jpg and png on the conversion set: our time, mutool's time, the
#     time ratio and the output-bytes ratio (png also compares PNG bytes);
#   - the text-heavy manual, where nearly every page reaches no image;
#   - --list on the manual and on the 200-page image set, against
#     interpreting the same pages in raw mode;
#   - --alpha against a plain png run on the masked set;
#   - the peak memory of each of our runs.
# Times are the best of REPEAT runs (default 3).
# usage: bench/extract-bench.sh [DIR] [BUILD]   (makes DIR with make-bench-set.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-/tmp/talvore-bench}
build=${2:-build/default}
repeat=${REPEAT:-3}
extract="$build/src/cli/talvore-extract"
[ -x "$extract" ] || cmake --build "$build" --target talvore-extract
[ -f "$dir/convert-01.pdf" ] && [ -f "$dir/manual.pdf" ] && [ -f "$dir/masked.pdf" ] ||
    bench/make-bench-set.sh "$dir" "$build"

need=()
command -v mutool >/dev/null || need+=(mupdf-tools)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

out=$(mktemp -d /tmp/talvore-bench-out.XXXXXX)
trap 'rm -rf "$out"' EXIT
measure="$out/measure"

# timed LABEL COMMAND...: runs COMMAND REPEAT times in a clean $out/x and
# keeps the best wall time and the largest peak RSS in $best and $rss.
timed() {
    local label=$1; shift
    best="" rss=0
    for ((i = 0; i < repeat; i++)); do
        rm -rf "$out/x" && mkdir -p "$out/x"
        sync
        # Wall time in nanoseconds: time's own is in hundredths, too coarse
        # for the manual.
        local start end
        start=$(date +%s%N)
        if ! /usr/bin/time -f "%M" -o "$measure" "$@" >/dev/null 2>"$out/err"; then
            echo "$label: failed: $(head -n 3 "$out/err")" >&2
        fi
        end=$(date +%s%N)
        local t m
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
        read -r m < <(tail -n 1 "$measure")
        best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
        if ((m > rss)); then rss=$m; fi
    done
}
bytes() { find "$out/x" -type f ${1:+-name "$1"} -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }

# mutool extract writes into the current folder with names of its own, so
# each PDF gets its own folder.
mutool_extract() {
    local f n=0
    for f in "$@"; do
        n=$((n + 1))
        mkdir -p "$out/x/$n"
        (cd "$out/x/$n" && mutool extract "$f")
    done
}
export -f mutool_extract
export out

inputs=("$(cd "$dir" && pwd)"/convert-*.pdf)
echo "conversion set: ${#inputs[@]} files, $(cat "${inputs[@]}" | wc -c) bytes; $(nproc) cores; best of $repeat"

timed mutool bash -c 'mutool_extract "$@"' - "${inputs[@]}"
mu_time=$best mu_bytes=$(bytes) mu_png=$(bytes '*.png')
printf '%-8s %8s %8s %7s %8s %9s\n' job ours mutool ratio bytes peak-RSS
for job in raw jpg png; do
    timed "$job" "$extract" -f "$job" -o "$out/x" "${inputs[@]}"
    ours=$(bytes)
    awk -v j="$job" -v t="$best" -v m="$mu_time" -v b="$ours" -v mb="$mu_bytes" -v r="$rss" 'BEGIN {
        printf "%-8s %7.2fs %7.2fs %6.2fx %7.2fx %7.0f MB\n", j, t, m, t / m, b / mb, r / 1024 }'
    if [ "$job" = png ]; then
        ours_png=$(bytes '*.png')
        awk -v o="$ours_png" -v m="$mu_png" 'BEGIN {
            printf "png bytes: ours %d, mutool %d (%.3fx)\n", o, m, o / m }'
    fi
done

manual=$(cd "$dir" && pwd)/manual.pdf
timed mutool bash -c 'mutool_extract "$@"' - "$manual"
mu_time=$best
timed manual "$extract" -f png -o "$out/x" "$manual"
awk -v t="$best" -v m="$mu_time" -v r="$rss" -v p="$(stat -c %s "$manual")" 'BEGIN {
    printf "manual (%d bytes): ours %.3fs, mutool %.3fs, %.2fx, peak RSS %.0f MB\n", p, t, m, t / m, r / 1024 }'

# A listing costs what interpreting the pages costs; raw mode interprets and
# writes.
images=$(cd "$dir" && pwd)/images.pdf
for pdf in "$manual" "$images"; do
    timed list "$extract" --list -o "$out/x" "$pdf"
    list_time=$best
    timed raw "$extract" -f raw -o "$out/x" "$pdf"
    awk -v f="$(basename "$pdf")" -v l="$list_time" -v r="$best" 'BEGIN {
        printf "--list %s: %.3fs; a raw run %.3fs\n", f, l, r }'
done

masked=$(cd "$dir" && pwd)/masked.pdf
timed png "$extract" -f png -o "$out/x" "$masked"
plain_time=$best plain_bytes=$(bytes)
timed alpha "$extract" -f png --alpha -o "$out/x" "$masked"
alpha_time=$best alpha_bytes=$(bytes) alpha_rss=$rss
# mutool writes each mask as an image of its own beside the image.
timed mutool bash -c 'mutool_extract "$@"' - "$masked"
awk -v p="$plain_time" -v a="$alpha_time" -v pb="$plain_bytes" -v ab="$alpha_bytes" -v r="$alpha_rss" \
    -v m="$best" -v mb="$(bytes)" 'BEGIN {
    printf "--alpha png on masked.pdf: %.2fs against plain png %.2fs (%.2fx), bytes %.2fx, peak RSS %.0f MB\n",
        a, p, a / p, ab / pb, r / 1024
    printf "  mutool on masked.pdf: %.2fs (ours with --alpha %.2fx), bytes (ours %.2fx)\n", m, a / m, ab / mb }'
