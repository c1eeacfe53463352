#!/usr/bin/env bash
# Installs what is needed, builds everything with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/format-check.sh
cmake -S . -B build -G Ninja -DOSTRA_WERROR=ON -DOSTRA_BUILD_TESTS=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
