#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test. Arguments go to ctest (e.g. ./test.sh -R Rect).
set -euo pipefail
cd "$(dirname "$0")"
./deps.sh
jobs=$(nproc)
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUV3_SANITIZE=ON >/dev/null
cmake --build build-test -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
with_display() {
    if [[ -z "${DISPLAY:-}" ]] && command -v xvfb-run >/dev/null; then
        # Tests that open a real window get a virtual X server of their own.
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    else
        "$@"
    fi
}
with_display ctest --test-dir build-test --output-on-failure -j "$jobs" "$@"

# In CI (or when asked), the tests that exercise threads run again under ThreadSanitizer.
# tsan_targets names their executables, tsan_tests the test names (a ctest regex).
tsan_targets=(test_foundation test_files test_images test_device test_content)
tsan_tests='^(Mutex|Thread)\.|ConcurrentReaders|SeveralThreads|WorkerThreadsFill|ResourceQueueThreads'
if [[ "${CI:-}" == "true" || "${RUV3_TSAN_TESTS:-}" == "1" ]]; then
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUV3_TSAN=ON -DRUV3_BENCH=OFF >/dev/null
    cmake --build build-tsan -j "$jobs" --target "${tsan_targets[@]}"
    TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
        ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R "$tsan_tests"
fi
