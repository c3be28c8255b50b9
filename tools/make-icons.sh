#!/usr/bin/env bash
# Draws the hicolor PNG icons (packaging/icons/NxN.png) from resources/glyphwerk.svg.
# Needs rsvg-convert (Debian: librsvg2-bin). The PNGs are committed; run this after changing the
# SVG.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p packaging/icons
for size in 16 22 24 32 48 64 128 256 512; do
    rsvg-convert -w "$size" -h "$size" resources/glyphwerk.svg -o "packaging/icons/${size}x${size}.png"
done
