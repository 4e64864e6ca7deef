#!/usr/bin/env bash
# Builds the programs and stamps a copy of the bundled sample photos: the copy lands in
# out/demo, its stamped pictures in out/demo/Dated. samples/ itself is never written.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
DEMO=out/demo
rm -rf "$DEMO"
mkdir -p "$DEMO"
cp -p samples/*.jpg samples/*.JPG "$DEMO"/
"$BUILD_DIR/src/morvik-cli" stamp "$DEMO" --font-size 24
first=$(ls "$DEMO"/Dated/*.jpg | head -n 1)
echo
echo "Metadata carried over into $first:"
"$BUILD_DIR/src/morvik-cli" info "$first"
echo
echo "Stamped pictures: $(pwd)/$DEMO/Dated"
