#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) and runs each for SECONDS.
#
#   scripts/fuzz.sh SECONDS [fuzz_header|fuzz_iptc|fuzz_catalog|fuzz_rewrite ...]
#
# Seeds: tests/data/*.jpg|*.mpo and, when present, every *.jpg/*.jpeg/*.mpo under ../shared/corpus.
# fuzz_header gets the files cut after their header; fuzz_iptc gets the IPTC dataset lists found in
# them; fuzz_rewrite gets the files whole, cut to 64 KB unless the header needs more; fuzz_catalog
# gets catalogs that snaplore-cli (built here too) creates over tests/data and, when present, each
# folder of ../shared/corpus/exif-samples, and over all of it with its subfolders.
# Findings (crash-*, leak-*, timeout-*, oom-*) land in $BUILD/findings/TARGET/; each new one is
# printed (hex dump and report) and the exit status is not 0. BUILD defaults to build-fuzz next to
# the sources; SNAPLORE_FUZZ_JOBS runs that many workers per target (default 1).
set -euo pipefail

usage() { echo "usage: $0 SECONDS [fuzz_header|fuzz_iptc|fuzz_catalog|fuzz_rewrite ...]" >&2; exit 2; }
[[ $# -ge 1 && $1 =~ ^[0-9]+$ ]] || usage
seconds=$1
shift
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(fuzz_header fuzz_iptc fuzz_catalog fuzz_rewrite)

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-fuzz}
corpus_dir=$root/../shared/corpus
jobs=${SNAPLORE_FUZZ_JOBS:-1}

for t in "${targets[@]}"; do
    case $t in fuzz_header | fuzz_iptc | fuzz_catalog | fuzz_rewrite) ;; *) usage ;; esac
done

