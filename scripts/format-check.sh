#!/usr/bin/env bash
# Fails when a C++ file of the repository is not in the house format (.clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 -r clang-format --dry-run --Werror
