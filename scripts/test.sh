#!/usr/bin/env bash
# Installs the packages, builds everything and runs the whole test suite.
#   MORVO_BUILD_DIR  build folder (default: build)
#   MORVO_SANITIZE   ON for an AddressSanitizer + UBSan build
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${MORVO_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DMORVO_SANITIZE="${MORVO_SANITIZE:-OFF}" -DMORVO_BUILD_TESTS=ON
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
