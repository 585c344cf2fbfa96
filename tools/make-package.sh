#!/usr/bin/env bash
# Builds the Debian package of the viewer (build/nxviewer_<version>-1_<arch>.deb), checked by lintian.
# Installs what is missing (Debian 12, as root or through sudo). Install it with apt install ./<file>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=${NX_BUILD_DIR:-build}
# The installed program lives in /usr/bin; it keeps its files in the user's folders there.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr ${NX_CMAKE_ARGS:-}
cmake --build "$build" --target nxviewer nx_dist
tools/check-package.sh "$build"
