#!/usr/bin/env bash
# Renders the icon's PNG sizes from its SVG, the one source drawn by hand.
# The PNGs are kept in the repository so that building needs no renderer; run
# this (it needs rsvg-convert, from librsvg2-bin) after editing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../desktop/icons"
id=io.github.velkan.Velkan
for size in 16 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$id.svg" -o "hicolor/${size}x${size}/apps/$id.png"
done
