#!/usr/bin/env bash
# The lossless stamp against the libjpeg floor: COUNT photo-like pictures of 4000 × 3000
# (4:2:0, quality 92, no restart markers) decoded and encoded again by djpeg | cjpeg at the
# same quality, and stamped losslessly at the top-left corner, at the bottom-right corner,
# and at the bottom-right corner of the same pictures with a restart marker every MCU row
# (made by jpegtran). Prints the CPU time of each, the ratios and the peak memory per file.
#   bash bench/lossless.sh [COUNT]          (build first: scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh bench
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
COUNT=${1:-8}
W=4000 H=3000 QUALITY=92
STAMP="$BUILD_DIR/bench/bench_lossless_stamp"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-lossless.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/src" "$WORK/rst" "$WORK/out" "$WORK/floor"
"$STAMP" make "$WORK/src" "$COUNT" "$W" "$H"
for f in "$WORK"/src/*.jpg; do
    jpegtran -restart 1 -copy all -outfile "$WORK/rst/$(basename "$f")" "$f"
done

# The floor: user + sys seconds of the djpeg | cjpeg pipelines, writing their files.
/usr/bin/time -f "%U %S" -o "$WORK/floor.time" bash -c '
    for f in "$1"/src/*.jpg; do djpeg "$f" | cjpeg -quality "$2" -outfile "$1/floor/${f##*/}"; done' _ "$WORK" "$QUALITY"
floor=$(awk '{print $1 + $2}' "$WORK/floor.time")
# The stamps: the program's own CPU time over its files (the font looked up before).
stamp() { "$STAMP" "$@" | awk '/^stamp cpu/ {print $3, $7}'; }
read -r tl tlmem < <(stamp top-left "$WORK/out" "$WORK"/src/*.jpg)
read -r br brmem < <(stamp bottom-right "$WORK/out" "$WORK"/src/*.jpg)
read -r rst rstmem < <(stamp bottom-right "$WORK/out" "$WORK"/rst/*.jpg)

# Peak memory of one job: one process per file, against twice the file plus 16 MiB.
worst=0
for f in "$WORK"/src/*.jpg "$WORK"/rst/*.jpg; do
    /usr/bin/time -f "%M" -o "$WORK/mem" "$STAMP" bottom-right "$WORK/out" "$f" >/dev/null
    share=$(echo "scale=3; $(cat "$WORK/mem") * 1024 / ($(stat -c %s "$f") * 2 + 16 * 1048576)" | bc -l)
    worst=$(echo "if ($share > $worst) $share else $worst" | bc -l)
done

ratio() { echo "scale=4; $1 / $2" | bc -l; }
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc), $COUNT files of ${W}x${H}, $(du -sh "$WORK/src" | cut -f1) in all"
printf 'floor (djpeg | cjpeg -quality %s)   cpu %7.3f s\n' "$QUALITY" "$floor"
# Each stamp's job reads the file, stamps it and writes the result; "in memory" is the
# stamp alone, without the reading and writing.
printf 'lossless, top-left                  cpu %7.3f s   %s of the floor (target <= 0.0667), in memory %s s\n' "$tl" "$(ratio "$tl" "$floor")" "$tlmem"
printf 'lossless, bottom-right              cpu %7.3f s   %s of the floor (target <= 0.3333), in memory %s s\n' "$br" "$(ratio "$br" "$floor")" "$brmem"
printf 'lossless, bottom-right, RST a row   cpu %7.3f s   %s of the floor (target <= 0.1000), in memory %s s\n' "$rst" "$(ratio "$rst" "$floor")" "$rstmem"
echo "peak memory of one job / (2 x file + 16 MiB), worst file: $worst (target <= 1)"
