#!/usr/bin/env bash
# Times snaplore-cli against general metadata tools on one folder of JPEGs, warm cache, each tool
# handling the whole folder in one run:
#   info  snaplore-cli info --json   vs  exiv2 -pa             vs  exiftool -fast
#   set   snaplore-cli set --headline vs exiv2 -M"set ..."     vs  exiftool -IPTC:Headline=
#         (on fresh copies, each command ending with sync so that flushing counts for all three)
#   memory  peak resident memory of a rewrite of the largest file, against its size
#   catalog snaplore-cli catalog create vs info --json; catalog list vs cat of the catalog file
#
#   scripts/bench-compare.sh [FOLDER]
#
# FOLDER defaults to the camera pictures of ../shared/corpus/exif-samples. Files that any of the
# tools cannot rewrite are left out, so every tool works on the same set.
# Environment: SNAPLORE_BUILD_DIR (a build with cli/snaplore-cli; default: a Release build in
# build-release), RUNS (timed runs per command, default 10), COMPARISONS (default
# "info set memory catalog"), CATALOG_COPIES (default 20).
#
# A new comparison is a function compare_NAME that calls race (timings) or max_rss_kib, and its name
# in COMPARISONS.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/benchlib.sh
source "$root/bench/benchlib.sh"
corpus=$(realpath -m "$root/../shared/corpus")
folder=$(realpath -m "${1:-$corpus/exif-samples}")
runs=${RUNS:-10}
comparisons=${COMPARISONS:-info set memory catalog}
headline=${HEADLINE:-Harbour at dawn}

