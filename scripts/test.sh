#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"

# ctest runs each test in a process of its own, which hides a test that leaves state behind
# for the next. Each test program also runs whole, its tests in two shuffled orders; as
# many of these runs at once as there are cores.
runs=()
for program in "$BUILD_DIR"/tests/*_tests; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    for seed in 1 2; do runs+=("$program $seed"); done
done
shuffled() {  # PROGRAM SEED: runs it whole, shuffled; its output goes to a log beside it
    QT_QPA_PLATFORM=offscreen "$1" --gtest_shuffle --gtest_random_seed="$2" --gtest_brief=1 \
        >"$1.shuffled-$2.log" 2>&1 && rm -f "$1.shuffled-$2.failed" || touch "$1.shuffled-$2.failed"
}
export -f shuffled
printf '%s\n' "${runs[@]}" | xargs -P "$(nproc)" -L 1 bash -c 'shuffled "$0" "$1"'
failed=0
for run in "${runs[@]}"; do
    read -r program seed <<<"$run"
    if [ -e "$program.shuffled-$seed.failed" ]; then
        echo "$(basename "$program") run whole, shuffled with seed $seed, failed:"
        cat "$program.shuffled-$seed.log"
        failed=1
    fi
done
if [ "$failed" -ne 0 ]; then
    echo "A test passes alone but fails after others: it depends on state another test leaves." >&2
    exit 1
fi
echo "Every test program passed whole in two shuffled orders."
