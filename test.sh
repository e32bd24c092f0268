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
run_ctest=(ctest --test-dir build-test --output-on-failure -j "$jobs" "$@")
if [[ -z "${DISPLAY:-}" ]] && command -v xvfb-run >/dev/null; then
    # Tests that open a real window get a virtual X server of their own.
    xvfb-run -a -s "-screen 0 1280x1024x24" "${run_ctest[@]}"
else
    "${run_ctest[@]}"
fi
