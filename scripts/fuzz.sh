#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each on its seed corpus
# for MORVIK_FUZZ_SECONDS seconds (default 20), two at a time. New inputs go to
# fuzz/corpus-run/<target>/ (not kept); a crash, a leak, a timeout or an out-of-memory
# input is left in build-fuzz/findings/<target>/ and fails the run.
# Usage: scripts/fuzz.sh [target]...   (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
SECONDS_EACH=${MORVIK_FUZZ_SECONDS:-20}
PARALLEL=${MORVIK_FUZZ_PARALLEL:-2}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMORVIK_BUILD_FUZZ=ON -DMORVIK_BUILD_UI=OFF -DMORVIK_BUILD_TESTS=OFF -DMORVIK_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  local t=$1
  local findings=build-fuzz/findings/$t
  mkdir -p "fuzz/corpus-run/$t" "$findings"
  if "build-fuzz/fuzz/$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" \
      "fuzz/corpus-run/$t" "fuzz/corpus/$t" >"build-fuzz/findings/$t.log" 2>&1; then
    echo "$t: $(grep -E '^stat::number_of_executed_units' "build-fuzz/findings/$t.log" | awk '{print $2}') executions, no finding"
  else
    echo "$t: FINDING (see build-fuzz/findings/$t.log)"
    grep -E 'ERROR|SUMMARY|Test unit written' "build-fuzz/findings/$t.log" | head -5
    return 1
  fi
}

failed=0
pids=()
names=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  names+=("$t")
  if [ ${#pids[@]} -ge "$PARALLEL" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
