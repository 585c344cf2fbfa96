#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it with the simulated camera.
# Without a display it runs under a virtual one (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target nxviewer
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1600x1000x24" build/src/app/nxviewer "$@"
fi
exec build/src/app/nxviewer "$@"
