#!/usr/bin/env bash
# Installs every Debian package the project builds, runs and tests with. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsdl2-dev python3-glad libstb-dev zlib1g-dev libdeflate-dev
  libtinygltf-dev nlohmann-json3-dev
  libvorbis-dev
  libsqlite3-dev libsodium-dev
  fonts-firacode
  xvfb xauth x11-utils xdotool imagemagick
  libgl1-mesa-dri libglx-mesa0 libegl-mesa0 mesa-utils
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
