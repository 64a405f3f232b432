#!/usr/bin/env bash
# Installs what building, running and testing Kovalis needs on Debian 12, only what is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools qt6-tools-dev
    qt6-svg-dev qt6-image-formats-plugins libgl-dev
    fonts-noto-cjk xvfb xauth x11-utils imagemagick
    fcitx5-frontend-qt6
)
# clang and its sanitizer and libFuzzer runtimes, for the fuzz build (scripts/test.sh always asks).
if [ "${KOVALIS_WITH_FUZZ:-0}" = 1 ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
sudo=""
if [ "$(id -u)" != 0 ]; then
    sudo=sudo
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
