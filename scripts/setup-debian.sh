#!/bin/sh
# Installs what Snaplore needs to build, run and test on Debian 12. Safe to run again.
set -eu
# xorriso writes CDs and their images (Burn CD, snaplore-cli cd and their tests); libexempi-dev gives
# the XMP toolkit's headers and its library, which the programs load when they meet an XMP packet.
BUILD_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libexempi-dev fonts-liberation xorriso"
# The fuzz step of the tests needs clang with its fuzzer runtime, the symbolizer (llvm) for readable
# reports, python3 for the seeds and xxd to print a finding.
# The package check needs dpkg-shlibdeps (dpkg-dev) and appstreamcli (appstream); the print tests
# render PDF pages with pdftoppm (poppler-utils).
TEST_PACKAGES="libgtest-dev libgmock-dev libimage-exiftool-perl poppler-utils xvfb xauth clang libclang-rt-14-dev llvm python3 xxd dpkg-dev appstream"
packages="$BUILD_PACKAGES"
[ "${1:-}" = "--tests" ] && packages="$packages $TEST_PACKAGES"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
