#!/usr/bin/env bash
# Builds and runs the test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), and the ordered parallel loop's tests, the folder batch and stamp-command
# tests, which run the parallel pixel work, and info's parallel reading under
# ThreadSanitizer (build-tsan/). Any
# finding fails the run. The ASan build includes the Qt program and its window tests
# (MORVIK_SANITIZE_UI=OFF leaves them out); the TSan build covers only the threaded work.
# Usage: scripts/sanitize.sh [asan|tsan]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
JOBS=$(nproc)
jobs_to_run=("$@")
[ ${#jobs_to_run[@]} -gt 0 ] || jobs_to_run=(asan tsan)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-suppressions.txt
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan-suppressions.txt
export QT_QPA_PLATFORM=offscreen

# -O1 with line tables only: what the sanitizers' own guides advise, and it compiles in
# about half the time of -O2 with full debug information. A report still names each
# frame's file and line.
SANITIZER_FLAGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

for job in "${jobs_to_run[@]}"; do
  case "$job" in
  asan)
    cmake -S . -B build-asan -G Ninja "${SANITIZER_FLAGS[@]}" \
      -DMORVIK_SANITIZE=address,undefined -DMORVIK_BUILD_UI="${MORVIK_SANITIZE_UI:-ON}" \
      -DMORVIK_BUILD_BENCH=OFF >/dev/null
    cmake --build build-asan -j "$JOBS"
    ctest --test-dir build-asan --output-on-failure -j "$JOBS"
    ;;
  tsan)
    cmake -S . -B build-tsan -G Ninja "${SANITIZER_FLAGS[@]}" \
      -DMORVIK_SANITIZE=thread -DMORVIK_BUILD_UI=OFF -DMORVIK_BUILD_BENCH=OFF >/dev/null
    cmake --build build-tsan -j "$JOBS" --target platform_tests stamping_tests cli_tests morvik-cli
    ctest --test-dir build-tsan --output-on-failure -j "$JOBS" -R 'OrderedParallel|FolderBatch|StampCommand|BadInputBatch|InfoCommand.Jobs'
    ;;
  *)
    echo "unknown job: $job (asan or tsan)" >&2
    exit 2
    ;;
  esac
done
