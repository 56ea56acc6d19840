#!/usr/bin/env bash
# Builds the panel and launches it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
if [[ ! -x build/src/app/zr70 ]]; then
    echo "The parameter table and messages are built; the panel itself is not there yet."
    exit 0
fi
exec build/src/app/zr70
