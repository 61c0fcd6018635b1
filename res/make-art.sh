#!/usr/bin/env bash
# Draws the program's artwork with ImageMagick: the icon (five sizes), the About picture and
# the two tray-menu images. The results are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"

# The icon: a dark-blue enclosure with a green round button and an arrow into it.
draw_icon() {
    local size=$1 out=$2
    convert -size 256x256 xc:none \
        -fill '#1f3b63' -draw 'roundrectangle 28,52 228,212 28,28' \
        -fill '#2f5d94' -draw 'roundrectangle 40,64 216,200 20,20' \
        -fill '#8fd14f' -stroke '#ffffff' -strokewidth 8 -draw 'circle 178,168 178,196' \
        -stroke none -fill '#ffffff' \
        -draw 'polygon 70,86 110,86 110,120 132,120 90,164 48,120 70,120' \
        -resize "${size}x${size}" "$out"
}
for s in 16 24 32 48 256; do draw_icon "$s" "icon-$s.png"; done
convert icon-16.png icon-24.png icon-32.png icon-48.png icon-256.png Snapkeep.ico
rm -f icon-*.png

# The About picture: 256 by 256, on white, 24-bit.
convert -size 256x256 xc:white \
    -fill '#1f3b63' -draw 'roundrectangle 28,52 228,212 28,28' \
    -fill '#2f5d94' -draw 'roundrectangle 40,64 216,200 20,20' \
    -fill '#8fd14f' -stroke '#ffffff' -strokewidth 8 -draw 'circle 178,168 178,196' \
    -stroke none -fill '#ffffff' \
    -draw 'polygon 70,86 110,86 110,120 132,120 90,164 48,120 70,120' \
    -type TrueColor BMP3:Product.bmp

# Menu images, 16 by 16 on the menu's usual background: a window (restore) and a cross (close).
convert -size 16x16 xc:'#f0f0f0' -fill none -stroke '#1f3b63' -strokewidth 1 \
    -draw 'rectangle 2,3 13,12' -fill '#2f5d94' -draw 'rectangle 2,3 13,5' \
    -type TrueColor BMP3:MenuRestore.bmp
convert -size 16x16 xc:'#f0f0f0' -stroke '#b03030' -strokewidth 2 \
    -draw 'line 4,4 11,11' -draw 'line 11,4 4,11' -type TrueColor BMP3:MenuClose.bmp
