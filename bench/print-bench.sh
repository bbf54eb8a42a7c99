#!/usr/bin/env bash
# Prints 100 camera-sized pictures (12 megapixels, 4000 x 3000) at "4 x 6" "Multiple/Sheet" into a
# PDF with snaplore-cli print, and reports the time, the PDF's size and the peak resident memory
# (target < 400 MB: one picture is held at a time, decoded at the size its slot needs).
#
#   bench/print-bench.sh [COUNT]
#
# Environment: SNAPLORE_BUILD_DIR (a build with cli/snaplore-cli; default: build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${SNAPLORE_BUILD_DIR:-$root/build}
cli=$build/cli/snaplore-cli
count=${1:-100}
[[ -x $cli ]] || { echo "no $cli; build first" >&2; exit 2; }
command -v convert >/dev/null || { echo "needs ImageMagick's convert" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "needs /usr/bin/time (package time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/snaplore-print-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A picture with a camera picture's size and detail; every copy is decoded on its own.
convert -size 4000x3000 plasma:fractal -quality 90 "$work/base.jpg"
for i in $(seq -w 1 "$count"); do cp "$work/base.jpg" "$work/IMG_$i.jpg"; done

/usr/bin/time -v "$cli" print --pdf "$work/out.pdf" --paper letter --size 4x6 --layout multiple \
    "$work"/IMG_*.jpg >/dev/null 2>"$work/time.log"
seconds=$(awk -F': ' '/Elapsed/ {print $2}' "$work/time.log")
peak=$(awk -F': ' '/Maximum resident/ {print int($2 / 1024)}' "$work/time.log")
size=$(stat -c %s "$work/out.pdf")
echo "pictures:     $count (4000 x 3000, $(stat -c %s "$work/base.jpg") bytes each)"
echo "time:         $seconds"
echo "PDF:          $((size / 1048576)) MB, $(pdfinfo "$work/out.pdf" | awk '/Pages/ {print $2}') pages"
echo "peak memory:  $peak MB (target < 400 MB: $([[ $peak -lt 400 ]] && echo met || echo MISSED))"
