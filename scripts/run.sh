#!/bin/sh
# Installs what is needed, builds Snaplore and starts it.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNAPLORE_TESTS=OFF >/dev/null
cmake --build build
if [ -x build/app/snaplore ]; then
    exec build/app/snaplore "$@"
fi
# Until the window program exists, show what the command-line tool reads from the sample pictures.
exec build/cli/snaplore-cli info resources/samples/*.jpg
