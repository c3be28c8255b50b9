#!/usr/bin/env bash
# Draws the sample pictures of resources/Samples/ with ImageMagick (package imagemagick).
# Output may differ in bytes between ImageMagick versions; the pictures stay the same.
set -euo pipefail
cd "$(dirname "$0")/../resources/Samples"

convert -size 640x480 gradient:'#1d3b6e'-'#f6c28b' \
    \( -size 640x170 gradient:'#2a5a7a'-'#0b1e33' \) -geometry +0+310 -composite \
    -fill '#3b3b3b' -draw "polygon 0,330 180,300 300,318 330,480 0,480" \
    -fill '#fff6c0' -draw "polygon 246,112 640,40 640,200" \
    -fill '#f2f2f2' -draw "polygon 220,310 236,130 256,130 272,310" \
    -fill '#c0282d' -draw "polygon 232,175 259,175 262,205 229,205" \
    -fill '#c0282d' -draw "polygon 226,245 266,245 268,275 224,275" \
    -fill '#2b2b2b' -draw "rectangle 230,100 262,130" \
    -fill '#ffe680' -draw "circle 246,115 246,104" \
    -fill '#2b2b2b' -draw "polygon 226,100 246,80 266,100" \
    -fill '#ffffff' -draw "circle 520,380 520,378" -draw "circle 470,420 470,418" \
    -fill '#fffbe8' -draw "circle 90,80 90,60" \
    -depth 8 -strip lighthouse.png

convert -size 512x64 -define gradient:direction=east gradient:black-white \
    \( -size 512x64 -define gradient:direction=west gradient:black-white \) -append \
    \( -size 512x128 xc:red xc:orange xc:yellow xc:lime xc:cyan xc:blue xc:magenta +append \
       -resize 512x128\! \) -append \
    \( -size 512x128 radial-gradient:white-black \) -append -depth 8 -strip tonal-scale.png

convert -seed 1234 -size 480x360 plasma:steelblue-white -blur 0x2 -quality 88 -strip clouds.jpg

convert -size 400x300 xc:'#fdf6e3' -fill '#268bd2' -draw "circle 110,150 110,60" \
    -fill '#dc322f' -draw "rectangle 200,60 360,140" \
    -fill '#859900' -draw "polygon 200,250 280,160 360,250" \
    -fill '#073642' -draw "roundrectangle 30,255 370,285 8,8" shapes.gif
