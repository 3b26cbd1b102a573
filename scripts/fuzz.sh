#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on a copy of its seed corpus.
# Prints per target the executions, the corpus size and the crashes; exits non-zero on any crash.
# Usage: bash scripts/fuzz.sh [seconds per target, default 60]
# TANKDEF_FUZZ_BUILD_DIR picks the build folder (default build-fuzz); TANKDEF_JOBS the parallel jobs.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seconds="${1:-60}"
bash scripts/bootstrap.sh
build="${TANKDEF_FUZZ_BUILD_DIR:-build-fuzz}"
jobs="${TANKDEF_JOBS:-$(nproc)}"
targets=(fuzz_receive_path fuzz_config_reply fuzz_table_reply fuzz_sms_reply fuzz_table_import fuzz_payloads)
start=$(date +%s)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTANKDEF_FUZZ=ON -DTANKDEF_WERROR=ON >/dev/null
cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"
built=$(date +%s)

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
work="$build/fuzz-run"
rm -rf "$work"
mkdir -p "$work"
failed=0
printf '%-20s %12s %8s %8s\n' target executions corpus crashes
for target in "${targets[@]}"; do
  corpus="$work/$target/corpus"
  artifacts="$work/$target/artifacts"
  mkdir -p "$corpus" "$artifacts"
  cp -r "fuzz/corpus/$target/." "$corpus/"
  # The receive path needs room for more than 2000 lines in one input.
  max_len=4096
  [ "$target" = fuzz_receive_path ] && max_len=12000
  status=0
  "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -timeout=25 \
    -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    >"$work/$target/log.txt" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target/log.txt" | tail -1)
  crashes=$(find "$artifacts" -type f | wc -l)
  files=$(find "$corpus" -type f | wc -l)
  printf '%-20s %12s %8s %8s\n' "$target" "${execs:-?}" "$files" "$crashes"
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    failed=1
    echo "  $target failed (exit $status); log: $work/$target/log.txt" >&2
    grep -m5 -E 'ERROR|invariant|runtime error|==[0-9]+==' "$work/$target/log.txt" >&2 || true
    find "$artifacts" -type f -printf '  artifact: %p\n' >&2
  fi
done
end=$(date +%s)
echo "fuzz.sh: build $((built - start)) s, fuzzing $((end - built)) s, total $((end - start)) s"
exit "$failed"
