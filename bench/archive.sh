#!/usr/bin/env bash
# A whole archive in catalogs: FOLDERS yearly folders of PER pictures each (hard links of the
# corpus's camera pictures, captioned per folder, so the catalogs hold real headers), a catalog in
# every folder and a root catalog that takes in the subfolders' entries. Then, whole process:
#   list      snaplore-cli catalog list of the root
#   search    snaplore-cli search of the root for a word that a few hundred entries hold
#   create    snaplore-cli catalog create --subfolders of the root
# each with its wall time, its peak resident size and its peak anonymous memory (the process's own,
# without mapped file pages), warm cache, and once with a cold cache where the machine lets us drop
# it.
#
#   bench/archive.sh [FOLDERS] [PER]     (default 10 folders of 10000)
# Environment: ARCHIVE (where the archive is built and kept, default /tmp/snaplore-archive; an
# archive of the same shape there is used again), SNAPLORE_BUILD_DIR as for scripts/bench-compare.sh.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/benchlib.sh
source "$root/bench/benchlib.sh"
folders=${1:-10}
per=${2:-10000}
archive=${ARCHIVE:-${TMPDIR:-/tmp}/snaplore-archive}
bench_build_cli
bench_install python3:python3

corpus=$(realpath -m "$root/../shared/corpus")
mapfile -t sources < <(find "$corpus/exif-samples" -maxdepth 2 -iname '*.jpg' -size -3M | sort)
[[ ${#sources[@]} -gt 0 ]] || { echo "no camera pictures found in $corpus" >&2; exit 1; }

shape="$folders x $per"
if [[ ! -f $archive/.shape || $(cat "$archive/.shape") != "$shape" ]]; then
    rm -rf "$archive"
    mkdir -p "$archive/.seeds"
    echo "building $shape pictures in $archive" >&2
    for ((f = 0; f < folders; f++)); do
        year=$((2000 + f))
        seeds=$archive/.seeds/$year
        mkdir -p "$seeds" "$archive/$year"
        # Every camera picture once per folder, captioned with one of ten events of the year; the
        # pictures readable enough to caption are the seeds.
        n=0
        for src in "${sources[@]}"; do
            seed=$seeds/$(printf '%03d.jpg' "$n")
            cp "$src" "$seed"
            chmod u+w "$seed"
            if "$cli" set --event "Trip $((n % 10)) of $year" --headline "Day $n in $year" \
                --person Ann --person Bob --city "Town $((n % 7))" \
                --datetime "$year-0$((1 + n % 9))-1$((n % 9)) 12:00:00" \
                "$seed" >/dev/null 2>&1; then
                n=$((n + 1))
            else
                rm -f "$seed"
            fi
        done
        # A few dozen pictures per folder hold the word the search looks for: copies, not links,
        # so that only they carry it.
        for ((i = 0; i < per; i++)); do
            name=$archive/$year/$(printf 'IMG_%05d.jpg' "$i")
            if ((i % 330 == 7)); then
                cp "$seeds/$(printf '%03d.jpg' $((i % n)))" "$name"
                "$cli" set --headline "Lighthouse at dusk $i" "$name" >/dev/null
            else
                ln "$seeds/$(printf '%03d.jpg' $((i % n)))" "$name"
            fi
        done
        "$cli" catalog create "$archive/$year" >/dev/null
    done
    "$cli" catalog create --subfolders "$archive" >/dev/null
    echo "$shape" >"$archive/.shape"
fi

# measure NAME COMMAND...: wall seconds, peak resident and peak anonymous memory in MB.
measure() {
    local name=$1
    shift
    python3 - "$name" "$@" <<'EOF'
import os, subprocess, sys, time, threading
name, cmd = sys.argv[1], sys.argv[2:]
start = time.monotonic()
proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
peak = {"rss": 0, "anon": 0}
def sample():
    while proc.poll() is None:
        try:
            with open(f"/proc/{proc.pid}/status") as status:
                for line in status:
                    key, _, value = line.partition(":")
                    if key == "VmRSS": peak["rss"] = max(peak["rss"], int(value.split()[0]))
                    if key == "RssAnon": peak["anon"] = max(peak["anon"], int(value.split()[0]))
        except OSError:
            pass
        time.sleep(0.005)
watcher = threading.Thread(target=sample)
watcher.start()
code = proc.wait()
elapsed = time.monotonic() - start
watcher.join()
print(f"{name}\t{elapsed:.2f} s\tpeak RSS {peak['rss'] // 1024} MB\tpeak anonymous {peak['anon'] // 1024} MB\texit {code}")
EOF
}

drop_cache() { sync && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null; }

printf 'pictures\t%d\nroot catalog\t%d MB\n' $((folders * per)) $(($(stat -c %s "$archive/Snaplore.sidx") / 1048576))
"$cli" search "$archive" --other lighthouse >/dev/null 2>&1 || true  # warm the cache
for pass in warm cold; do
    if [[ $pass == cold ]] && ! drop_cache; then
        echo "cold: the page cache cannot be dropped here" >&2
        break
    fi
    echo "# $pass cache"
    measure list "$cli" catalog list "$archive"
    [[ $pass == cold ]] && drop_cache
    measure search "$cli" search "$archive" --other lighthouse
    [[ $pass == cold ]] && drop_cache
    measure create "$cli" catalog create --subfolders "$archive"
done
echo "search finds $("$cli" search "$archive" --other lighthouse 2>/dev/null | wc -l) pictures"
