#!/usr/bin/env bash
# What keeping a catalog current costs `snaplore-cli set`, in a catalogued folder of N camera
# pictures (copies of the corpus's exif-samples and tests/data), warm cache:
#   set-catalogued   set --headline of one picture in the folder, its catalog updated
#   set-plain        the same picture written in a copy of the folder without a catalog
#   catalog-once     the catalog's bytes written once and flushed (dd conv=fsync): the goal for
#                    what the update may add
#
#   bench/catalog-upkeep.sh [N]        (default 2000; RUNS timed runs each, default 10)
# Environment: SNAPLORE_BUILD_DIR as for scripts/bench-compare.sh.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/benchlib.sh
source "$root/bench/benchlib.sh"
count=${1:-2000}
runs=${RUNS:-10}
bench_build_cli

corpus=$(realpath -m "$root/../shared/corpus")
mapfile -t sources < <(find "$corpus/exif-samples" "$root/tests/data" -maxdepth 1 -iname '*.jpg' | sort)
[[ ${#sources[@]} -gt 0 ]] || { echo "no camera pictures found" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/snaplore-upkeep.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/catalogued" "$work/plain"
for ((i = 0; i < count; i++)); do
    src=${sources[i % ${#sources[@]}]}
    name=$(printf '%05d_%s' "$i" "$(basename "$src")")
    cp "$src" "$work/catalogued/$name"
    cp "$src" "$work/plain/$name"
done
"$cli" catalog create "$work/catalogued" >/dev/null
catalog=$work/catalogued/Snaplore.sidx
one=$(basename "$(find "$work/catalogued" -name '*.jpg' | sort | head -n 1)")

# mean_ms COMMAND...: the mean wall time of RUNS runs, in milliseconds.
mean_ms() {
    local total=0 start end
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        total=$((total + end - start))
    done
    echo $((total / runs / 1000000))
}

n=0
set_one() { n=$((n + 1)); "$cli" set --headline "Headline $n" "$1/$one"; }
printf 'pictures\t%d\ncatalog\t%d bytes\n' "$count" "$(stat -c %s "$catalog")"
printf 'set-catalogued\t%d ms\n' "$(mean_ms set_one "$work/catalogued")"
printf 'set-plain\t%d ms\n' "$(mean_ms set_one "$work/plain")"
printf 'catalog-once\t%d ms\n' "$(mean_ms dd if="$catalog" of="$work/copy.sidx" bs=1M conv=fsync status=none)"
# The update left the catalog as a fresh create writes it.
cp "$catalog" "$work/updated.sidx"
"$cli" catalog create "$work/catalogued" >/dev/null
cmp -s "$catalog" "$work/updated.sidx" && echo "catalog after set equals a fresh create" ||
    { echo "catalog after set differs from a fresh create" >&2; exit 1; }
