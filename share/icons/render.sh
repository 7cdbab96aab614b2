#!/usr/bin/env bash
# Renders the PNG sizes of the program's icon from ciphra2k.svg (needs
# rsvg-convert, Debian package librsvg2-bin). The PNGs are kept in the
# repository, so building needs no renderer; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" ciphra2k.svg -o "ciphra2k-$size.png"
done
