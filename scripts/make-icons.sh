#!/usr/bin/env bash
# Renders the program's icon, resources/icons/kovalis.svg, into the PNG sizes desktops without SVG
# icons look for (resources/icons/hicolor/<size>/kovalis.png). Run after changing the SVG and commit
# the PNGs; the build only copies them. Uses rsvg-convert (librsvg2-bin, installed with
# KOVALIS_WITH_PACKAGING=1 scripts/install-deps.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
command -v rsvg-convert >/dev/null || KOVALIS_WITH_PACKAGING=1 bash "$here/scripts/install-deps.sh"
for size in 16 22 24 32 48 64 128 256; do
    out=$here/resources/icons/hicolor/$size/kovalis.png
    mkdir -p "$(dirname "$out")"
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$here/resources/icons/kovalis.svg" -o "$out.new"
    mv "$out.new" "$out"
done
echo "icons written to resources/icons/hicolor/"
