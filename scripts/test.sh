#!/usr/bin/env bash
# Builds everything and runs the whole test suite with CTest.
#   scripts/test.sh              release build with debug info, in build/
#   scripts/test.sh --sanitize   the same under AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

build_dir=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build_dir=build-asan
    options=(-DITEMVIEWS_SANITIZE=ON -DITEMVIEWS_BUILD_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build_dir" -G Ninja "${options[@]}"
cmake --build "$build_dir" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)"
