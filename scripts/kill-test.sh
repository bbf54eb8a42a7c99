#!/bin/sh
# Kills snaplore-cli at random moments while it writes picture data, many times over, then runs it
# once to the end and checks that no temporary or journal is left and that every picture is whole.
# Some pictures have a second name (a hard link), so that rewrites in place are interrupted too.
# For developers, not CI: it takes a minute or two and wants exiftool.
#
# Usage: scripts/kill-test.sh PATH/TO/snaplore-cli [ROUNDS]
#   CORPUS=folder   pictures to copy (default: the shared corpus's exif-samples)
#   MODE=import     kill `import --delete --overwrite` of a card instead: after every kill each picture
#                   must still be whole on the card or in the destination, and a last run must move
#                   them all and leave no temporary
set -eu

cli=${1:?usage: kill-test.sh PATH/TO/snaplore-cli [ROUNDS]}
rounds=${2:-150}
here=$(cd "$(dirname "$0")" && pwd)
corpus=${CORPUS:-$here/../../shared/corpus/exif-samples}

[ -x "$cli" ] || { echo "kill-test: $cli is not an executable" >&2; exit 2; }
command -v exiftool >/dev/null || { echo "kill-test: exiftool is needed" >&2; exit 2; }
ls "$corpus"/*.jpg >/dev/null 2>&1 || { echo "kill-test: no pictures in $corpus" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/snaplore-kill.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/pictures" "$work/originals" "$work/links"
cp "$corpus"/*.jpg "$work/originals/"
cp "$work/originals"/*.jpg "$work/pictures/"
chmod u+w "$work/pictures"/*.jpg
n=0
for f in "$work/pictures"/*.jpg; do
    n=$((n + 1))
    [ $((n % 3)) -eq 0 ] && ln "$f" "$work/links/$(basename "$f")"
done

if [ "${MODE:-set}" = import ]; then
    card="$work/card/DCIM/100TEST"
    dest="$work/dest"
    mkdir -p "$card" "$dest"
    failed=0
    fail() {
        echo "kill-test: $*" >&2
        failed=1
    }
    # Every picture whole on the card or in the destination.
    check() {
        for o in "$work/originals"/*.jpg; do
            name=$(basename "$o")
            if cmp -s "$o" "$card/$name" || cmp -s "$o" "$dest/$name"; then continue; fi
            fail "$1: $name is neither on the card nor in the destination, whole"
        done
    }
    echo "kill-test: $n pictures, $rounds interrupted imports"
    i=0
    refill() {
        # The card gets back what the last run moved, so that every run has pictures to copy.
        for o in "$work/originals"/*.jpg; do
            [ -e "$card/$(basename "$o")" ] || cp "$o" "$card/"
        done
    }
    while [ "$i" -lt "$rounds" ]; do
        i=$((i + 1))
        refill
        "$cli" import --delete --overwrite --no-dated "$work/card" "$dest" >/dev/null 2>&1 &
        pid=$!
        # A card this small takes a tenth of a second or two.
        delay=$(awk -v seed="$$$i" 'BEGIN { srand(seed); printf "%.3f", rand() * 0.2 }')
        sleep "$delay"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        check "round $i"
    done
    refill
    "$cli" import --delete --overwrite --no-dated "$work/card" "$dest" >/dev/null || fail "the last, uninterrupted import failed"
    check "at the end"
    left=$(find "$card" -type f | sort)
    [ -z "$left" ] || fail "still on the card: $left"
    left=$(find "$dest" -name '.snaplore-*' | sort)
    [ -z "$left" ] || fail "left behind: $left"
    if [ "$failed" -eq 0 ]; then
        echo "kill-test: passed"
        exit 0
    fi
    echo "kill-test: FAILED (pictures kept in $work)" >&2
    trap - EXIT INT TERM
    exit 1
fi

echo "kill-test: $n pictures, $rounds interrupted runs"
i=0
while [ "$i" -lt "$rounds" ]; do
    i=$((i + 1))
    "$cli" set --headline "round $i" "$work/pictures"/*.jpg >/dev/null 2>&1 &
    pid=$!
    # Anywhere from before the first write to after the last.
    delay=$(awk -v seed="$$$i" 'BEGIN { srand(seed); printf "%.3f", rand() * 0.4 }')
    sleep "$delay"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
done

failed=0
fail() {
    echo "kill-test: $*" >&2
    failed=1
}

"$cli" set --headline X "$work/pictures"/*.jpg || fail "the last, uninterrupted run failed"

left=$(find "$work/pictures" -name '.snaplore-*' | sort)
[ -z "$left" ] || fail "left behind: $left"

for f in "$work/pictures"/*.jpg; do
    name=$(basename "$f")
    errors=$(exiftool -s3 -Error "$f" 2>/dev/null) || fail "$name: exiftool cannot read it"
    [ -z "$errors" ] || fail "$name: $errors"
    headline=$(exiftool -s3 -IPTC:Headline "$f" 2>/dev/null)
    [ "$headline" = X ] || fail "$name: headline '$headline', not 'X'"
    # The scan (from the last start-of-scan marker on) is never changed: the end of the file is as it was.
    tailsize=$(perl -0777 -ne 'print length($_) - rindex($_, "\xff\xda")' "$work/originals/$name")
    tail -c "$tailsize" "$f" >"$work/new-tail"
    tail -c "$tailsize" "$work/originals/$name" >"$work/old-tail"
    cmp -s "$work/new-tail" "$work/old-tail" || fail "$name: the picture data changed"
    if [ -e "$work/links/$name" ]; then
        [ "$(stat -c %i "$f")" = "$(stat -c %i "$work/links/$name")" ] || fail "$name: lost its second name"
    fi
done

if [ "$failed" -eq 0 ]; then
    echo "kill-test: passed"
else
    echo "kill-test: FAILED (pictures kept in $work)" >&2
    trap - EXIT INT TERM
    exit 1
fi
