#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test. Arguments go to ctest (e.g. ./test.sh -R Rect).
set -euo pipefail
cd "$(dirname "$0")"
./deps.sh
jobs=$(nproc)
in_ci=false
[[ "${CI:-}" == "true" ]] && in_ci=true
# In CI a new compiler warning fails the build.
werror=OFF
$in_ci && werror=ON
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUV3_SANITIZE=ON -DRUV3_BENCH=OFF -DRUV3_WERROR="$werror" >/dev/null
cmake --build build-test -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
with_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        "$@"
    elif command -v xvfb-run >/dev/null; then
        # Tests that open a real window get a virtual X server of their own.
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    elif $in_ci; then
        echo "test.sh: no DISPLAY and no xvfb-run: CI cannot run the window tests (deps.sh installs xvfb)" >&2
        exit 1
    else
        echo "test.sh: no DISPLAY and no xvfb-run: the window tests are skipped (install xvfb)" >&2
        "$@"
    fi
}
with_display ctest --test-dir build-test --output-on-failure -j "$jobs" "$@"

# In CI (or when asked), the tests that start threads (ctest label "threads", given to tests
# with "Thread" in their name) run again under ThreadSanitizer.
if $in_ci || [[ "${RUV3_TSAN_TESTS:-}" == "1" ]]; then
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUV3_TSAN=ON -DRUV3_BENCH=OFF \
        -DRUV3_WERROR="$werror" >/dev/null
    cmake --build build-tsan -j "$jobs" --target threaded_tests
    TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
        with_display ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threads --no-tests=error
fi
