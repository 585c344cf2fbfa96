#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it with the simulated camera, or with the camera
# that a --camera argument names (--camera auto: a plugged-in video camera when there is one).
# Without a display it runs under a virtual one (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target nxviewer
args=("$@")
if [[ " $* " != *" --camera"* ]]; then
  args=(--camera own "${args[@]}")
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1600x1000x24" build/src/app/nxviewer "${args[@]}"
fi
exec build/src/app/nxviewer "${args[@]}"
