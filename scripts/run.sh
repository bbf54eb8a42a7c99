#!/bin/sh
# Installs what is needed, builds Snaplore and starts it (arguments go to the program: a folder to open).
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNAPLORE_TESTS=OFF >/dev/null
cmake --build build-run --target snaplore
exec build-run/app/snaplore "$@"
