#!/usr/bin/env bash
# Draws the product icon and writes resources/setup.ico: an open cardboard box
# with its two back flaps standing up and a green arrow pointing into it.
# The .ico is committed, so the build needs neither ImageMagick nor icoutils;
# run this again only after changing the drawing.
#
# Each size is drawn eight times larger and scaled down, which smooths the
# edges; the alpha is then cut to on/off and the colours are reduced so that
# every image fits an 8-bit palette. The images are stored as PNG (Windows
# reads PNG icon images since Vista, the oldest system the manifest names):
# a third of the bytes of bitmaps with a 1 KB palette each, in a stub that
# counts its kilobytes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Coordinates below are on a 48 x 48 grid, origin top left.
draw() {  # size outline-width-in-pixels output.png
  local size=$1 outline=$2 out=$3 big=$(($1 * 8))
  local f; f=$(awk -v b="$big" 'BEGIN { print b / 48 }')
  poly() { awk -v f="$f" '{ for (i = 1; i <= NF; i++) { split($i, p, ",");
             printf "%s%.1f,%.1f", (i > 1 ? " " : ""), p[1] * f, p[2] * f } }' <<<"$*"; }
  convert -size "${big}x${big}" xc:none \
    -stroke '#4a2c12' -strokewidth "$(awk -v w="$outline" 'BEGIN { print w * 8 }')" \
    -fill '#d9a45a' -draw "polygon $(poly 6,22 24,14 20,5 2,13)" \
    -fill '#d9a45a' -draw "polygon $(poly 24,14 42,22 46,13 28,5)" \
    -fill '#5a3615' -draw "polygon $(poly 6,22 24,14 42,22 24,30)" \
    -fill '#c27f35' -draw "polygon $(poly 6,22 24,30 24,46 6,38)" \
    -fill '#9a5f24' -draw "polygon $(poly 24,30 42,22 42,38 24,46)" \
    -stroke '#1d5e20' -fill '#3fb34a' \
    -draw "polygon $(poly 19,1.5 29,1.5 29,13 37,13 24,27 11,13 19,13)" \
    -filter box -resize "${size}x${size}" \
    -channel A -threshold 50% +channel +dither -colors 128 -define png:compression-level=9 "PNG8:$out"
}

# Thinner outlines at the small sizes keep the arrow readable.
draw 48 1.2 "$work/48.png"
draw 32 1.0 "$work/32.png"
draw 16 0.8 "$work/16.png"
icotool --create -o "$here/setup.ico" --raw="$work/48.png" --raw="$work/32.png" --raw="$work/16.png"
icotool --list "$here/setup.ico"
