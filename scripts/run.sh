#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it on the sample data.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/install-deps.sh" run
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVHELD_TESTS=OFF
cmake --build "$top/build/release" --target morvheld data_archive
# The game folder holds the data archive and links to the loose data.
cd "$top/build/release/game"
exec "$top/build/release/morvheld" "$@"
