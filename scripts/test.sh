#!/usr/bin/env bash
# Builds everything and runs the whole test suite with CTest.
#   scripts/test.sh              release build with debug info, in build/
#   scripts/test.sh --sanitize   the same under AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   scripts/test.sh --tsan       the tests that cross threads (the viewer's loading, the tree model)
#                                under ThreadSanitizer, in build-tsan/
#   scripts/test.sh --fuzz       the estimate reader's libFuzzer target under AddressSanitizer and
#                                UndefinedBehaviorSanitizer, built with clang in build-fuzz/: a fixed
#                                seed and number of runs (ITEMVIEWS_FUZZ_SEED, ITEMVIEWS_FUZZ_RUNS)
#   --qt6 (alone or after any)   the same against Qt 6, in build-qt6/, build-asan-qt6/, build-tsan-qt6/...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

build_dir=build
options=()
targets=()
tests=()
fuzz=false
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
    # Qt is not built with ThreadSanitizer: the memory it allocates and frees itself (a queued
    # signal's event made on the loading thread and freed by the GUI thread's event loop) is handed
    # over under its futex-based QMutex, which the sanitizer cannot see, so Qt's own calls into the
    # sanitizer's allocator are not taken as accesses. Our code's accesses are all still checked.
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp"
    ;;
--fuzz)
    fuzz=true
    build_dir=build-fuzz
    options=(-DCMAKE_CXX_COMPILER=clang++-14 -DITEMVIEWS_FUZZ=ON -DITEMVIEWS_SANITIZE=ON -DITEMVIEWS_BUILD_BENCH=OFF
             -DITEMVIEWS_BUILD_EXAMPLES=OFF)
    targets=(--target fuzz_EstimateJson)
    export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ;;
esac

[ $qt = 6 ] && build_dir=$build_dir-qt6
cmake -S . -B "$build_dir" -G Ninja -DITEMVIEWS_QT_MAJOR_VERSION=$qt "${options[@]}"
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
if $fuzz; then
    # About 2 minutes on the 2-core CI machine. A crash, a leak, a sanitizer report or an input slower
    # than -timeout fails the run and leaves the input in build-fuzz/ (crash-*, leak-*, timeout-*):
    # it belongs in tests/fuzz/regressions/. New inputs that reach new code collect in build-fuzz/corpus/.
    mkdir -p "$build_dir/corpus"
    exec "$build_dir/tests/fuzz/fuzz_EstimateJson" -seed="${ITEMVIEWS_FUZZ_SEED:-1}" -runs="${ITEMVIEWS_FUZZ_RUNS:-200000}" \
        -timeout=5 -max_len=16384 -dict=tests/fuzz/estimate.dict -artifact_prefix="$build_dir/" -print_final_stats=1 \
        "$build_dir/corpus" tests/fuzz/corpus tests/fuzz/regressions apps/estimate-viewer/sample
fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" "${tests[@]}"
