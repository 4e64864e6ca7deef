#!/usr/bin/env bash
# Builds the programs and runs the main job on the bundled sample photos.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
"$BUILD_DIR/src/morvik-cli" info samples/*.jpg
