#!/usr/bin/env bash
# Installs the packages, builds everything and runs the whole test suite.
#   MORVO_BUILD_DIR  build folder (default: build)
#   MORVO_SANITIZE   ON for an AddressSanitizer + UBSan build
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${MORVO_BUILD_DIR:-$root/build}"
if [ "${MORVO_SANITIZE:-OFF}" = "ON" ]; then
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
fi
cmake -S "$root" -B "$build" -G Ninja -DMORVO_SANITIZE="${MORVO_SANITIZE:-OFF}" -DMORVO_BUILD_TESTS=ON
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
