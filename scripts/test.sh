#!/usr/bin/env bash
# Builds everything and runs the whole test suite with CTest.
#   scripts/test.sh              release build with debug info, in build/
#   scripts/test.sh --sanitize   the same under AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   scripts/test.sh --tsan       the tests that cross threads (the viewer's loading, the tree model)
#                                under ThreadSanitizer, in build-tsan/
#   --qt6 (alone or after either)  the same against Qt 6, in build-qt6/, build-asan-qt6/, build-tsan-qt6/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

build_dir=build
options=()
targets=()
tests=()
qt=5
[ "${2:-}" = --qt6 ] && qt=6
[ "${1:-}" = --qt6 ] && qt=6 && shift
case "${1:-}" in
--sanitize)
    build_dir=build-asan
    options=(-DITEMVIEWS_SANITIZE=ON -DITEMVIEWS_BUILD_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ;;
--tsan)
    build_dir=build-tsan
    options=(-DITEMVIEWS_TSAN=ON -DITEMVIEWS_BUILD_BENCH=OFF -DITEMVIEWS_BUILD_EXAMPLES=OFF)
    targets=(--target tst_EstimateViewer tst_EstimateJson tst_zTreeItemModel estimate-viewer)
    tests=(-R '^tst_(EstimateViewer|EstimateJson|zTreeItemModel)$')
    # Any report fails the test: the viewer subprocess exits non-zero and so does the test.
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
    ;;
esac

[ $qt = 6 ] && build_dir=$build_dir-qt6
cmake -S . -B "$build_dir" -G Ninja -DITEMVIEWS_QT_MAJOR_VERSION=$qt "${options[@]}"
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" "${tests[@]}"
