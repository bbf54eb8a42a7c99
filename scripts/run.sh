#!/bin/sh
# Installs what is needed, builds Snaplore and starts it (arguments go to the program: a folder to open).
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNAPLORE_TESTS=OFF >/dev/null
# Everything (both programs), so that `cmake --install build-run` finds what it installs.
cmake --build build-run
exec build-run/app/snaplore "$@"