# Build only the targets: with SNAPLORE_FUZZ every other program would be instrumented too.
if [[ ! -f $build/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DSNAPLORE_FUZZ=ON -DSNAPLORE_TESTS=OFF >/dev/null
fi
extra_targets=()
[[ " ${targets[*]} " == *" fuzz_catalog "* ]] && extra_targets=(snaplore-cli snaplore-cli-image)
cmake --build "$build" --target "${targets[@]}" "${extra_targets[@]+"${extra_targets[@]}"}"

# Seeds are made again on every run, so new corpus files are picked up.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/fuzz_header" "$seeds/fuzz_iptc" "$seeds/fuzz_catalog" "$seeds/fuzz_rewrite"
find "$root/tests/data" -maxdepth 1 \( -name '*.jpg' -o -name '*.mpo' \) -print0 >"$seeds/files"
if [[ -d $corpus_dir ]]; then
    find "$corpus_dir" -type f \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.mpo' \) -print0 >>"$seeds/files"
fi
python3 - "$seeds" <<'PY'
import hashlib, os, struct, sys

out = sys.argv[1]
MAX_HEADER = 256 * 1024
# A save copies the scan data without reading it: a little of it is enough, the header must be whole.
REWRITE_CUT, MAX_REWRITE = 64 * 1024, 128 * 1024

def save(kind, data):
    if data:
        name = hashlib.sha1(data).hexdigest()
        with open(os.path.join(out, kind, name), "wb") as f:
            f.write(data)

def segments(data):
    """(code, payload) of each marker segment up to SOS, and the offset just after SOS's length."""
    pos, found = 2, []
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        while pos < len(data) and data[pos] == 0xFF:
            pos += 1
        if pos + 3 > len(data):
            break
        code, length = data[pos], struct.unpack(">H", data[pos + 1:pos + 3])[0]
        if code == 0xDA:
            return found, pos + 3
        if length < 2:
            break
        found.append((code, data[pos + 3:pos + 1 + length]))
        pos += 1 + length
    return found, None

def iptc_lists(found):
    """The data of each 8BIM 0x0404 resource in the Photoshop segments, joined across segments."""
    stream = b"".join(p[14:] for c, p in found if c == 0xED and p.startswith(b"Photoshop 3.0\0"))
    pos = 0
    while pos + 12 <= len(stream) and stream[pos:pos + 4] == b"8BIM":
        rid = struct.unpack(">H", stream[pos + 4:pos + 6])[0]
        pos += 6
        pos += (1 + stream[pos] + 1) & ~1  # the padded Pascal name
        if pos + 4 > len(stream):
            break
        size = struct.unpack(">I", stream[pos:pos + 4])[0]
        pos += 4
        if rid == 0x0404:
            yield stream[pos:pos + size]
        pos += size + (size & 1)

with open(os.path.join(out, "files"), "rb") as f:
    paths = f.read().split(b"\0")
for path in paths:
    if not path:
        continue
    with open(path, "rb") as f:
        data = f.read()
    found, scan = segments(data)
    # The scan data is never read by the walk: a seed ends shortly after the start of scan.
    save("fuzz_header", data[:min(scan + 16 if scan else len(data), MAX_HEADER)])
    save("fuzz_rewrite", data[:min(max(REWRITE_CUT, scan + 1024 if scan else 0), MAX_REWRITE)])
    for datasets in iptc_lists(found):
        save("fuzz_iptc", datasets)
PY

# The catalog that snaplore-cli creates in FOLDER (a writable copy: the corpus is read-only), kept as
# the seed NAME: catalog_seed NAME FOLDER [--subfolders].
catalog_seed() {
    local name=$1 dir=$2
    shift 2
    # The instrumented program would report Qt's lasting allocations as leaks.
    ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen "$build/cli/snaplore-cli" catalog create "$dir" "$@" \
        >/dev/null 2>&1 || true
    if [[ -s $dir/Snaplore.sidx ]]; then cp "$dir/Snaplore.sidx" "$seeds/fuzz_catalog/$name.sidx"; fi
}
if [[ " ${targets[*]} " == *" fuzz_catalog "* ]]; then
    work=$seeds/catalog-work
    mkdir -p "$work/tests-data"
    install -m 644 -t "$work/tests-data" "$root"/tests/data/*.jpg
    catalog_seed tests-data "$work/tests-data"
    if [[ -d $corpus_dir/exif-samples ]]; then
        cp -r "$corpus_dir/exif-samples" "$work/"
        chmod -R u+w "$work/exif-samples"
        while IFS= read -r -d '' dir; do
            catalog_seed "exif-samples-$(basename "$dir")" "$dir"
        done < <(find "$work/exif-samples" -mindepth 1 -maxdepth 1 -type d -print0 | sort -z)
        catalog_seed exif-samples-top "$work/exif-samples"
        # With the subfolders' catalogs taken in: entries with folder names.
        catalog_seed exif-samples-all "$work/exif-samples" --subfolders
    fi
    rm -rf "$work"
fi
echo "seeds: $(ls "$seeds/fuzz_header" | wc -l) headers, $(ls "$seeds/fuzz_iptc" | wc -l) IPTC lists," \
    "$(ls "$seeds/fuzz_catalog" | wc -l) catalogs, $(ls "$seeds/fuzz_rewrite" | wc -l) pictures"

declare -A max_len=([fuzz_header]=262144 [fuzz_iptc]=70000 [fuzz_catalog]=4194304 [fuzz_rewrite]=131072)
# A save meets markers, datasets and resources alike: its dictionary joins the others.
declare -A dict=([fuzz_header]=header.dict [fuzz_iptc]=iptc.dict [fuzz_rewrite]="header.dict iptc.dict rewrite.dict")
# UBSan stops at the first report so that libFuzzer keeps the input; leaks count as findings.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export QT_QPA_PLATFORM=offscreen

# A finding must be visible in a log read elsewhere (CI): its input as a hex dump, from which
# `xxd -r` makes the file again, and the report.
show_input() {
    echo "-- $1 ($(stat -c %s "$1") bytes)" >&2
    if command -v xxd >/dev/null; then xxd "$1" >&2; else od -Ax -tx1 "$1" >&2; fi
}
# From the report's first line to libFuzzer's summary; the log's end when there is no report.
show_report() {
    echo "-- report ($1)" >&2
    local report
    report=$(awk '/IPTC round trip changed|Rewrite changed|catalog create failed|==[0-9]+==ERROR|runtime error|ERROR: libFuzzer/ { on = 1 }
                  on { print; if (++n >= 80) exit } on && /^SUMMARY/ { exit }' "$1")
    if [[ -n $report ]]; then echo "$report" >&2; else tail -n 30 "$1" >&2; fi
}

status=0
for t in "${targets[@]}"; do
    work=$build/corpus/$t
    findings=$build/findings/$t
    mkdir -p "$work" "$findings"
    log=$build/$t.log
    echo "== $t for ${seconds}s (log: $log)"
    fuzz_args=(-max_total_time="$seconds" -max_len="${max_len[$t]}" -rss_limit_mb=2048 -timeout=10
        -artifact_prefix="$findings/" -print_final_stats=1)
    if [[ -n ${dict[$t]:-} ]]; then
        # shellcheck disable=SC2086 # a list of file names
        (cd "$root/fuzz" && cat ${dict[$t]}) >"$build/$t.dict"
        fuzz_args+=(-dict="$build/$t.dict")
    fi
    if [[ $jobs -gt 1 ]]; then
        fuzz_args+=(-fork="$jobs" -ignore_crashes=0)
    fi
    stamp=$build/.started-$t
    touch "$stamp"
    rc=0
    "$build/fuzz/$t" "${fuzz_args[@]}" "$work" "$seeds/$t" >"$log" 2>&1 || rc=$?
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|cov: .*ft:' "$log" | tail -4 || true
    # Only what this run found counts; older findings stay for inspection.
    if [[ $rc -ne 0 || -n $(find "$findings" -type f -newer "$stamp" -print -quit) ]]; then
        echo "!! $t: finding (exit $rc); inputs in $findings, report in $log" >&2
        while IFS= read -r -d '' file; do
            show_input "$file"
        done < <(find "$findings" -type f -newer "$stamp" -print0)
        show_report "$log"
        status=1
    fi
done
exit $status
