#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then (when clang is there) the fuzz
# targets' smoke run (tools/run-fuzz.sh smoke). Extra arguments go to ctest (for example -R Bayer); such a
# filtered run skips the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=${NX_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release ${NX_CMAKE_ARGS:-}
cmake --build "$build"
# ThreadSanitizer builds: Qt's own thread pool is not instrumented, see tests/tsan.supp.
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp ${TSAN_OPTIONS:-}"
(cd "$build" && ctest --output-on-failure -j"$(nproc)" --no-tests=error "$@")
if [[ $# -eq 0 ]] && command -v clang++ >/dev/null; then
    tools/run-fuzz.sh smoke
fi
