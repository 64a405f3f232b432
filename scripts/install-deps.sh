#!/usr/bin/env bash
# Installs what building, running and testing Kovalis needs on Debian 12, 13 or testing, only what
# is missing.
set -euo pipefail
. /etc/os-release

packages=(
    build-essential cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools qt6-tools-dev
    qt6-svg-dev qt6-image-formats-plugins libgl-dev
    fonts-noto-cjk xvfb xauth x11-utils imagemagick
    qt6-translations-l10n locales
    fcitx5-frontend-qt6
    libqt6sql6-sqlite libicu-dev
)
# From Debian 13 on, Qt's SVG icon plugin is a package of its own.
if [ "${VERSION_CODENAME:-}" != bookworm ]; then
    packages+=(qt6-svg-plugins)
fi
# What scripts/package.sh and the package test need: the Debian package tools, the checkers, the
# icon renderer (scripts/make-icons.sh) and the root maker.
if [ "${KOVALIS_WITH_PACKAGING:-0}" = 1 ]; then
    packages+=(debhelper dpkg-dev lintian desktop-file-utils appstream librsvg2-bin debootstrap)
fi
# clang and its sanitizer and libFuzzer runtimes, for the fuzz build (scripts/test.sh always asks).
if [ "${KOVALIS_WITH_FUZZ:-0}" = 1 ]; then
    if [ "${VERSION_CODENAME:-}" = bookworm ]; then
        packages+=(clang libclang-rt-14-dev)
    else
        packages+=(clang libclang-rt-dev)
    fi
fi

# Python for the benchmarks' harness, and Debian's Chromium to time beside the program (bench/run.sh asks).
if [ "${KOVALIS_WITH_BENCH:-0}" = 1 ]; then
    packages+=(python3 chromium)
fi

# Debian's Chromium, for the check that an exported bookmarks.html goes into Chromium
# (tests/history/chromium-import.sh); large, so only on demand.
if [ "${KOVALIS_WITH_CHROMIUM:-0}" = 1 ]; then
    packages+=(chromium)
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
