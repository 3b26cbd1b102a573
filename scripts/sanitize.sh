#!/usr/bin/env bash
# Builds the whole program and test suite with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test headless. Any sanitizer report fails the test that triggered it, and so this script.
# Usage: bash scripts/sanitize.sh [ctest arguments]
# TANKDEF_ASAN_BUILD_DIR picks the build folder (default build-asan); TANKDEF_JOBS the parallel jobs.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/bootstrap.sh
build="${TANKDEF_ASAN_BUILD_DIR:-build-asan}"
jobs="${TANKDEF_JOBS:-$(nproc)}"
start=$(date +%s)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTANKDEF_WERROR=ON -DTANKDEF_SANITIZE=ON >/dev/null
cmake --build "$build" --parallel "$jobs"
built=$(date +%s)

# Leaks are checked; the suppressions name only libraries outside this project (fontconfig, the
# graphics stack Qt loads), never our own code.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

status=0
(cd "$build" && ctest --output-on-failure --parallel "$jobs" --timeout 600 "$@") || status=$?
end=$(date +%s)
echo "sanitize.sh: build $((built - start)) s, tests $((end - built)) s, total $((end - start)) s"
if [ "$status" -ne 0 ]; then
  echo "sanitize.sh: FAILED (a test failed or a sanitizer reported a finding)" >&2
fi
exit "$status"
