#!/usr/bin/env bash
# Hostile input must stay cheap. Measures `morvik-cli info` (text and --json) on each
# hostile JPEG kept as a fuzz regression, for its peak memory against 150 MB, and on a JPEG
# holding the 8,732-keyword IPTC section, for its time (best of 7 runs) against 50 ms;
# a JPEG without metadata gives the program's own start-up time beside it. Then the
# picture bombs and odd files below, each with its limits.
# Usage: bench/hostile_inputs.sh [build-dir]   (exit status 1 when a figure is over its limit)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
cli="$build/src/morvik-cli"
[ -x "$cli" ] || { echo "build morvik-cli first ($cli)" >&2; exit 1; }
regressions="$here/tests/data/regressions"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
over=0

for f in "$regressions"/fuzz_jpeg_sections/*.jpg; do
    for json in "" "--json"; do
        /usr/bin/time -f '%M' -o "$work/rss" "$cli" info -j 1 $json "$f" >/dev/null || true
        mb=$(( $(tail -1 "$work/rss") / 1024 ))
        verdict=ok; [ "$mb" -lt 150 ] || { verdict=OVER; over=1; }
        printf '%-45s %-6s peak %4d MB  %s\n' "$(basename "$f")" "${json:-text}" "$mb" "$verdict"
    done
done

# A JPEG around the section's bytes (its length field on), and one without metadata.
{ printf '\xFF\xD8\xFF\xED'; cat "$regressions/fuzz_iptc/8732-distinct-keywords"; printf '\xFF\xDA\x00\x02\xFF\xD9'; } >"$work/keywords.jpg"
printf '\xFF\xD8\xFF\xDA\x00\x02\xFF\xD9' >"$work/plain.jpg"
best_ms() {
    local best=999999 start end ms
    for _ in 1 2 3 4 5 6 7; do
        start=$(date +%s%N)
        "$cli" info -j 1 "$1" >/dev/null || true
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        [ "$ms" -lt "$best" ] && best=$ms
    done
    echo "$best"
}
keywords=$(best_ms "$work/keywords.jpg")
plain=$(best_ms "$work/plain.jpg")
verdict=ok; [ "$keywords" -lt 50 ] || { verdict=OVER; over=1; }
printf '%-45s %-6s %4d ms (no metadata: %d ms)  %s\n' "8732-distinct-keywords" text "$keywords" "$plain" "$verdict"

# Pictures that claim more than their bytes hold, and streams of endless scans: peak memory
# of stamp (one job and four, ordinary and lossless) and mosaic against 200 MB, processor time against 2 s, and
# the files that must not be read whole or at all (a 3 GiB sparse file, a link to
# /dev/zero, a FIFO) against 2 s each; a run that hangs is ended after 60 s and is over.
command -v cjpeg >/dev/null && command -v jpegtran >/dev/null && command -v python3 >/dev/null ||
    { echo "needs cjpeg, jpegtran and python3 (scripts/install-deps.sh bench)" >&2; exit 1; }
python3 - "$work" <<'PY'
import subprocess, sys
work = sys.argv[1]
def ppm(w, h):
    return b"P6 %d %d 255\n" % (w, h) + bytes((x * 7 + y * 3) & 255 for y in range(h) for x in range(w * 3))
def cjpeg(data, *args):
    return subprocess.run(["cjpeg", *args], input=data, capture_output=True, check=True).stdout
def claim(jpeg, w, h):  # the size in the SOF0/SOF2 header overwritten
    b = bytearray(jpeg)
    for i in range(2, len(b) - 9):
        if b[i] == 0xFF and b[i + 1] in (0xC0, 0xC2):
            b[i + 5:i + 9] = bytes([h >> 8, h & 255, w >> 8, w & 255])
            return bytes(b)
bomb = claim(cjpeg(ppm(8, 8), "-progressive", "-quality", "10", "-baseline"), 16383, 16383)
open(work + "/bomb.jpg", "wb").write(bomb)
# Scans that each look valid: a first DC scan without successive approximation sent
# 20,000 times over a 64 x 64 picture, and 5,000 times over a header claiming 8192 x 8192,
# each then cut short by the next.
open(work + "/dc.txt", "w").write("0,1,2: 0 0 0 0;\n0: 1 63 0 0;\n1: 1 63 0 0;\n2: 1 63 0 0;\n")
for claimed, times, name in ((None, 20000, "many-scans.jpg"), (8192, 5000, "cut-scans.jpg")):
    prog = subprocess.run(["jpegtran", "-scans", work + "/dc.txt"], input=cjpeg(ppm(64, 64), "-quality", "90"),
                          capture_output=True, check=True).stdout
    if claimed:
        prog = claim(prog, claimed, claimed)
    sos = prog.index(b"\xFF\xDA")
    nxt = prog.index(b"\xFF\xDA", sos + 2)
    open(work + "/" + name, "wb").write(prog[:nxt] + prog[sos:nxt] * times + prog[nxt:])
PY
printf '%-45s %d bytes\n' "bomb.jpg (16383 x 16383)" "$(stat -c %s "$work/bomb.jpg")"
measure() {  # name, limit in MB, limit in ms of processor time (user and system), command...
    local name=$1 mb_limit=$2 ms_limit=$3; shift 3
    local mb ms rc=0 verdict=ok
    /usr/bin/time -f '%M %U %S' -o "$work/usage" timeout 60 "$@" >/dev/null 2>&1 || rc=$?
    read -r kb user sys < <(tail -1 "$work/usage")
    mb=$(( kb / 1024 )); ms=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
    { [ "$mb" -lt "$mb_limit" ] && [ "$ms" -lt "$ms_limit" ] && [ "$rc" -ne 124 ]; } || { verdict=OVER; over=1; }
    printf '%-45s peak %4d MB  %5d ms  %s\n' "$name" "$mb" "$ms" "$verdict"
}
mkdir -p "$work/one" "$work/four" "$work/scans" "$work/odd"
cp "$work/bomb.jpg" "$work/one/"
for i in 1 2 3 4; do cp "$work/bomb.jpg" "$work/four/b$i.jpg"; done
cp "$work/many-scans.jpg" "$work/scans/"
mkdir -p "$work/cut" && cp "$work/cut-scans.jpg" "$work/cut/"
measure "stamp: bomb" 200 2000 "$cli" stamp -k "$work/one"
measure "stamp -j 4: four bombs" 200 2000 "$cli" stamp -k -j 4 "$work/four"
measure "stamp --lossless -j 4: four bombs" 200 2000 "$cli" stamp -k --lossless -j 4 "$work/four"
measure "mosaic: bomb" 200 2000 "$cli" mosaic "$work/bomb.jpg" -o "$work/chart.jpg"
measure "stamp: 20,000 scans of 64 x 64" 200 2000 "$cli" stamp -k "$work/scans"
measure "stamp --lossless: 20,000 scans of 64 x 64" 200 2000 "$cli" stamp -k --lossless "$work/scans"
# Its data is enough for the picture it claims, so it may take that picture's memory.
measure "stamp: 5,000 scans cut short of 8192 x 8192" 800 2000 "$cli" stamp -k "$work/cut"
truncate -s 3G "$work/odd/sparse.jpg"
measure "stamp: 3 GiB sparse file" 200 2000 "$cli" stamp -k "$work/odd"
ln -s /dev/zero "$work/zero.jpg"
measure "mosaic: link to /dev/zero" 200 2000 "$cli" mosaic "$work/zero.jpg" -o "$work/chart.jpg"
mkdir -p "$work/endless" && ln -s /dev/zero "$work/endless/zero.jpg"
measure "stamp: link to /dev/zero" 200 2000 "$cli" stamp -k "$work/endless"
mkfifo "$work/fifo.jpg"
measure "info: FIFO" 200 2000 "$cli" info "$work/fifo.jpg"
measure "mosaic: FIFO" 200 2000 "$cli" mosaic "$work/fifo.jpg" -o "$work/chart.jpg"
exit $over
