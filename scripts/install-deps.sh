#!/usr/bin/env bash
# Installs, with apt-get, every Debian package that building, testing and
# running Quelvane needs, when one is missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  gcc-multilib g++-multilib
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
  qt6-base-dev qt6-image-formats-plugins
  libpixman-1-dev
  xvfb xauth openbox xdotool x11-utils libx11-dev libxtst-dev
  melt frei0r-plugins-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
as_root=()
if [[ $(id -u) -ne 0 ]]; then as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
