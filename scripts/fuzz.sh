#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each
# for SECONDS (default 60), one after the other. Fails when any target
# finds something; the input that did it lands in <build>/fuzz-findings/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   MORVO_FUZZ_BUILD_DIR  build folder (default: build-fuzz)
#   MORVO_FUZZ_JOBS       build jobs (default: nproc)
#   MORVO_FUZZ_CC/_CXX    the compilers (default: clang, clang++)
# Each target's corpus grows in <build>/fuzz-corpus/<target>; the seeds and
# regression inputs in tests/fuzz/corpus/<target> are read, never written.
# A finding worth keeping is copied there as regress-<what> once fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds="${1:-60}"
shift || true
build="${MORVO_FUZZ_BUILD_DIR:-$root/build-fuzz}"
jobs="${MORVO_FUZZ_JOBS:-$(nproc)}"
bash "$root/scripts/install-deps.sh"

CC="${MORVO_FUZZ_CC:-clang}" CXX="${MORVO_FUZZ_CXX:-clang++}" \
  cmake -S "$root" -B "$build" -G Ninja -DMORVO_FUZZ=ON -DMORVO_BUILD_TESTS=OFF \
  -DMORVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

# Leaks are findings too; a report stops the run at once.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

mkdir -p "$build/fuzz-findings" "$build/fuzz-logs"
failed=()
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  log="$build/fuzz-logs/$target.log"
  mkdir -p "$corpus"
  echo "== $target: ${seconds}s"
  # -timeout: one input running longer than this is a finding (a hang).
  if "$build/bin/$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2560 \
      -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$target-" \
      "$corpus" "$root/tests/fuzz/corpus/$target" </dev/null >"$log" 2>&1; then
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs)' "$log" || true
  else
    failed+=("$target")
    tail -n 60 "$log"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $build/fuzz-findings/)"
  exit 1
fi
echo "fuzzing: no findings in ${targets[*]}"
