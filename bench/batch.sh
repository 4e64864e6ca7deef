#!/usr/bin/env bash
# The folder batch on 12-megapixel JPEGs against (a) the floor, the same files decoded and
# encoded by libjpeg in-process at the same quality, and (b) ImageMagick's mogrify
# -annotate with the same text. Prints CPU, wall time, peak memory and the ratios.
#   bash bench/batch.sh [COUNT]          (build first: scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh bench
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
COUNT=${1:-6}
W=4000 H=3000 QUALITY=80
CLI="$BUILD_DIR/src/morvik-cli"
FLOOR="$BUILD_DIR/bench/bench_jpeg_floor"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/src"
"$FLOOR" make "$WORK/src" "$COUNT" "$W" "$H"
touch -d '2007-08-15 12:30:45' "$WORK"/src/*.jpg   # no EXIF: dated by the file time
TEXT="15.08.2007 12:30:44"

source bench/measure.sh

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc), $COUNT files of ${W}x${H}"
measure floor "$FLOOR" floor "$QUALITY" "$WORK"/src/*.jpg
rm -rf "$WORK/src/Dated"
measure batch1 "$CLI" stamp --jobs 1 --quality "$QUALITY" "$WORK/src"
rm -rf "$WORK/src/Dated"
measure batch2 "$CLI" stamp --jobs 2 --quality "$QUALITY" "$WORK/src"
rm -rf "$WORK/src/Dated"
mkdir -p "$WORK/mog" && cp "$WORK"/src/*.jpg "$WORK/mog/"
measure mogrify mogrify -quality "$QUALITY" -font DejaVu-Sans -pointsize 11 -fill '#8080FF' \
    -undercolor white -annotate +0+11 "$TEXT" "$WORK"/mog/*.jpg
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"

limit_kib=$(( (3 * W * H * 3) / 1024 + 32 * 1024 ))
ratio() { echo "scale=3; $1 / $2" | bc -l; }
echo
echo "one job CPU / floor CPU        $(ratio "$(field batch1 1)" "$(field floor 1)")   (target <= 1.10)"
echo "two jobs wall / one job wall   $(ratio "$(field batch2 2)" "$(field batch1 2)")   (target <= 0.60)"
echo "mogrify wall / one job wall    $(ratio "$(field mogrify 2)" "$(field batch1 2)")   (target >= 3)"
echo "mogrify wall / two jobs wall   $(ratio "$(field mogrify 2)" "$(field batch2 2)")"
echo "one job peak / limit           $(ratio "$(field batch1 3)" "$limit_kib")   (limit 3 pictures + 32 MiB)"
echo "two jobs peak / limit          $(ratio "$(field batch2 3)" "$(( limit_kib + 32 * 1024 ))")   (limit 3 pictures + 2 x 32 MiB)"