[[ -d $folder ]] || { echo "usage: $0 [FOLDER]  (no folder $folder)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/snaplore-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
results=$work/results.tsv  # comparison, tool, mean seconds, standard deviation
: >"$results"

# --- tools ----------------------------------------------------------------------------------------

ensure_tools() {
    bench_install exiv2:exiv2 exiftool:libimage-exiftool-perl hyperfine:hyperfine /usr/bin/time:time
}

# --- the pictures ---------------------------------------------------------------------------------

# Copies the folder's JPEGs, flat, with plain names (no quoting trouble in the timed commands), and
# keeps those that every tool reads and rewrites without an error.
make_folder() {
    local manifest=$corpus/MANIFEST.tsv
    mkdir -p "$work/orig" "$work/probe"
    local n=0 kept=0 skipped=() f rel name
    while IFS= read -r -d '' f; do
        # The corpus manifest knows which files are broken; elsewhere the probe below decides.
        rel=${f#"$corpus"/}
        if [[ -f $manifest && $rel != "$f" ]] &&
            ! awk -F'\t' -v p="$rel" '$1 == p && $15 == "ok" {found = 1} END {exit !found}' "$manifest"; then
            skipped+=("$rel (malformed)")
            continue
        fi
        name=$(printf '%03d' "$n")_$(basename "$f" | tr -c 'A-Za-z0-9._\n-' '_')
        n=$((n + 1))
        install -m 644 "$f" "$work/probe/$name"
        if "$cli" info "$work/probe/$name" >/dev/null 2>&1 && exiv2 -pa "$work/probe/$name" >/dev/null 2>&1 &&
            exiftool -fast "$work/probe/$name" >/dev/null 2>&1 &&
            "$cli" set --headline "$headline" "$work/probe/$name" >/dev/null 2>&1 &&
            install -m 644 "$f" "$work/probe/$name" &&
            exiv2 -M"set Iptc.Application2.Headline String $headline" "$work/probe/$name" >/dev/null 2>&1 &&
            install -m 644 "$f" "$work/probe/$name" &&
            exiftool -q -overwrite_original "-IPTC:Headline=$headline" "$work/probe/$name" >/dev/null 2>&1; then
            install -m 644 "$f" "$work/orig/$name"
            kept=$((kept + 1))
        else
            skipped+=("$f (a tool failed)")
        fi
        rm -f "$work/probe/$name"
    done < <(find "$folder" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -print0 | sort -z)
    [[ $kept -gt 0 ]] || { echo "no usable JPEGs in $folder" >&2; exit 1; }
    bytes=$(du -cb "$work"/orig/* | tail -1 | cut -f1)
    echo "pictures: $kept files, $((bytes / 1024)) KiB, from $folder"
    local s
    for s in "${skipped[@]+"${skipped[@]}"}"; do echo "  skipped: $s"; done
}

# --- measuring ------------------------------------------------------------------------------------

# race NAME PREPARE LABEL COMMAND [LABEL COMMAND ...]: hyperfine over the commands (the first is
# Snaplore's), warm cache; PREPARE (may be empty) runs before every timing. Means go to $results.
race() {
    local name=$1 prepare=$2
    shift 2
    local args=(--warmup 2 --runs "$runs" --style basic --export-json "$work/$name.json")
    [[ -n $prepare ]] && args+=(--prepare "$prepare")
    while [[ $# -gt 0 ]]; do
        args+=(-n "$1" "$2")
        shift 2
    done
    echo
    echo "== $name"
    hyperfine "${args[@]}"
    python3 - "$work/$name.json" "$name" >>"$results" <<'PY'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(f'{sys.argv[2]}\t{r["command"]}\t{r["mean"]:.6f}\t{r["stddev"] or 0:.6f}')
PY
}

# Maximum resident set size in KiB of one command.
max_rss_kib() {
    /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>&1
    awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt"
}

# --- the comparisons ------------------------------------------------------------------------------

compare_info() {
    race info "" \
        snaplore "'$cli' info --json '$work'/orig/*" \
        exiv2 "exiv2 -pa '$work'/orig/*" \
        exiftool "exiftool -fast '$work'/orig/*"
}

compare_set() {
    local fresh="rm -rf '$work/set' && cp -r '$work/orig' '$work/set' && sync"
    race set "$fresh" \
        snaplore "'$cli' set --headline '$headline' '$work'/set/* && sync" \
        exiv2 "exiv2 -M'set Iptc.Application2.Headline String $headline' '$work'/set/* && sync" \
        exiftool "exiftool -q -overwrite_original '-IPTC:Headline=$headline' '$work'/set/* && sync"
}

compare_memory() {
    local largest size
    largest=$(ls -S "$work"/orig/* | head -1)
    size=$(stat -c %s "$largest")
    echo
    echo "== memory: rewrite of the largest file, $(basename "$largest"), $((size / 1024)) KiB"
    mkdir -p "$work/mem"
    local tool kib
    for tool in snaplore exiv2 exiftool; do
        install -m 644 "$largest" "$work/mem/p.jpg"
        case $tool in
            snaplore) kib=$(max_rss_kib "$cli" set --headline "$headline" "$work/mem/p.jpg") ;;
            exiv2) kib=$(max_rss_kib exiv2 -M"set Iptc.Application2.Headline String $headline" "$work/mem/p.jpg") ;;
            exiftool) kib=$(max_rss_kib exiftool -q -overwrite_original "-IPTC:Headline=$headline" "$work/mem/p.jpg") ;;
        esac
        awk -v t="$tool" -v k="$kib" -v s="$size" \
            'BEGIN {printf "  %-9s peak RSS %7d KiB  (%.1f x the file size)\n", t, k, k * 1024 / s}'
    done
}

# The catalog, on the folder copied CATALOG_COPIES times (default 20) so that the catalog has a real
# one's size: creating it against info --json over the same files, loading it with every entry
# (catalog list) against reading its bytes (cat), and the peak memory of that load.
compare_catalog() {
    local dir=$work/catalog copies=${CATALOG_COPIES:-20} i f
    mkdir -p "$dir"
    for ((i = 0; i < copies; i++)); do
        for f in "$work"/orig/*; do install -m 644 "$f" "$dir/${i}_$(basename "$f")"; done
    done
    "$cli" catalog create "$dir" >/dev/null
    local size
    size=$(stat -c %s "$dir/Snaplore.sidx")
    echo
    echo "== catalog: $(ls "$dir"/*.jpg | wc -l) pictures, catalog $((size / 1024)) KiB"
    race catalog-create "" \
        snaplore "'$cli' catalog create '$dir'" \
        info-json "'$cli' info --json '$dir'/*.jpg"
    race catalog-load "" \
        snaplore "'$cli' catalog list '$dir'" \
        cat "cat '$dir/Snaplore.sidx'"
    local kib base
    kib=$(max_rss_kib "$cli" catalog list "$dir")
    base=$(max_rss_kib "$cli" catalog version "$dir")
    awk -v k="$kib" -v b="$base" -v s="$size" 'BEGIN {
        printf "  load peak RSS %d KiB, %d KiB above the program alone (%.2f x the catalog size; target <= 1.5 x + 10 MB: %s)\n",
            k, k - b, (k - b) * 1024 / s, ((k - b) * 1024 <= 1.5 * s + 10 * 1048576) ? "met" : "MISSED" }'
}

# Mean times and the ratios Snaplore / other, with the targets where there are any.
summary() {
    [[ -s $results ]] || return 0
    echo
    echo "== summary (mean of $runs runs; ratio = snaplore / other, lower is better)"
    python3 - "$results" <<'PY'
import sys
targets = {("info", "exiv2"): 0.25, ("set", "exiv2"): 0.5, ("catalog-create", "info-json"): 1.3,
           ("catalog-load", "cat"): 3.0}
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1])]
by = {}
for name, tool, mean, sd in rows:
    by.setdefault(name, []).append((tool, float(mean), float(sd)))
for name, tools in by.items():
    base = tools[0]
    line = [f"{name:8}"] + [f"{t} {m * 1000:8.1f} ms ± {s * 1000:5.1f}" for t, m, s in tools]
    print("  " + "   ".join(line))
    for t, m, _ in tools[1:]:
        ratio = base[1] / m
        target = targets.get((name, t))
        verdict = f"  (target <= {target:.2f}: {'met' if ratio <= target else 'MISSED'})" if target else ""
        print(f"           {base[0]} / {t}: {ratio:.3f}{verdict}")
PY
}

ensure_tools
bench_build_cli
make_folder
for c in $comparisons; do
    "compare_$c"
done
summary
