#!/usr/bin/env bash
# Times the window program's start: from the start of the process to its main window mapped on the
# screen, with a folder of pictures to open, over RUNS runs (a fresh settings folder each time, so
# every run is a first start). Runs under its own Xvfb when DISPLAY is not set.
#
#   bench/startup.sh [RUNS] [PROGRAM]
#
# Needs xdotool (and Xvfb without a display). Default PROGRAM: build/app/snaplore.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10}
program=${2:-$root/build/app/snaplore}
[[ -x $program ]] || { echo "no $program; build first" >&2; exit 2; }
command -v xdotool >/dev/null || { echo "needs xdotool" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/snaplore-startup.XXXXXX")
xvfb=
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
if [[ -z ${DISPLAY:-} ]]; then
    command -v Xvfb >/dev/null || { echo "needs Xvfb without a display" >&2; exit 2; }
    Xvfb :87 -screen 0 1400x900x24 >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=:87
    sleep 1
fi
mkdir -p "$work/pictures"
cp "$root"/tests/data/*.jpg "$work/pictures/"

times=()
for _ in $(seq "$runs"); do
    rm -rf "$work/home"
    mkdir -p "$work/home"
    start=$(date +%s%N)
    HOME=$work/home "$program" "$work/pictures" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --name '^Snaplore$' >/dev/null 2>&1; do sleep 0.002; done
    times+=($(( ($(date +%s%N) - start) / 1000000 )))
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "start to main window, ms: $(echo $sorted)"
echo "median: $(printf '%s\n' "$sorted" | sed -n "$(( (runs + 1) / 2 ))p") ms (goal < 500)"
