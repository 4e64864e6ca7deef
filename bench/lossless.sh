#!/usr/bin/env bash
# The folder batch's lossless mode against the libjpeg floor. COUNT photo-like pictures of
# 4000 × 3000 (4:2:0, quality 92, no restart markers) are decoded and encoded again by
# djpeg | cjpeg at the same quality (the floor), and stamped by `morvik-cli stamp --lossless`
# over their folder, the way a user runs it: at the start position (top-left), at the
# bottom-right corner, and at the bottom-right corner of the same pictures with a restart
# marker every MCU row (made by jpegtran); the same pictures re-saved with optimised
# Huffman tables (jpegtran -optimize, as editors and phones write them) at the top-left,
# and made progressive (jpegtran -progressive) at the top-left. A plain copy of the files
# (dd, each flushed to the disk as the program flushes its outputs) shows what reading and
# writing them alone costs, and the walk over every MCU of the scans alone, in memory
# (bench_scan_walk, the least of ROUNDS runs), what no bottom-right stamp can go below. The
# others take turns for ROUNDS rounds; each of their figures is the median CPU time (user +
# system, every thread) of its rounds.
# Peak memory of one job is the largest of one-file runs against twice the file's size
# plus 16 MiB.
#   bash bench/lossless.sh [COUNT] [ROUNDS]          (build first: scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh bench
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
COUNT=${1:-8}
ROUNDS=${2:-9}
W=4000 H=3000 QUALITY=92
CLI="$(pwd)/$BUILD_DIR/src/morvik-cli"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-lossless.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/src" "$WORK/rst" "$WORK/opt" "$WORK/prog" "$WORK/floor" "$WORK/copy" "$WORK/one"
"$BUILD_DIR/bench/bench_photo_like" "$WORK/src" "$COUNT" "$W" "$H"
for f in "$WORK"/src/*.jpg; do
    jpegtran -restart 1 -copy all -outfile "$WORK/rst/${f##*/}" "$f"
    jpegtran -optimize -copy all -outfile "$WORK/opt/${f##*/}" "$f"
    jpegtran -progressive -copy all -outfile "$WORK/prog/${f##*/}" "$f"
done
# no EXIF: dated by the file time
touch -d '2007-08-15 12:30:45' "$WORK"/src/*.jpg "$WORK"/rst/*.jpg "$WORK"/opt/*.jpg "$WORK"/prog/*.jpg
size=$(du -sh "$WORK/src" | cut -f1)

# cpu NAME COMMAND...: appends the CPU seconds of the command and its children to $WORK/NAME.cpu.
cpu() {
    local name=$1; shift
    rm -rf "$WORK/src/Dated" "$WORK/rst/Dated" "$WORK/opt/Dated" "$WORK/prog/Dated"
    sync  # what the run before left to write is not this run's to pay for
    ( "$@" >"$WORK/$name.out"; times ) | tail -1 |
        awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.3f\n", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' \
        >>"$WORK/$name.cpu"
}
floor() {
    for f in "$WORK"/src/*.jpg; do djpeg "$f" | cjpeg -quality "$QUALITY" -outfile "$WORK/floor/${f##*/}"; done
}
copy() {
    for f in "$WORK"/src/*.jpg; do dd if="$f" of="$WORK/copy/${f##*/}" bs=4M conv=fsync status=none; done
}
measures=(
    "floor floor"
    "copy copy"
    "topleft $CLI stamp --lossless $WORK/src"
    "bottomright $CLI stamp --lossless --anchor bottom-right $WORK/src"
    "restarts $CLI stamp --lossless --anchor bottom-right $WORK/rst"
    "optimised $CLI stamp --lossless $WORK/opt"
    "progressive $CLI stamp --lossless $WORK/prog"
)
# Each round starts one further along the list: a run right after the floor's heavy work
# pays more for its memory, and no measure should always be the one that does.
for round in $(seq 0 $((ROUNDS - 1))); do
    for i in $(seq 0 $((${#measures[@]} - 1))); do
        # shellcheck disable=SC2086  # the words of a measure are its name and command
        cpu ${measures[$(( (round + i) % ${#measures[@]} ))]}
    done
done
for name in topleft bottomright restarts optimised progressive; do
    if [ "$(grep -cF '(lossless)' "$WORK/$name.out")" -ne "$COUNT" ]; then
        echo "not every file was stamped losslessly:" >&2
        cat "$WORK/$name.out" >&2
        exit 1
    fi
done
median() { sort -n "$WORK/$1.cpu" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
runs() { sort -n "$WORK/$1.cpu" | tr '\n' ' '; }

# Peak memory of one job: one file's run, against twice the file plus 16 MiB.
worst=0
for f in "$WORK"/src/*.jpg "$WORK"/rst/*.jpg; do
    rm -rf "$WORK/one"/*
    ln "$f" "$WORK/one/${f##*/}"
    /usr/bin/time -f "%M" -o "$WORK/mem" "$CLI" stamp --lossless --anchor bottom-right "$WORK/one" >/dev/null
    share=$(echo "scale=3; $(cat "$WORK/mem") * 1024 / ($(stat -c %s "$f") * 2 + 16 * 1048576)" | bc -l)
    worst=$(echo "if ($share > $worst) $share else $worst" | bc -l)
done

floor_cpu=$(median floor)
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc), $COUNT files of ${W}x${H}, $size in all, $ROUNDS rounds"
printf 'floor (djpeg | cjpeg -quality %s)          cpu %7.3f s   runs: %s\n' "$QUALITY" "$floor_cpu" "$(runs floor)"
report() {
    local m
    m=$(median "$2")
    printf '%-42s cpu %7.3f s   %s of the floor (target <= %s)   runs: %s\n' "$1" "$m" \
        "$(echo "scale=4; $m / $floor_cpu" | bc -l)" "$3" "$(runs "$2")"
}
printf '%-42s cpu %7.3f s   %s of the floor   runs: %s\n' "copy of the files (dd conv=fsync)" "$(median copy)" \
    "$(echo "scale=4; $(median copy) / $floor_cpu" | bc -l)" "$(runs copy)"
report "stamp --lossless, top-left" topleft 0.0667
report "stamp --lossless, bottom-right" bottomright 0.1000
report "stamp --lossless, bottom-right, RST a row" restarts 0.1000
report "stamp --lossless, optimised tables, top-left" optimised 0.0667
report "stamp --lossless, progressive, top-left" progressive 0.5000
# What a bottom-right stamp cannot go below: the walk over every MCU of each scan, with the
# files already in memory, and libjpeg's own pass over the same MCUs when it skips rows.
walk_out=$("$BUILD_DIR/bench/bench_scan_walk" "$ROUNDS" "$WORK"/src/*.jpg)
seconds() { echo "$walk_out" | awk -v what="$1" 'index($0, what) { for (i = 1; i <= NF; i++) if ($i == "s") { print $(i - 1); exit } }'; }
for line in "the walk of every whole scan, in memory|McuDecoder::Skip" \
            "libjpeg skipping the same MCUs, in memory|jpeg_skip_scanlines"; do
    printf '%-42s cpu %7.3f s   %s of the floor   (least of the rounds)\n' "${line%%|*}" "$(seconds "${line#*|}")" \
        "$(echo "scale=4; $(seconds "${line#*|}") / $floor_cpu" | bc -l)"
done
echo "peak memory of one job / (2 x file + 16 MiB), worst file: $worst (target <= 1)"
