#!/usr/bin/env bash
# Times snaplore-cli saveas against other resizers on one folder of camera pictures, warm cache,
# whole processes:
#   resize  snaplore-cli saveas --size 1mp --ratio orginal   (targets: <= 1.5 x vipsthumbnail,
#           vs  vipsthumbnail -s 1024                                   <= 0.5 x convert)
#           vs  convert -resize 1024x1024, one per file
#   memory  peak resident memory of saveas rendering one 20-megapixel picture (target < 250 MB),
#           at 1mp and at its own size with a ratio and the info strip
#   thumbs  snaplore-cli thumbs, with and without the camera's thumbnails
#           vs  vipsthumbnail -s 160
#
#   bench/saveas-compare.sh [FOLDER]
#
# FOLDER defaults to the camera pictures of ../shared/corpus (files over 700 KB that the corpus
# lists as sound), copied COPIES times (default 3) so that a run has a batch's length.
# Environment: SNAPLORE_BUILD_DIR (a build with cli/snaplore-cli; default: a Release build in
# build-release), RUNS (timed runs per command, default 5), COPIES, COMPARISONS (default
# "resize memory thumbs").
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(realpath -m "$root/../shared/corpus")
folder=${1:-}
runs=${RUNS:-5}
copies=${COPIES:-3}
comparisons=${COMPARISONS:-resize memory thumbs}
# shellcheck source=bench/benchlib.sh
source "$root/bench/benchlib.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/snaplore-saveas-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
results=$work/results.tsv
: >"$results"

# ImageMagick itself, not a wrapper that may stand before it in PATH.
convert=/usr/bin/convert
[[ -x $convert ]] || convert=$(command -v convert || true)

ensure_tools() {
    bench_install vipsthumbnail:libvips-tools hyperfine:hyperfine /usr/bin/time:time
    # Only the resize and memory comparisons use ImageMagick.
    [[ " $comparisons " == *" resize "* || " $comparisons " == *" memory "* ]] || return 0
    bench_install "${convert:-/usr/bin/convert}:imagemagick"
    [[ -n $convert && -x $convert ]] || convert=/usr/bin/convert
}

make_folder() {
    mkdir -p "$work/orig"
    local files=() f i
    if [[ -n $folder ]]; then
        while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$folder" -maxdepth 1 -type f -iname '*.jp*g' -print0 | sort -z)
    else
        while IFS= read -r f; do files+=("$corpus/$f"); done < <(awk -F'\t' 'NR > 1 && $15 == "ok" && $2 > 700000 {print $1}' "$corpus/MANIFEST.tsv")
    fi
    [[ ${#files[@]} -gt 0 ]] || { echo "no pictures" >&2; exit 1; }
    for ((i = 0; i < copies; i++)); do
        for f in "${files[@]}"; do install -m 644 "$f" "$work/orig/${i}_$(basename "$f" | tr -c 'A-Za-z0-9._\n-' '_')"; done
    done
    local n bytes
    n=$(ls "$work"/orig | wc -l)
    bytes=$(du -cb "$work"/orig/* | tail -1 | cut -f1)
    echo "pictures: $n files ($((${#files[@]})) pictures x $copies), $((bytes / 1048576)) MiB"
}

race() {
    local name=$1 prepare=$2
    shift 2
    local args=(--warmup 1 --runs "$runs" --style basic --export-json "$work/$name.json" --prepare "$prepare")
    while [[ $# -gt 0 ]]; do
        args+=(-n "$1" "$2")
        shift 2
    done
    echo
    echo "== $name"
    hyperfine "${args[@]}"
    python3 - "$work/$name.json" >>"$results" <<'PY'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(f'{r["command"]}\t{r["mean"]:.4f}')
PY
}

max_rss_kib() {
    /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>&1
    awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt"
}

compare_resize() {
    local out=$work/out
    local clean="rm -rf '$out' && mkdir -p '$out'"
    race resize "$clean" \
        snaplore "'$cli' saveas --out '$out' --size 1mp --ratio orginal '$work'/orig/*" \
        vipsthumbnail "vipsthumbnail -s 1024 -o '$out/%s.jpg' '$work'/orig/*" \
        convert "for f in '$work'/orig/*; do '$convert' \"\$f\" -resize 1024x1024 '$out'/\$(basename \"\$f\"); done"
    awk -F'\t' '{t[$1] = $2} END {
        printf "\n  snaplore / vipsthumbnail = %.2f (target <= 1.5: %s)\n", t["snaplore"] / t["vipsthumbnail"], t["snaplore"] <= 1.5 * t["vipsthumbnail"] ? "met" : "MISSED"
        printf "  snaplore / convert       = %.2f (target <= 0.5: %s)\n", t["snaplore"] / t["convert"], t["snaplore"] <= 0.5 * t["convert"] ? "met" : "MISSED" }' "$results"
}

compare_memory() {
    # A 20-megapixel camera-sized picture made from the largest one.
    local largest
    largest=$(ls -S "$work"/orig/* | head -1)
    "$convert" "$largest" -resize 5472x3648! -quality 92 "$work/20mp.jpg"
    echo
    echo "== memory: one 20-megapixel picture ($(($(stat -c %s "$work/20mp.jpg") / 1024)) KiB)"
    local kib label
    while IFS='|' read -r label args; do
        rm -rf "$work/mem" && mkdir -p "$work/mem"
        # shellcheck disable=SC2086
        kib=$(max_rss_kib "$cli" saveas --out "$work/mem/" $args "$work/20mp.jpg")
        awk -v l="$label" -v k="$kib" 'BEGIN {printf "  %-28s peak RSS %7d KiB (target < 250 MB: %s)\n", l, k, k * 1024 < 250e6 ? "met" : "MISSED"}'
    done <<'EOF'
1mp|--size 1mp --ratio orginal
orginal size, 3x4, info strip|--ratio 3x4 --info
plain copy|--size orginal --ratio orginal --no-crop
EOF
}

compare_thumbs() {
    local out=$work/thumbs
    local clean="rm -rf '$out' && mkdir -p '$out'"
    race thumbs "$clean" \
        thumbs "'$cli' thumbs --out '$out' '$work'/orig/*" \
        thumbs-decoded "'$cli' thumbs --no-exif-thumbnails --out '$out' '$work'/orig/*" \
        vipsthumbnail-160 "vipsthumbnail -s 160 -o '$out/%s.jpg' '$work'/orig/*"
    awk -F'\t' '{t[$1] = $2} END {
        printf "\n  thumbs / vipsthumbnail         = %.2f\n", t["thumbs"] / t["vipsthumbnail-160"]
        printf "  thumbs decoded / vipsthumbnail = %.2f\n", t["thumbs-decoded"] / t["vipsthumbnail-160"] }' "$results"
}

ensure_tools
bench_build_cli
make_folder
for c in $comparisons; do "compare_$c"; done
