#!/usr/bin/env bash
# Installs what building, testing and running the viewer need on Debian 12. Idempotent: when every
# package is there already it asks apt nothing. Works as root or through sudo.
#   tools/install-deps.sh          build, tests, benchmarks and the program (clang and its libFuzzer runtime
#                                  only for the fuzz targets; the program is built with g++), and the
#                                  package with its checks (desktop-file-utils, appstream, lintian)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-translations-l10n libpng-dev libtiff-dev zlib1g-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libturbojpeg0-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-video-dev
  xvfb xauth fonts-noto-cjk poppler-utils
  desktop-file-utils appstream lintian dpkg-dev file
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
