#!/usr/bin/env bash
# Makes the extraction benchmark set with our own PDF writer:
#   DIR/convert-01.pdf .. convert-04.pdf  (48 pages, one large image each:
#     12 JPEG photos, 12 Flate RGB screenshots, 12 noisy grey scans and
#     12 1-bit scans)
#   DIR/manual.pdf   (1158 text pages with a few figures and an embedded
#                     TrueType body font)
#   DIR/images.pdf   (200 pages with five images each, for listing)
#   DIR/masked.pdf   (24 pages of images with soft and stencil masks, for
#                     kept transparency)
# usage: bench/make-bench-set.sh [DIR] [BUILD]   (default /tmp/talvore-bench, build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-/tmp/talvore-bench}
build=${2:-build/default}
make_pdfs="$build/tests/talvore-make-pdfs"
[ -x "$make_pdfs" ] || cmake --build "$build" --target talvore-make-pdfs
mkdir -p "$dir"
"$make_pdfs" conversion-set "$dir"
# The manual embeds a TrueType body font when the system has one.
font=/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf
[ -f "$font" ] || font=""
"$make_pdfs" manual "$dir/manual.pdf" 1158 $font
tmp=$(mktemp -d)
"$make_pdfs" bench-set "$tmp" 1 200
mv "$tmp"/bench-01.pdf "$dir/images.pdf"
"$make_pdfs" masked-set "$dir/masked.pdf"
rm -rf "$tmp"
du -sh "$dir"/*.pdf
