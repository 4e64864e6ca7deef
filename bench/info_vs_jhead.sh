#!/usr/bin/env bash
# Times `morvik-cli info` against `jhead` over ~700 copies of the camera JPEG samples,
# each program run once over the whole set. Usage: bench/info_vs_jhead.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
# Absolute, since the timed commands run in the work folder: a relative path would make
# morvik fail there unseen and the ratio meaningless.
[ -d "$build" ] && build="$(cd "$build" && pwd)"
cli="$build/src/morvik-cli"
samples="$here/../shared/samples/camera"
[ -x "$cli" ] || { echo "build morvik-cli first ($cli)" >&2; exit 1; }
[ -d "$samples" ] || { echo "no samples at $samples" >&2; exit 1; }
command -v jhead >/dev/null || { echo "jhead is not installed" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
i=0
while [ "$i" -lt 700 ]; do
    for f in "$samples"/*.jpg; do
        [ "$i" -lt 700 ] || break
        cp "$f" "$work/$(printf '%04d' "$i")_$(basename "$f")"
        i=$((i + 1))
    done
done
echo "$i files in $work"

if command -v hyperfine >/dev/null; then
    hyperfine --warmup 2 --runs 15 --export-json "$work/result.json" \
        -n morvik "cd '$work' && '$cli' info *.jpg > /dev/null; true" \
        -n jhead "cd '$work' && jhead *.jpg > /dev/null; true" \
        -n jhead-v "cd '$work' && jhead -v *.jpg > /dev/null 2>&1; true"
    python3 - "$work/result.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"morvik {r['morvik']*1000:.1f} ms, jhead {r['jhead']*1000:.1f} ms, "
      f"morvik/jhead = {r['morvik']/r['jhead']:.2f}")
# jhead prints a summary of each file; with -v it lists every tag, as morvik-cli info does.
print(f"jhead -v {r['jhead-v']*1000:.1f} ms, morvik/(jhead -v) = {r['morvik']/r['jhead-v']:.2f}")
PY
else
    t() { local s e; s=$(date +%s%N); "$@" > /dev/null || true; e=$(date +%s%N); echo $(( (e - s) / 1000000 )); }
    m=$(cd "$work" && t "$cli" info ./*.jpg)
    j=$(cd "$work" && t jhead ./*.jpg)
    echo "morvik $m ms, jhead $j ms, morvik/jhead = $(python3 -c "print(round($m/max($j,1),2))")"
fi
