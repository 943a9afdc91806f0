#!/usr/bin/env bash
# Installs the packages, builds everything and runs the whole test suite.
#   MORVO_BUILD_DIR     build folder (default: build)
#   MORVO_SANITIZE      ON for AddressSanitizer + UBSan, thread for
#                       ThreadSanitizer (default: OFF)
#   MORVO_TEST_TARGETS  build only these targets (default: all)
#   MORVO_TEST_LABELS   run only the tests whose label (the test program's
#                       name) matches this regular expression
#   MORVO_TEST_EXCLUDE  skip the tests whose name matches this expression
# Warnings are errors (MORVO_WERROR=OFF turns that off).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${MORVO_BUILD_DIR:-$root/build}"
case "${MORVO_SANITIZE:-OFF}" in
  ON)
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
    export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/support/lsan.supp}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" ;;
  thread)
    export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/support/tsan.supp}" ;;
esac
cmake -S "$root" -B "$build" -G Ninja -DMORVO_SANITIZE="${MORVO_SANITIZE:-OFF}" \
  -DMORVO_WERROR="${MORVO_WERROR:-ON}" -DMORVO_BUILD_TESTS=ON
if [ -n "${MORVO_TEST_TARGETS:-}" ]; then
  # shellcheck disable=SC2086
  cmake --build "$build" -j "$(nproc)" --target $MORVO_TEST_TARGETS
else
  cmake --build "$build" -j "$(nproc)"
fi
cd "$build"
select=()
[ -n "${MORVO_TEST_LABELS:-}" ] && select+=(-L "$MORVO_TEST_LABELS")
[ -n "${MORVO_TEST_EXCLUDE:-}" ] && select+=(-E "$MORVO_TEST_EXCLUDE")
ctest --output-on-failure -j "$(nproc)" "${select[@]}"
