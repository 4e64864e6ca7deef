#!/usr/bin/env bash
# Configures and builds into build/ (or $MORVIK_BUILD_DIR), installing missing packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
# Optimised, with line tables for profilers and stack traces (-g1): full debug information
# would take a quarter longer to compile.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
