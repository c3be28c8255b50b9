#!/usr/bin/env python3
"""Checks pictures as the program decodes them against Pillow's pixels (python3-pil).

    tools/check-against-pillow.py BUILD/tools/picture-pixels PICTURE...

For each picture: the program's pixels (from picture-pixels, which draws it at its own size)
and Pillow's. Prints one line a picture, OK or the first differences, and
exits non-zero when any differs by more than the tolerance (2 levels a sample, for rounding;
both premultiplied, as the program's canvas holds them). Sample layouts Pillow cannot
read or shows clipped (12-, 24- and 32-bit integers, floats, 16-bit CMYK) are checked against
ImageMagick (convert, identify) instead. Where the program deliberately differs:
  - damaged files: the part that could not be read is filled differently (transparent here,
    grey for JPEG); only the pixels the program drew are compared;
  - PNG palette indices past the palette: opaque black, as browsers show them; Pillow shows
    the index's grey.
"""
import subprocess
import sys

from PIL import Image, ImageFile

ImageFile.LOAD_TRUNCATED_IMAGES = True
TOLERANCE = 2


def ours(tool, paths):
    out = subprocess.run([tool, *paths], capture_output=True, text=True).stdout
    result = {}
    for line in out.splitlines():
        name, size, pixels, *rest = line.split("\t") + [""]
        if size == "error":
            result[name] = ("error", pixels)
            continue
        w, h = (int(v) for v in size.split("x"))
        words = [int(v, 16) for v in pixels.split()]
        px = [(v >> 24, v >> 16 & 255, v >> 8 & 255, v & 255) for v in words]
        result[name] = ((w, h), [px[y * w:(y + 1) * w] for y in range(h)], rest[0])
    return result


def premultiplied(rgba_pixels):
    return [tuple((v * a + 127) // 255 for v in (r, g, b)) + (a,) for r, g, b, a in rgba_pixels]


def pillow(path):
    from PIL import ImageOps
    with Image.open(path) as im:
        im.load()
        kind = im.format
        # Orientation as viewers show it: Pillow turns TIFF pictures as it loads them, JPEG
        # pictures only when asked.
        if kind != "TIFF":
            im = ImageOps.exif_transpose(im)
        if im.mode in ("I", "I;16", "I;16B", "F"):
            return None  # Pillow shows these clipped, not scaled
        rgba = im.convert("RGBA")
        w, h = rgba.size
        pixels = list(rgba.getdata())
        if kind == "PNG" and im.mode == "P":
            # Indices past the palette: opaque black here, as browsers show them.
            data = open(path, "rb").read()
            at = data.find(b"PLTE")
            entries = int.from_bytes(data[at - 4:at], "big") // 3 if at >= 4 else 0
            pixels = [(0, 0, 0, 255) if i >= entries else px
                      for i, px in zip(im.getdata(), pixels)]
    data = premultiplied(pixels)
    return (w, h), [data[y * w:(y + 1) * w] for y in range(h)]


def imagemagick(path):
    """ImageMagick's pixels, for the sample layouts Pillow cannot read (12-, 24- and 32-bit
    integers, floats, 16-bit CMYK), scaled to 8 bits as ImageMagick scales them."""
    size = subprocess.run(["identify", "-format", "%w %h", path + "[0]"], capture_output=True,
                          text=True, check=True).stdout.split()
    w, h = int(size[0]), int(size[1])
    raw = subprocess.run(["convert", path + "[0]", "-auto-orient", "-colorspace", "sRGB",
                          "-depth", "8", "rgba:-"], capture_output=True, check=True).stdout
    px = [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]
    if len(px) != w * h:  # turned by -auto-orient
        w, h = h, w
    data = premultiplied(px)
    return (w, h), [data[y * w:(y + 1) * w] for y in range(h)]


def differs(a, b):
    return any(abs(x - y) > TOLERANCE for x, y in zip(a, b))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    tool, paths = sys.argv[1], sys.argv[2:]
    decoded = ours(tool, paths)
    failed = 0
    for path in paths:
        mine = decoded.get(path)
        if mine is None or mine[0] == "error":
            print(f"{path}: REFUSED: {mine[1] if mine else 'no output'}")
            continue
        size, rows, warning = mine
        judge = "Pillow"
        try:
            theirs = pillow(path)
        except Exception:
            theirs = None
        if theirs is None:
            judge = "ImageMagick"
            try:
                theirs = imagemagick(path)
            except Exception as e:
                print(f"{path}: converted; neither Pillow nor ImageMagick reads it ({e})")
                continue
        if theirs[0] != size:
            print(f"{path}: DIFFERENT SIZE: {size} here, {theirs[0]} in {judge}")
            failed += 1
            continue
        # Damaged files: only the pixels drawn here (not transparent) are compared.
        compared = [y for y, row in enumerate(rows)
                    if not warning or any(px[3] for px in row)]
        bad = [(x, y, rows[y][x], theirs[1][y][x]) for y in compared
               for x in range(size[0]) if (not warning or rows[y][x][3])
               and differs(rows[y][x], theirs[1][y][x])]
        note = f" ({warning})" if warning else ""
        if bad:
            failed += 1
            print(f"{path}: {len(bad)} PIXELS DIFFER from {judge}{note}; first: " +
                  ", ".join(f"({x},{y}) {a} vs {b}" for x, y, a, b in bad[:3]))
        else:
            print(f"{path}: OK against {judge}, {len(compared)} of {size[1]} rows{note}")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
