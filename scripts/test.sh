#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD_DIR=${MORVIK_BUILD_DIR:-build}
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"

# ctest runs each test in a process of its own, which hides a test that leaves state behind
# for the next. Each test program also runs whole, its tests in two shuffled orders.
failed=0
for program in "$BUILD_DIR"/tests/*_tests; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    for seed in 1 2; do
        log="$program.shuffled-$seed.log"
        if ! QT_QPA_PLATFORM=offscreen "$program" --gtest_shuffle --gtest_random_seed="$seed" --gtest_brief=1 \
            >"$log" 2>&1; then
            echo "$(basename "$program") run whole, shuffled with seed $seed, failed:"
            cat "$log"
            failed=1
        fi
    done
done
if [ "$failed" -ne 0 ]; then
    echo "A test passes alone but fails after others: it depends on state another test leaves." >&2
    exit 1
fi
echo "Every test program passed whole in two shuffled orders."
