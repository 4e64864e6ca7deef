#!/usr/bin/env bash
# Times `morvik-cli info` against `jhead` over ~700 copies of the camera JPEG samples,
# each program run once over the whole set per round. The programs take turns round by
# round, so a machine whose speed drifts (a shared virtual machine) slows them alike;
# the medians of the rounds are compared.
# Usage: bench/info_vs_jhead.sh [build-dir]   (ROUNDS=N sets the rounds, default 31)
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
bash "$here/scripts/install-deps.sh" bench

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

python3 - "$cli" "$work" "${ROUNDS:-31}" <<'PY'
import glob, os, statistics, subprocess, sys, time

cli, work, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
names = sorted(os.path.basename(f) for f in glob.glob(os.path.join(work, "*.jpg")))
commands = {
    "morvik": [cli, "info"] + names,
    "jhead": ["jhead"] + names,
    # jhead prints a summary of each file; with -v it lists every tag, as morvik-cli info does.
    "jhead -v": ["jhead", "-v"] + names,
}

def once(command):
    start = time.perf_counter()
    done = subprocess.run(command, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if done.returncode != 0 and command[0] == cli:
        sys.exit(f"morvik-cli info failed with status {done.returncode}")
    return elapsed

for command in commands.values():  # warm the page cache and the programs
    once(command)
    once(command)
times = {name: [] for name in commands}
for _ in range(rounds):
    for name, command in commands.items():
        times[name].append(once(command))
median = {name: statistics.median(t) * 1000 for name, t in times.items()}
low = {name: min(t) * 1000 for name, t in times.items()}
for name in commands:
    print(f"{name:9} median {median[name]:6.2f} ms   fastest {low[name]:6.2f} ms   ({rounds} rounds)")
print(f"morvik/jhead = {median['morvik'] / median['jhead']:.2f} (medians), "
      f"{low['morvik'] / low['jhead']:.2f} (fastest)")
print(f"morvik/(jhead -v) = {median['morvik'] / median['jhead -v']:.2f} (medians)")
PY
