#!/usr/bin/env python3
"""The peer of the PNG image: draws plain text art with DejaVu Sans Mono in Pillow, one line
per row at the font's line height, on a white page, and saves it as a PNG with Pillow's
defaults.

    pillow_png.py ART.txt POINTS OUT.png
"""
import sys

from PIL import Image, ImageDraw, ImageFont

text_path, points, out_path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
lines = open(text_path, encoding="latin-1").read().splitlines()
font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", points)
ascent, descent = font.getmetrics()
pitch = ascent + descent
columns = max((len(line) for line in lines), default=0)
width = int((columns + 2) * 7.1 * points / 12.0 + 70.0 + 0.999999)
height = int((points * (len(lines) + 2) * 15) / 12.0 + 20.0 + 0.999999)
image = Image.new("RGB", (width, height), "white")
draw = ImageDraw.Draw(image)
for row, line in enumerate(lines):
    draw.text((5, row * pitch), line, font=font, fill="black")
image.save(out_path, dpi=(72, 72))
