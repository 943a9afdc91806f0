#!/usr/bin/env bash
# clang-tidy (.clang-tidy) over the core folders' sources, with the compile
# commands of a configured build (default: build). Fails on any finding.
#   MORVO_BUILD_DIR  the build folder whose compile_commands.json is used
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${MORVO_BUILD_DIR:-$root/build}"
cd "$root"
mapfile -t files < <(git ls-files 'platform/*.cpp' 'infra/*.cpp' 'codecs/*.cpp' 'text/*.cpp' \
  'params/*.cpp' 'engine/*.cpp' 'app/*.cpp' 'cli/*.cpp' | grep -v '^platform/qt/')
tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)
"$tidy" -quiet -p "$build" -j "$(nproc)" "${files[@]}"
