#!/usr/bin/env bash
# HEIF photos of 12 megapixels stamped into JPEGs by the folder batch with one job, against
# libheif's own heif-convert writing the same files as JPEGs at the same quality (one
# process per file, as a user runs it). The batch also reads the EXIF item, stamps the
# date and writes the metadata; its time is to stay within 1.2 times heif-convert's.
# Prints CPU, wall time, peak memory and the ratios.
#   bash bench/heif.sh [COUNT]          (build first: scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh bench
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
COUNT=${1:-4}
W=4032 H=3024 QUALITY=80
CLI="$BUILD_DIR/src/morvik-cli"
FLOOR="$BUILD_DIR/bench/bench_jpeg_floor"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-bench-heif.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/made" "$WORK/src" "$WORK/convert"
# Textured pictures of a phone's size, encoded as HEIF by libheif's own encoder.
"$FLOOR" make "$WORK/made" "$COUNT" "$W" "$H"
for f in "$WORK"/made/*.jpg; do
    heif-enc -q 60 -o "$WORK/src/$(basename "${f%.jpg}").heic" "$f" >/dev/null
done
touch -d '2021-06-01 18:04:32' "$WORK"/src/*.heic   # no EXIF: dated by the file time

# measure NAME COMMAND...: user+sys seconds, wall seconds, peak KiB into $WORK/NAME.
measure() {
    local name=$1; shift
    sync
    /usr/bin/time -v -o "$WORK/$name.time" "$@" >/dev/null 2>&1
    local user sys wall rss
    user=$(awk -F': ' '/User time/{print $2}' "$WORK/$name.time")
    sys=$(awk -F': ' '/System time/{print $2}' "$WORK/$name.time")
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/{print $2}' "$WORK/$name.time" |
           awk -F: '{ if (NF==3) print $1*3600+$2*60+$3; else print $1*60+$2 }')
    rss=$(awk -F': ' '/Maximum resident/{print $2}' "$WORK/$name.time")
    echo "$(echo "$user + $sys" | bc -l) $wall $rss" >"$WORK/$name"
    printf '%-13s cpu %7.2f s  wall %7.2f s  peak %8.1f MiB\n' "$name" \
        "$(echo "$user + $sys" | bc -l)" "$wall" "$(echo "$rss / 1024" | bc -l)"
}
field() { awk -v k="$2" '{print $k}' "$WORK/$1"; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc), $COUNT HEIF files of ${W}x${H}"
measure heif-convert bash -c 'for f in "$1"/src/*.heic; do
    heif-convert -q "$2" "$f" "$1/convert/$(basename "${f%.heic}").jpg" || exit 1; done' _ "$WORK" "$QUALITY"
measure batch1 "$CLI" stamp --jobs 1 --quality "$QUALITY" "$WORK/src"
ls "$WORK/src/Dated"/*.jpg | wc -l | xargs test "$COUNT" -eq   # every file written
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"

ratio() { echo "scale=3; $1 / $2" | bc -l; }
echo
echo "one job wall / heif-convert wall   $(ratio "$(field batch1 2)" "$(field heif-convert 2)")   (target <= 1.20)"
echo "one job CPU / heif-convert CPU     $(ratio "$(field batch1 1)" "$(field heif-convert 1)")"
echo "one job peak / heif-convert peak   $(ratio "$(field batch1 3)" "$(field heif-convert 3)")"
