#!/usr/bin/env bash
# Times snaplore-cli index against snaplore-cli thumbs on one folder of camera pictures, warm cache,
# whole processes:
#   index   snaplore-cli index --cell 160x120 FOLDER      (target: <= 1.2 x thumbs)
#   thumbs  snaplore-cli thumbs --out OUT FILES...         (the camera's thumbnails where present)
#   thumbs --no-exif-thumbnails                             (every picture decoded), for reference
#
#   bench/index-compare.sh [FOLDER]
#
# FOLDER defaults to the camera pictures of ../shared/corpus (files over 700 KB that the corpus
# lists as sound), copied until there are COUNT files (default 500).
# Environment: SNAPLORE_BUILD_DIR (a build with cli/snaplore-cli; default: a Release build in
# build-release), RUNS (timed runs per command, default 3), COUNT.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(realpath -m "$root/../shared/corpus")
folder=${1:-}
runs=${RUNS:-3}
count=${COUNT:-500}

work=$(mktemp -d "${TMPDIR:-/tmp}/snaplore-index-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

command -v hyperfine >/dev/null || {
    echo "installing hyperfine" >&2
    sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends hyperfine >/dev/null
}

dir=${SNAPLORE_BUILD_DIR:-$root/build-release}
if [[ -z ${SNAPLORE_BUILD_DIR:-} ]]; then
    [[ -f $dir/build.ninja ]] || cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNAPLORE_TESTS=OFF >/dev/null
    cmake --build "$dir" --target snaplore-cli >/dev/null
fi
cli=$dir/cli/snaplore-cli
[[ -x $cli ]] || { echo "no snaplore-cli in $dir" >&2; exit 1; }

files=()
if [[ -n $folder ]]; then
    while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$folder" -maxdepth 1 -type f -iname '*.jp*g' -print0 | sort -z)
else
    while IFS= read -r f; do files+=("$corpus/$f"); done < <(awk -F'\t' 'NR > 1 && $15 == "ok" && $2 > 700000 {print $1}' "$corpus/MANIFEST.tsv")
fi
[[ ${#files[@]} -gt 0 ]] || { echo "no pictures" >&2; exit 1; }
mkdir -p "$work/pics"
for ((i = 0; i < count; i++)); do
    f=${files[$((i % ${#files[@]}))]}
    install -m 644 "$f" "$work/pics/$(printf '%04d' "$i")_$(basename "$f" | tr -c 'A-Za-z0-9._\n-' '_')"
done
echo "pictures: $count files from ${#files[@]} camera pictures, $(($(du -cb "$work"/pics/* | tail -1 | cut -f1) / 1048576)) MiB"

hyperfine --warmup 1 --runs "$runs" --style basic --export-json "$work/r.json" \
    --prepare "rm -rf '$work/out' '$work/sheet.jpg'; mkdir -p '$work/out'" \
    -n index "'$cli' index --cell 160x120 --out '$work/sheet.jpg' '$work/pics'" \
    -n thumbs "'$cli' thumbs --out '$work/out' '$work'/pics/*" \
    -n thumbs-decoded "'$cli' thumbs --no-exif-thumbnails --out '$work/out' '$work'/pics/*"
python3 - "$work/r.json" <<'PY'
import json, sys
t = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
ratio = t["index"] / t["thumbs"]
print(f"\n  index / thumbs         = {ratio:.2f} (target <= 1.2: {'met' if ratio <= 1.2 else 'MISSED'})")
print(f"  index / thumbs-decoded = {t['index'] / t['thumbs-decoded']:.2f}")
PY
