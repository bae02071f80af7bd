#!/usr/bin/env bash
# Makes the extraction benchmark set with our own PDF writer:
#   DIR/bench-01.pdf .. bench-10.pdf  (20 pages each; every page a DCT photo,
#     a Flate RGB and a Flate grey image, a 1-bit 150 dpi scan and a mask)
#   DIR/manual.pdf                    (1000 text pages, 8 figures, an
#                                      embedded TrueType body font)
# usage: bench/make-bench-set.sh [DIR] [BUILD]   (default /tmp/talvore-bench, build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-/tmp/talvore-bench}
build=${2:-build/default}
make_pdfs="$build/tests/talvore-make-pdfs"
[ -x "$make_pdfs" ] || cmake --build "$build" --target talvore-make-pdfs
mkdir -p "$dir"
"$make_pdfs" bench-set "$dir" 10 20
# The manual embeds a TrueType body font when the system has one.
font=/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf
[ -f "$font" ] || font=""
"$make_pdfs" manual "$dir/manual.pdf" 1000 $font
du -sh "$dir"/*.pdf | tail -n 12
