#!/usr/bin/env bash
# Times a memory card's import against a plain copy of the same files, whole processes, on one disk:
#   snaplore-cli import --delete CARD DEST   (dated folders; each copy flushed, read back and
#                                             compared before its card file is deleted)
#   vs  cp -r CARD DEST && sync               (target: snaplore <= 1.5 x)
# and the peak resident memory of the import.
#
#   bench/import-compare.sh [FOLDER]
#
# The card is COUNT pictures (default 500) in camera folders of 100 (DCIM/100CAMRA, ...), made from
# the camera pictures of FOLDER, or of ../shared/corpus (files over 700 KB that the corpus lists as
# sound). Each run copies the card afresh before it is timed (the import empties it). By default the
# card stays in the page cache, the hardest case for the import, whose checks read each file again;
# COLD=1 (as root) drops the cache first, as when the pictures come from a real card.
# Environment: SNAPLORE_BUILD_DIR (a build with cli/snaplore-cli; default: a Release build in
# build-release), RUNS (timed runs per command, default 5), COUNT, COLD.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(realpath -m "$root/../shared/corpus")
folder=${1:-}
runs=${RUNS:-5}
count=${COUNT:-500}
# shellcheck source=bench/benchlib.sh
source "$root/bench/benchlib.sh"


make_card() {
    local files=() f i
    if [[ -n $folder ]]; then
        while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$folder" -maxdepth 1 -type f -iname '*.jp*g' -print0 | sort -z)
    else
        while IFS= read -r f; do files+=("$corpus/$f"); done < <(awk -F'\t' 'NR > 1 && $15 == "ok" && $2 > 700000 {print $1}' "$corpus/MANIFEST.tsv")
    fi
    [[ ${#files[@]} -gt 0 ]] || { echo "no pictures" >&2; exit 1; }
    for ((i = 0; i < count; i++)); do
        local dir
        dir=$work/card/DCIM/$((100 + i / 100))CAMRA
        mkdir -p "$dir"
        install -m 644 -p "${files[i % ${#files[@]}]}" "$(printf '%s/IMG_%04d.JPG' "$dir" "$((i + 1))")"
    done
    local bytes
    bytes=$(du -sb "$work/card" | cut -f1)
    echo "card: $count pictures from ${#files[@]} camera files, $((bytes / 1048576)) MiB"
}

compare_import() {
    local src=$work/src dest=$work/dest
    local fresh="rm -rf '$src' '$dest' && cp -a '$work/card' '$src' && mkdir '$dest' && sync"
    local cache=warm
    if [[ ${COLD:-0} == 1 ]]; then
        if [[ $(id -u) -eq 0 ]]; then
            fresh+=" && echo 3 > /proc/sys/vm/drop_caches"
            cache=cold
        else
            echo "COLD=1 needs root to drop the page cache; the card stays warm" >&2
        fi
    fi
    echo
    echo "== import of $count pictures, $cache card"
    hyperfine --runs "$runs" --style basic --export-json "$work/import.json" --prepare "$fresh" \
        -n snaplore "'$cli' import --delete '$src' '$dest' >/dev/null" \
        -n "cp+sync" "cp -r '$src'/. '$dest'/ && sync"
    python3 - "$work/import.json" <<'PY'
import json, sys
t = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
ratio = t["snaplore"] / t["cp+sync"]
print(f'\n  snaplore / (cp -r + sync) = {ratio:.2f} (target <= 1.5: {"met" if ratio <= 1.5 else "MISSED"})')
PY
    # Every picture arrived and the card was emptied.
    bash -c "$fresh"
    "$cli" import --delete "$src" "$dest" >/dev/null
    local arrived left
    arrived=$(find "$dest" -type f -name '*.JPG' | wc -l)
    left=$(find "$src" -type f | wc -l)
    echo "  check: $arrived pictures in dated folders, $left files left on the card"
}

compare_memory() {
    local src=$work/src dest=$work/dest
    rm -rf "$src" "$dest" && cp -a "$work/card" "$src" && mkdir "$dest"
    /usr/bin/time -v -o "$work/time.txt" "$cli" import --delete "$src" "$dest" >/dev/null 2>&1
    awk -F': ' '/Maximum resident set size/ {printf "  peak RSS of the import: %d KiB\n", $2}' "$work/time.txt"
}

bench_install hyperfine:hyperfine /usr/bin/time:time
bench_build_cli
# In the build folder, on the disk of the checkout, not a tmpfs: the comparison is about getting
# pictures onto a disk.
work=$(mktemp -d "$(dirname "$(dirname "$cli")")/import-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
make_card
compare_import
compare_memory
