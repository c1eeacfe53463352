#!/usr/bin/env bash
# Installs what is needed, builds the command-line tool and renders the demo phrase
# through the effect into ./demo (or the folder given).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DOSTRA_BUILD_TESTS=ON >/dev/null
cmake --build build --target ostratape
./build/cli/ostratape demo "${1:-demo}"
