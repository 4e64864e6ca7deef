#!/usr/bin/env bash
# Renders the program's icon (src/ui/desktop/morvik.svg) at the sizes of the hicolor theme
# into packaging/icons/morvik-N.png. Run again after the SVG changes and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || apt-get install -y -qq --no-install-recommends librsvg2-bin >/dev/null
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" ../../src/ui/desktop/morvik.svg -o "morvik-$size.png"
done
