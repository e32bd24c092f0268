#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game on its sample content.
set -euo pipefail
cd "$(dirname "$0")"
./deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUV3_TESTS=OFF >/dev/null
cmake --build build --target tessmar
cd build
exec ./tessmar "$@"
