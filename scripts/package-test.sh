#!/bin/sh
# Builds the Debian package (Release, no tests) in build-pkg/ and checks what it holds, what it
# depends on and its AppStream metadata. Exits non-zero on the first problem.
# Usage: scripts/package-test.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build="${1:-build-pkg}"

fail() {
    echo "package-test: $*" >&2
    exit 1
}

for tool in cmake ninja cpack dpkg-deb dpkg-shlibdeps appstreamcli; do
    command -v "$tool" >/dev/null 2>&1 || fail "'$tool' is missing (packages: cmake ninja-build dpkg-dev appstream)"
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNAPLORE_TESTS=OFF >/dev/null
cmake --build "$build"
# A package left over from an older version would be picked up below.
rm -f "$build"/snaplore_*.deb
(cd "$build" && cpack -G DEB)

set -- "$build"/snaplore_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then fail "cpack made no single snaplore_*.deb in $build"; fi
deb="$1"
echo "package-test: checking $deb"

# The files: dpkg-deb -c lists them as "./usr/bin/snaplore" in its last column.
files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in \
    ./usr/bin/snaplore \
    ./usr/bin/snaplore-cli \
    ./usr/libexec/snaplore/snaplore-cli-image \
    ./usr/share/applications/snaplore.desktop \
    ./usr/share/icons/hicolor/scalable/apps/snaplore.svg \
    ./usr/share/icons/hicolor/128x128/apps/snaplore.png \
    ./usr/share/metainfo/org.snaplore.Snaplore.metainfo.xml \
    ./usr/share/snaplore/autorun; do
    printf '%s\n' "$files" | grep -Fqx -- "$f" || fail "$f is not in the package"
done

# The fields. Qt comes from shlibdeps (the JPEG plugin lives in libqt6gui6); the rest is named by hand.
[ "$(dpkg-deb -f "$deb" Package)" = snaplore ] || fail "the package is not called snaplore"
depends=$(dpkg-deb -f "$deb" Depends)
echo "package-test: Depends: $depends"
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libc6 libexempi8 fonts-liberation xdg-utils; do
    printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -Fqx -- "$p" ||
        fail "Depends does not name $p"
done
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
[ -n "$(dpkg-deb -f "$deb" Homepage)" ] || fail "no Homepage"

# The metainfo as installed, and its newest release against the package's version.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
metainfo="$tmp/usr/share/metainfo/org.snaplore.Snaplore.metainfo.xml"
appstreamcli validate --no-net --strict "$metainfo" || fail "the AppStream metadata does not validate"
# The tree check also finds the desktop entry and the icon the metadata points to.
appstreamcli validate-tree --no-net --strict "$tmp" || fail "the installed tree does not validate"
version=$(dpkg-deb -f "$deb" Version)
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$release" = "$version" ] || fail "the metainfo's newest release is '$release', the package's version '$version'"

echo "package-test: $deb is fine"
