#!/usr/bin/env python3
"""Writes the hand-made test pictures of tests/data/good/ and their expected pixels.

Each picture is built byte by byte here, so that every variant a reader must accept (and the
layout it is stored in) is spelled out in one place; tests/data/good/expected.tsv gets one row per
picture with the pixels it must decode to. The rows of the ImageMagick references in the same
folder (see its README.md) are written too, from the sources those files were made from.

Usage: tools/make-test-pictures.py [tests/data]   (Python 3; the JPEG pictures need cjpeg and
djpeg from libjpeg-turbo-progs, the cases checked against an independent decoder need Pillow,
python3-pil)
"""
import struct
import sys
from pathlib import Path

DATA = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / "tests/data")
GOOD = DATA / "good"
rows = {}  # file name -> (width, height, [0xRRGGBBAA, ...])


def le(value, size):
    return value.to_bytes(size, "little", signed=value < 0)


def be(value, size):
    return value.to_bytes(size, "big")


def picture(name, data, width, height, pixels):
    assert len(pixels) == width * height, name
    (GOOD / name).write_bytes(bytes(data))
    rows[name] = (width, height, pixels)


# --- BMP ------------------------------------------------------------------------------------

def bmp(width=1, height=1, bits=24, compression=0, header_size=40, masks=(), palette=(),
        colors_used=0, pixels=b""):
    core = header_size == 12
    header = le(header_size, 4) + le(width, 2 if core else 4) + le(height, 2 if core else 4)
    header += le(1, 2) + le(bits, 2)
    if not core:
        for v in (compression, len(pixels), 2835, 2835, colors_used, 0):
            header += le(v, 4)
        for m in masks:  # inside a longer header, or after the 40-byte one
            header += le(m, 4)
        header += bytes(max(0, header_size - len(header)))
    for r, g, b in palette:
        header += bytes([b, g, r]) + (b"" if core else b"\0")
    return (b"BM" + le(14 + len(header) + len(pixels), 4) + le(0, 4) + le(14 + len(header), 4)
            + header + bytes(pixels))


def pad_rows(*rows_):
    out = b""
    for row in rows_:
        out += bytes(row) + bytes(-len(row) % 4)
    return out


FOUR = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)]
K, R, G, B = 0x000000FF, 0xFF0000FF, 0x00FF00FF, 0x0000FFFF
GREEN_OVER_RED = [G, G, G, R, R, R]


def bmp_pictures():
    p = picture
    p("bmp-24-bit-bottom-up-padded.bmp", bmp(3, 2, pixels=pad_rows(
        [0, 0, 255, 0, 255, 0, 255, 0, 0], [10, 20, 30, 40, 50, 60, 70, 80, 90])), 3, 2,
      [0x1E140AFF, 0x3C3228FF, 0x5A5046FF, R, G, B])
    p("bmp-top-down.bmp", bmp(1, -2, pixels=pad_rows([0, 0, 255], [255, 0, 0])), 1, 2, [R, B])
    p("bmp-last-row-unpadded.bmp", bmp(1, 2, pixels=[1, 2, 3, 0, 4, 5, 6]), 1, 2,
      [0x060504FF, 0x030201FF])
    p("bmp-32-bit-alpha.bmp", bmp(3, bits=32, pixels=[1, 2, 3, 255, 1, 2, 3, 128, 1, 2, 3, 0]),
      3, 1, [0x030201FF, 0x03020180, 0x03020100])
    p("bmp-32-bit-alpha-all-zero-is-opaque.bmp",
      bmp(3, bits=32, pixels=[1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0]), 3, 1,
      [0x030201FF, 0x060504FF, 0x090807FF])
    p("bmp-16-bit-default-555.bmp", bmp(2, bits=16, pixels=[0x00, 0x7C, 0x1F, 0x00]), 2, 1, [R, B])
    p("bmp-16-bit-565-masks.bmp", bmp(2, bits=16, compression=3, masks=[0xF800, 0x07E0, 0x001F],
                                      pixels=[0xE0, 0x07, 0x10, 0x84]), 2, 1, [G, 0x848284FF])
    p("bmp-16-bit-4444-masks-alpha.bmp",
      bmp(2, bits=16, compression=6, masks=[0x0F00, 0x00F0, 0x000F, 0xF000],
          pixels=[0x00, 0x8F, 0xFF, 0xFF]), 2, 1, [0xFF000088, 0xFFFFFFFF])
    p("bmp-v5-header-masks.bmp",
      bmp(2, bits=32, compression=3, header_size=124,
          masks=[0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000],
          pixels=[10, 20, 30, 40, 50, 60, 70, 255]), 2, 1, [0x0A141E28, 0x323C46FF])
    p("bmp-1-bit-nine-wide.bmp", bmp(9, bits=1, palette=FOUR,
                                     pixels=pad_rows([0b10100000, 0b10000000])), 9, 1,
      [0xFF0000FF, K, 0xFF0000FF, K, K, K, K, K, 0xFF0000FF])
    p("bmp-4-bit.bmp", bmp(3, bits=4, palette=FOUR, pixels=pad_rows([0x32, 0x10])), 3, 1,
      [B, G, R])
    p("bmp-8-bit-short-palette.bmp", bmp(2, bits=8, palette=[(1, 2, 3), (4, 5, 6)], colors_used=2,
                                         pixels=pad_rows([1, 0])), 2, 1, [0x040506FF, 0x010203FF])
    # Only one entry lies before the pixels.
    p("bmp-palette-count-beyond-pixel-offset.bmp",
      bmp(bits=8, palette=[(1, 2, 3)], colors_used=200, pixels=pad_rows([0])), 1, 1, [0x010203FF])
    p("bmp-os2-core-header.bmp", bmp(2, bits=8, header_size=12, palette=FOUR,
                                     pixels=pad_rows([2, 3])), 2, 1, [G, B])
    # Bottom row four red; a literal of three padded to even, the fourth pixel left transparent;
    # a delta of two to the right, two green, end of picture.
    p("bmp-rle8-runs-literals-delta.bmp",
      bmp(4, 3, bits=8, compression=1, palette=FOUR,
          pixels=[4, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 0, 2, 2, 0, 1]), 4, 3,
      [0, 0, G, G, G, B, R, 0, R, R, R, R])
    # A run of 1 2 1, a literal of 3 0 1, a run of one 2.
    p("bmp-rle4-nibbles.bmp", bmp(7, bits=4, compression=2, palette=FOUR,
                                  pixels=[3, 0x12, 0, 3, 0x30, 0x10, 1, 0x23, 0, 1]), 7, 1,
      [R, G, R, B, K, R, G])
    # Some writers let runs cover a row's padding; it is dropped. A stream that fills the last
    # row may end without its end-of-picture code.
    p("bmp-rle8-run-over-row-padding.bmp", bmp(3, 2, bits=8, compression=1, palette=FOUR,
                                               pixels=[4, 1, 0, 0, 3, 2, 0, 1]), 3, 2,
      GREEN_OVER_RED)
    p("bmp-rle8-without-end-code.bmp", bmp(3, 2, bits=8, compression=1, palette=FOUR,
                                           pixels=[3, 1, 0, 0, 3, 2]), 3, 2, GREEN_OVER_RED)


# --- TGA ------------------------------------------------------------------------------------

def tga(image_type=2, depth=24, width=1, height=1, descriptor=0, ident=b"", map_type=0,
        map_first=0, map_length=0, map_bits=0, colour_map=b"", pixels=b""):
    return (bytes([len(ident), map_type, image_type]) + le(map_first, 2) + le(map_length, 2)
            + bytes([map_bits]) + bytes(4) + le(width, 2) + le(height, 2)
            + bytes([depth, descriptor]) + bytes(ident) + bytes(colour_map) + bytes(pixels))


FOUR_BGR = [0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255]  # red, green, blue, white
RED_BLUE_MAP = [0, 0, 255, 255, 0, 0]
W = 0xFFFFFFFF


def tga_pictures():
    p = picture
    # The default origin is bottom-left: the first file row is the bottom one.
    for name, descriptor, want in [("bottom-left", 0, [B, W, R, G]),
                                   ("top-left", 0x20, [R, G, B, W]),
                                   ("top-right", 0x30, [G, R, W, B]),
                                   ("bottom-right", 0x10, [W, B, G, R])]:
        p(f"tga-origin-{name}.tga", tga(width=2, height=2, descriptor=descriptor,
                                        pixels=FOUR_BGR), 2, 2, want)
    p("tga-image-id-skipped.tga", tga(ident=b"hello", pixels=[1, 2, 3]), 1, 1, [0x030201FF])
    p("tga-32-bit-alpha.tga", tga(depth=32, width=3, descriptor=8,
                                  pixels=[1, 2, 3, 255, 1, 2, 3, 128, 1, 2, 3, 0]), 3, 1,
      [0x030201FF, 0x03020180, 0x03020100])
    p("tga-32-bit-alpha-all-zero-is-opaque.tga",
      tga(depth=32, width=2, descriptor=8, pixels=[1, 2, 3, 0, 1, 2, 3, 0]), 2, 1,
      [0x030201FF, 0x030201FF])
    p("tga-16-bit-attribute-is-alpha.tga",
      tga(depth=16, width=2, descriptor=1, pixels=[0x00, 0xFC, 0x1F, 0x00]), 2, 1,
      [R, 0x0000FF00])
    p("tga-16-bit-attribute-not-alpha.tga", tga(depth=16, width=2, pixels=[0x00, 0xFC, 0x1F, 0]),
      2, 1, [R, B])
    p("tga-15-bit.tga", tga(depth=15, width=2, pixels=[0xE0, 0x03, 0x10, 0x42]), 2, 1,
      [G, 0x848484FF])
    p("tga-grey.tga", tga(image_type=3, depth=8, width=2, pixels=[0, 200]), 2, 1, [K, 0xC8C8C8FF])
    p("tga-grey-alpha.tga", tga(image_type=3, depth=16, width=2, descriptor=8,
                                pixels=[10, 255, 20, 128]), 2, 1, [0x0A0A0AFF, 0x14141480])
    for bits, entries, first in [(24, RED_BLUE_MAP, R), (32, [0, 0, 255, 128, 255, 0, 0, 255],
                                                          0xFF000080),
                                 (16, [0x00, 0x7C, 0x1F, 0x00], R)]:
        p(f"tga-{bits}-bit-map-from-10.tga",
          tga(image_type=1, depth=8, width=3, map_type=1, map_first=10, map_length=2,
              map_bits=bits, colour_map=entries, pixels=[10, 11, 10]), 3, 1, [first, B, first])
    # A run of three red pixels, then one raw blue pixel.
    p("tga-rle-packets-cross-rows.tga",
      tga(image_type=10, width=2, height=2, descriptor=0x20,
          pixels=[0x82, 0, 0, 255, 0x00, 255, 0, 0]), 2, 2, [R, R, R, B])
    p("tga-rle-grey.tga", tga(image_type=11, depth=8, width=4, pixels=[0x81, 7, 0x01, 8, 9]), 4, 1,
      [0x070707FF, 0x070707FF, 0x080808FF, 0x090909FF])
    p("tga-rle-mapped.tga", tga(image_type=9, depth=8, width=4, map_type=1, map_length=2,
                                map_bits=24, colour_map=RED_BLUE_MAP,
                                pixels=[0x82, 1, 0x00, 0]), 4, 1, [B, B, B, R])


# --- PSD ------------------------------------------------------------------------------------

def psd(channels=3, width=1, height=1, depth=8, mode=3, colour_data=b"", resources=b"",
        layers=b"", compression=0, data=b""):
    out = b"8BPS" + be(1, 2) + bytes(6) + be(channels, 2) + be(height, 4) + be(width, 4)
    out += be(depth, 2) + be(mode, 2)
    for section in (colour_data, resources, layers):
        out += be(len(section), 4) + bytes(section)
    return out + be(compression, 2) + bytes(data)


def plane_data(planes, packbits):
    """Raw planes, or with PackBits the table of row byte counts and then the rows: a row of
    equal bytes as one run, any other as one literal."""
    table, packed_rows = b"", b""
    for plane in planes:
        for row in plane:
            if not packbits:
                packed = bytes(row)
            elif len(row) > 1 and len(set(row)) == 1:
                packed = bytes([257 - len(row), row[0]])
            else:
                packed = bytes([len(row) - 1]) + bytes(row)
            table += be(len(packed), 2)
            packed_rows += packed
    return table + packed_rows if packbits else packed_rows


# A 3 x 2 RGB picture: red green blue / black grey white, as planes.
RGB_PLANES = [[[255, 0, 0], [0, 128, 255]], [[0, 255, 0], [0, 128, 255]],
              [[0, 0, 255], [0, 128, 255]]]
RGB_PIXELS = [R, G, B, K, 0x808080FF, W]


def psd_pictures():
    p = picture
    alpha = RGB_PLANES + [[[255, 128, 0], [255, 255, 255]]]
    empty_alpha = RGB_PLANES + [[[0, 0, 0], [0, 0, 0]]]
    four = RGB_PLANES + [[[255] * 3, [255] * 3]]
    for packbits, how in [(False, "raw"), (True, "packbits")]:
        c = 1 if packbits else 0

        def rgb(planes, **extra):
            return psd(channels=len(planes), width=3, height=2, compression=c,
                       data=plane_data(planes, packbits), **extra)
        p(f"psd-rgb-{how}.psd", rgb(RGB_PLANES), 3, 2, RGB_PIXELS)
        p(f"psd-rgb-{how}-with-sections.psd",
          rgb(RGB_PLANES, resources=b"\xab" * 37, layers=b"\xcd" * 100), 3, 2, RGB_PIXELS)
        p(f"psd-rgba-{how}.psd", rgb(alpha), 3, 2, [R, 0x00FF0080, 0x0000FF00, K, 0x808080FF, W])
        # An alpha channel left empty shows the picture.
        p(f"psd-rgba-{how}-alpha-empty.psd", rgb(empty_alpha), 3, 2, RGB_PIXELS)
    # Only the first four of 56 channels are read; raw, only their rows need to be present,
    # while the PackBits byte count table covers all 56.
    p("psd-56-channels-raw-first-four-present.psd",
      psd(channels=56, width=3, height=2, data=plane_data(four, False)), 3, 2, RGB_PIXELS)
    many = four + [[[9] * 3, [9] * 3]] * 52
    p("psd-56-channels-packbits.psd",
      psd(channels=56, width=3, height=2, compression=1, data=plane_data(many, True)), 3, 2,
      RGB_PIXELS)
    # 0x7FFF rounds down to 127, 0x8000 up to 128, 0x0101 is exactly 1, 0x0080 rounds to 0.
    p("psd-16-bit-rounding.psd", psd(width=2, depth=16, data=[0xFF, 0xFF, 0x7F, 0xFF, 0x00, 0x00,
                                                              0x80, 0x00, 0x01, 0x01, 0x00, 0x80]),
      2, 1, [0xFF0001FF, 0x7F8000FF])
    p("psd-grey.psd", psd(channels=1, width=2, mode=1, data=[0, 200]), 2, 1, [K, 0xC8C8C8FF])
    p("psd-grey-alpha.psd", psd(channels=2, width=2, mode=1, data=[10, 20, 255, 128]), 2, 1,
      [0x0A0A0AFF, 0x14141480])
    # The colour table holds 256 reds, then 256 greens, then 256 blues.
    table = bytearray(768)
    table[1] = table[256 + 2] = 255
    table[255], table[767] = 7, 9
    p("psd-indexed.psd", psd(channels=1, width=3, mode=2, colour_data=table, data=[1, 2, 255]),
      3, 1, [R, G, 0x070009FF])


# --- GIF and TIFF (drawn through giflib and libtiff; their rows hold the drawn canvas) ------

def distinct(w, h, transparent=(), half=()):
    """Every pixel differs, so that any misplacement shows; as straight (r, g, b, a) tuples."""
    return [[(20 + 40 * x & 255, 20 + 40 * y & 255, 7 * (x + y) & 255,
              0 if (x, y) in transparent else 128 if (x, y) in half else 255) for x in range(w)]
            for y in range(h)]


def canvas_row(name, rgba_rows):
    """The expected row of a picture drawn at its own size: premultiplied, rounded."""
    pixels = []
    for row in rgba_rows:
        for r, g, b, a in row:
            r, g, b = ((v * a + 127) // 255 for v in (r, g, b))
            pixels.append(r << 24 | g << 16 | b << 8 | a)
    rows[name] = (len(rgba_rows[0]), len(rgba_rows), pixels)


def gif(image, interlaced=False):
    """One frame; pixels with alpha 0 share a transparent index. The LZW stream sends a clear
    code before the code width would grow, so every pixel is one literal code."""
    colours, indices = [], []
    for row in image:
        for r, g, b, a in row:
            key = None if a == 0 else (r, g, b)
            if key not in colours:
                colours.append(key)
            indices.append(colours.index(key))
    bits = max(2, (len(colours) - 1).bit_length())
    table = b"".join(bytes(c or (0, 0, 0)) for c in colours) + bytes(3 * ((1 << bits) - len(colours)))
    w, h = len(image[0]), len(image)
    order = list(range(h))
    if interlaced:
        order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for y in range(start, h, step)]
    clear, end, width = 1 << bits, (1 << bits) + 1, bits + 1
    codes, since_clear = [clear], 0
    for y in order:
        for x in range(w):
            if since_clear == (1 << bits) - 2:
                codes.append(clear)
                since_clear = 0
            codes.append(indices[y * w + x])
            since_clear += 1
    codes.append(end)
    stream, acc, n = bytearray(), 0, 0
    for code in codes:
        acc |= code << n
        n += width
        while n >= 8:
            stream.append(acc & 255)
            acc >>= 8
            n -= 8
    if n:
        stream.append(acc)
    out = b"GIF89a" + le(w, 2) + le(h, 2) + bytes([0xF0 | (bits - 1), 0, 0]) + table
    if None in colours:
        out += b"\x21\xF9\x04\x01\0\0" + bytes([colours.index(None), 0])
    out += b"\x2C" + le(0, 4) + le(w, 2) + le(h, 2) + bytes([0x40 if interlaced else 0, bits])
    for i in range(0, len(stream), 255):
        out += bytes([len(stream[i:i + 255])]) + stream[i:i + 255]
    return out + b"\0\x3B"


def tiff(image, orientation=1, tiled=False, alpha=True, rows_per_strip=3):
    """Little-endian, uncompressed, RGB(A) with unassociated alpha, in strips or 16 x 16 tiles."""
    w, h = len(image[0]), len(image)
    samples = 4 if alpha else 3
    unit_w, unit_h = (16, 16) if tiled else (w, rows_per_strip)
    out = bytearray(b"II*\0\0\0\0\0")
    offsets, counts = [], []
    for ty in range(0, h, unit_h):
        for tx in range(0, w, unit_w):
            offsets.append(len(out))
            for y in range(ty, ty + unit_h if tiled else min(ty + unit_h, h)):
                for x in range(tx, tx + unit_w):
                    inside = x < w and y < h
                    out += bytes(image[y][x][:samples]) if inside else bytes(samples)
            counts.append(len(out) - offsets[-1])

    def array(values, size):  # one LONG is stored in the entry itself
        if len(values) == 1 and size == 4:
            return values[0]
        at = len(out)
        for v in values:
            out.extend(le(v, size))
        return at
    bits_at, offsets_at, counts_at = array([8] * samples, 2), array(offsets, 4), array(counts, 4)
    if len(out) % 2:
        out.append(0)
    out[4:8] = le(len(out), 4)
    n = len(offsets)
    entries = [(256, 4, 1, w), (257, 4, 1, h), (258, 3, samples, bits_at), (259, 3, 1, 1),
               (262, 3, 1, 2), (274, 3, 1, orientation), (277, 3, 1, samples), (284, 3, 1, 1)]
    if tiled:
        entries += [(322, 4, 1, 16), (323, 4, 1, 16), (324, 4, n, offsets_at), (325, 4, n, counts_at)]
    else:
        entries += [(273, 4, n, offsets_at), (278, 4, 1, unit_h), (279, 4, n, counts_at)]
    if alpha:
        entries.append((338, 3, 1, 2))
    out += le(len(entries), 2)
    for tag, kind, count, value in sorted(entries):
        out += le(tag, 2) + le(kind, 2) + le(count, 4) + le(value, 4)
    return out + le(0, 4)


def oriented(image, o):
    """The picture as shown for an EXIF/TIFF orientation: where stored row 0 and column 0 go."""
    if o in (2, 3):
        image = [row[::-1] for row in image]
    if o in (3, 4):
        image = image[::-1]
    if o >= 5:
        image = [list(col) for col in zip(*image)]  # transpose: 5
        if o in (6, 7):
            image = [row[::-1] for row in image]
        if o in (7, 8):
            image = image[::-1]
    return image


def gif_tiff_pictures():
    def both(name, data, image):
        (GOOD / name).write_bytes(bytes(data))
        canvas_row(name, image)
    holes = distinct(5, 4, transparent={(2, 1), (4, 3)})
    both("gif-transparent.gif", gif(holes), holes)
    both("gif-transparent-interlaced.gif", gif(holes, True), holes)
    both("gif-1x1.gif", gif([[(9, 8, 7, 255)]]), [[(9, 8, 7, 255)]])
    tall = distinct(3, 11)  # every interlace pass, and an odd height
    both("gif-interlaced-3x11.gif", gif(tall, True), tall)
    image = distinct(5, 3, transparent={(3, 2)}, half={(1, 1)})
    both("tiff-strips-alpha.tif", tiff(image), image)
    both("tiff-tiles-alpha.tif", tiff(image, tiled=True), image)
    big = distinct(37, 21)  # tiles of 16 cut at the right and the bottom
    both("tiff-tiles-37x21.tif", tiff(big, tiled=True, alpha=False), big)
    both("tiff-strips-of-one-row-37x21.tif", tiff(big, alpha=False, rows_per_strip=1), big)
    stored = distinct(3, 2)
    for o in range(1, 9):
        for tiled in (False, True):
            both(f"tiff-orientation-{o}-{'tiles' if tiled else 'strips'}.tif",
                 tiff(stored, o, tiled, False, 1), oriented(stored, o))


# --- JPEG ----------------------------------------------------------------------------------

def jpeg_pictures():
    """Compressed by cjpeg; the expected pixels are djpeg's, shown as the EXIF orientation says.
    Both are libjpeg-turbo's own programs (libjpeg-turbo-progs), with the decoder settings the
    program's reader uses, so its pixels must match exactly; each is also checked here against
    the source, within 2."""
    import subprocess

    def run(command, data):
        return subprocess.run(command, input=data, capture_output=True, check=True).stdout

    def both(name, image, *options, orientation=0):
        w, h = len(image[0]), len(image)
        grey = "-grayscale" in options
        head = b"P%d %d %d 255\n" % (5 if grey else 6, w, h)
        data = run(["cjpeg", "-quality", "100", *options],
                   head + bytes(v for row in image for p in row for v in (p[:1] if grey else p[:3])))
        if orientation:  # "Exif\0\0", a big-endian TIFF header, IFD0 with the one entry
            exif = b"Exif\0\0MM\0\x2a" + be(8, 4) + be(1, 2) + be(0x0112, 2) + be(3, 2) + \
                be(1, 4) + be(orientation, 2) + bytes(6)
            assert data[2:4] == b"\xff\xe0", name  # after the JFIF block, as libjpeg writes it
            after_jfif = 4 + int.from_bytes(data[4:6], "big")
            data = data[:after_jfif] + b"\xff\xe1" + be(len(exif) + 2, 2) + exif + data[after_jfif:]
        (GOOD / name).write_bytes(data)
        pnm = run(["djpeg", "-pnm"], data)
        samples = pnm.split(b"\n", 3)[3]
        step = 1 if grey else 3
        decoded = [[tuple(samples[(y * w + x) * step + c % step] for c in range(3)) + (255,)
                    for x in range(w)] for y in range(h)]
        for row, source in zip(decoded, image):
            for got, want in zip(row, source):
                assert all(abs(g - v) <= 2 for g, v in zip(got, want)), (name, got, want)
        canvas_row(name, oriented(decoded, orientation or 1))

    for r, g, b in ((0, 0, 0), (255, 255, 255), (200, 30, 90), (17, 130, 240)):
        solid = [[(r, g, b, 255)] * 19] * 13
        both(f"jpeg-{r}-{g}-{b}-19x13.jpg", solid)
        both(f"jpeg-{r}-{g}-{b}-19x13-progressive.jpg", solid, "-progressive")
    both("jpeg-grey-1x1.jpg", [[(77, 77, 77, 255)]], "-grayscale")
    # 16 x 8: the top-left 8 x 8 block white, the other black; each block survives JPEG.
    blocks = [[(255,) * 3 + (255,)] * 8 + [(0, 0, 0, 255)] * 8] * 8
    for o in range(1, 9):
        both(f"jpeg-orientation-{o}.jpg", blocks, orientation=o)


# --- PNG -----------------------------------------------------------------------------------

def noise(w, h, state, opaque=False):
    """Noise-like content, alpha included unless `opaque`, so that every filter choice occurs."""
    out = []
    for _ in range(h):
        row = []
        for _ in range(w):
            px = []
            for k in range(4):
                state = (state * 1103515245 + 12345) & 0xFFFFFFFF
                px.append(255 if opaque and k == 3 else state >> 16 & 255)
            row.append(tuple(px))
        out.append(row)
    return out


def png(samples, colour_type, depth, palette=b"", trns=b"", interlaced=False, filters=(0,),
        chunk=1 << 16):
    """samples: rows of per-pixel sample tuples at `depth`. Row y uses filters[y % len]; the
    image data is cut into IDAT chunks of `chunk` bytes."""
    import zlib
    w, h = len(samples[0]), len(samples)
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    bpp = max(1, channels * depth // 8)

    def pack(row):
        if depth >= 8:
            return b"".join(v.to_bytes(depth // 8, "big") for px in row for v in px)
        bits = "".join(format(px[0], f"0{depth}b") for px in row)
        bits += "0" * (-len(bits) % 8)
        return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))

    def filtered(rows_):
        out, prev = b"", None
        for y, row in enumerate(rows_):
            raw, f = pack(row), filters[y % len(filters)]
            prior = prev or bytes(len(raw))
            line = bytearray()
            for i, x in enumerate(raw):
                a = raw[i - bpp] if i >= bpp else 0
                b, c = prior[i], prior[i - bpp] if i >= bpp else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                paeth = a if pa <= pb and pa <= pc else b if pb <= pc else c
                line.append((x - [0, a, b, (a + b) // 2, paeth][f]) & 255)
            out += bytes([f]) + line
            prev = raw
        return out
    if interlaced:
        data = b""
        for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
                               (1, 0, 2, 2), (0, 1, 1, 2)):
            sub = [row[x0::dx] for row in samples[y0::dy]]
            if sub and sub[0]:
                data += filtered(sub)
    else:
        data = filtered(samples)
    data = zlib.compress(data)

    def chunk_(kind, body):
        return be(len(body), 4) + kind + body + be(zlib.crc32(kind + body), 4)
    out = b"\x89PNG\r\n\x1a\n" + chunk_(b"IHDR", be(w, 4) + be(h, 4) + bytes(
        [depth, colour_type, 0, 0, 1 if interlaced else 0]))
    if palette:
        out += chunk_(b"PLTE", palette)
    if trns:
        out += chunk_(b"tRNS", trns)
    for i in range(0, len(data), chunk):
        out += chunk_(b"IDAT", data[i:i + chunk])
    return out + chunk_(b"IEND", b"")


def png_pictures():
    def both(name, data, image):
        (GOOD / name).write_bytes(bytes(data))
        canvas_row(name, image)

    def as_type(image, colour_type, depth=8):
        keep = {0: (0,), 2: (0, 1, 2), 4: (0, 3), 6: (0, 1, 2, 3)}[colour_type]
        scale = 257 if depth == 16 else 1  # 16-bit samples repeat each byte
        return [[tuple(px[k] * scale for k in keep) for px in row] for row in image]
    alpha = distinct(5, 3, transparent={(0, 0)}, half={(1, 0)})
    both("png-rgba-8.png", png(as_type(alpha, 6), 6, 8), alpha)
    both("png-rgba-16.png", png(as_type(alpha, 6, 16), 6, 16), alpha)
    both("png-rgba-8-interlaced.png", png(as_type(alpha, 6), 6, 8, interlaced=True), alpha)
    colours = sorted({px for row in alpha for px in row})
    both("png-palette-8-trns.png",
         png([[(colours.index(px),) for px in row] for row in alpha], 3, 8,
             palette=b"".join(bytes(c[:3]) for c in colours), trns=bytes(c[3] for c in colours)),
         alpha)
    rgb = distinct(7, 5)
    both("png-rgb-8.png", png(as_type(rgb, 2), 2, 8), rgb)
    both("png-rgb-16-interlaced.png", png(as_type(rgb, 2, 16), 2, 16, interlaced=True), rgb)
    grey = [[(100 * x, 100 * x, 100 * x, 255 - 100 * x) for x in range(3)]]
    both("png-grey-alpha-8.png", png(as_type(grey, 4), 4, 8), grey)
    both("png-grey-alpha-16.png", png(as_type(grey, 4, 16), 4, 16), grey)
    for w, h in ((1, 1), (1, 9), (13, 1), (17, 11)):
        image = distinct(w, h)
        both(f"png-{w}x{h}.png", png(as_type(image, 6), 6, 8), image)
        both(f"png-{w}x{h}-interlaced.png", png(as_type(image, 6), 6, 8, interlaced=True), image)
    # IDAT chunks of 37 bytes end in the middle of rows.
    both("png-idat-chunks-split-rows.png", png(as_type(noise(17, 11, 99), 6), 6, 8, chunk=37),
         noise(17, 11, 99))
    # Every row filter on every odd width and the noise that makes Paeth take all three choices.
    for w, h in ((1, 10), (13, 10), (64, 10)):
        for opaque, kind in ((False, 6), (True, 2)):
            image = noise(w, h, 12345, opaque)
            both(f"png-{'rgb' if opaque else 'rgba'}-{w}x{h}-each-filter.png",
                 png(as_type(image, kind), kind, 8, filters=(0, 1, 2, 3, 4)), image)
    # 0x807F (127.998 of 255) must round up to 128, 0x0080 (0.498) down to 0.
    both("png-grey-16-rounding.png", png([[(0x807F,), (0x0080,)]], 0, 16),
         [[(128, 128, 128, 255), (0, 0, 0, 255)]])
    # Two-bit grey 0..3 expands to 0, 85, 170, 255; the key 2 makes that sample transparent.
    both("png-grey-2-bit-key.png", png([[(0,), (1,), (2,), (3,)]], 0, 2, trns=be(2, 2)),
         [[(0, 0, 0, 255), (85, 85, 85, 255), (0, 0, 0, 0), (255, 255, 255, 255)]])
    # One-bit palette with a tRNS entry of half alpha for index 1.
    both("png-palette-1-bit-trns.png", png([[(0,), (1,), (0,)]], 3, 1, palette=bytes(
        [255, 0, 0, 0, 0, 255]), trns=bytes([255, 128])),
        [[(255, 0, 0, 255), (0, 0, 255, 128), (255, 0, 0, 255)]])

# --- Cases checked against Pillow ------------------------------------------------------------

def pillow_pixels(name):
    """The picture as Pillow (python3-pil) decodes it, as straight RGBA rows; damaged files
    as far as Pillow reads them, the rest as it leaves it."""
    from PIL import Image, ImageFile
    ImageFile.LOAD_TRUNCATED_IMAGES = True
    with Image.open(GOOD / name) as im:
        im.load()
        rgba = im.convert("RGBA")
        w, h = rgba.size
        data = list(rgba.getdata())
    return [data[y * w:(y + 1) * w] for y in range(h)]


def tiff_samples(width, height, bits, photometric, samples, fmt=1, extra=None, orientation=1,
                 planar=False, big_endian=False, rows_per_strip=2):
    """An uncompressed TIFF of `samples`: rows of per-pixel sample tuples (ints, or floats for
    fmt 3), packed at `bits` from the most significant bit, words in the file's byte order."""
    end = "big" if big_endian else "little"
    spp = len(samples[0][0])

    def word(v, size):
        if fmt == 3:
            return struct.pack((">" if big_endian else "<") + ("f" if bits == 32 else "d"), v)
        return (v & (1 << bits) - 1).to_bytes(size, end)

    def pack(values):
        if bits in (8, 16, 24, 32, 64):
            return b"".join(word(v, bits // 8) for v in values)
        text = "".join(format(v, f"0{bits}b") for v in values)
        text += "0" * (-len(text) % 8)
        return bytes(int(text[i:i + 8], 2) for i in range(0, len(text), 8))
    out = bytearray(b"MM\0*\0\0\0\0" if big_endian else b"II*\0\0\0\0\0")
    offsets, counts = [], []
    planes = range(spp) if planar else [None]
    for plane in planes:
        for y0 in range(0, height, rows_per_strip):
            offsets.append(len(out))
            for row in samples[y0:y0 + rows_per_strip]:
                out += pack([px[plane] for px in row] if planar else [v for px in row for v in px])
            counts.append(len(out) - offsets[-1])

    def num(v, size):
        return v.to_bytes(size, end)

    def array(values, size):
        if len(values) * size <= 4:
            return b"".join(num(v, size) for v in values) + bytes(4 - len(values) * size)
        at = len(out)
        for v in values:
            out.extend(num(v, size))
        if len(out) % 2:
            out.append(0)
        return num(at, 4)
    entries = [(256, 4, [width]), (257, 4, [height]), (258, 3, [bits] * spp), (259, 3, [1]),
               (262, 3, [photometric]), (273, 4, offsets), (274, 3, [orientation]),
               (277, 3, [spp]), (278, 4, [rows_per_strip]), (279, 4, counts),
               (284, 3, [2 if planar else 1]), (339, 3, [fmt] * spp)]
    if extra is not None:
        entries.append((338, 3, [extra]))
    body = [(tag, kind, len(v), array(v, 2 if kind == 3 else 4)) for tag, kind, v in entries]
    if len(out) % 2:
        out.append(0)
    out[4:8] = num(len(out), 4)
    out += num(len(body), 2)
    for tag, kind, count, value in sorted(body):
        out += num(tag, 2) + num(kind, 2) + num(count, 4) + value
    return out + num(0, 4)


def scaled(v, bits):
    """An integer sample on the 8-bit scale, rounded: what every layout is drawn at."""
    top = (1 << bits) - 1
    return (v * 255 + top // 2) // top


def pillow_checked_pictures():
    """The layouts other viewers show and the readers once refused: each written here, its
    expected pixels what Pillow decodes (or, for sample layouts Pillow cannot read, the source
    samples scaled to 8 bits)."""
    def checked(name, data, transparent_rows=None):
        (GOOD / name).write_bytes(bytes(data))
        image = pillow_pixels(name)
        if transparent_rows is not None:  # rows past the damage: Pillow's fill is not ours
            image = image[:transparent_rows] + [[(0, 0, 0, 0)] * len(image[0])] * (
                len(image) - transparent_rows)
        canvas_row(name, image)

    # PNG palette indices past the palette's end: opaque black, as browsers show them, at 8
    # and at 4 bits. Pillow draws them as the grey of the index instead, so it is held to the
    # indices inside the palette only.
    pal = bytes([200, 10, 10, 10, 200, 10])
    for name, indices, depth, trns in (
            ("png-palette-8-index-past-palette.png", [[0, 1, 5, 255], [1, 2, 0, 9]], 8, b""),
            ("png-palette-4-index-past-palette-trns.png", [[0, 1, 7], [15, 1, 0]], 4, b"\x80")):
        (GOOD / name).write_bytes(png([[(i,) for i in row] for row in indices], 3, depth,
                                      palette=pal, trns=trns))
        seen = pillow_pixels(name)
        want = [[tuple(pal[3 * i:3 * i + 3]) + ((trns + b"\xff\xff")[i],) if i < 2
                 else (0, 0, 0, 255) for i in row] for row in indices]
        assert all(seen[y][x] == want[y][x] for y, row in enumerate(indices)
                   for x, i in enumerate(row) if i < 2), name
        canvas_row(name, want)
    # Grey, the layout of scans, on the IDAT walker: every filter, with and without alpha.
    grey = [[((x * 37 + y * 91) % 256,) for x in range(13)] for y in range(10)]
    checked("png-grey-8-13x10-each-filter.png", png(grey, 0, 8, filters=(0, 1, 2, 3, 4)))
    grey_alpha = [[(v, (v * 3) % 256) for (v,) in row] for row in grey]
    checked("png-grey-alpha-8-13x10-each-filter.png",
            png(grey_alpha, 4, 8, filters=(4, 3, 2, 1, 0)))
    # Interlaced layouts beyond RGBA: passes of palette, grey and 16-bit grey.
    checked("png-palette-8-interlaced-9x9.png",
            png([[((x + y) % 2,) for x in range(9)] for y in range(9)], 3, 8, palette=pal,
                interlaced=True))
    checked("png-grey-2-interlaced-11x7.png",
            png([[((x * y) % 4,) for x in range(11)] for y in range(7)], 0, 2, interlaced=True))
    # Cut short in the image data: the rows that arrived, the rest transparent.
    image = distinct(9, 12)
    whole = png([[px for px in row] for row in image], 6, 8, chunk=1 << 16)
    idat = whole.index(b"IDAT")
    cut = whole[:idat + 4 + 250]  # a little over half of the rows' data, no end
    rows_in = sum(1 for y in range(12) if (y + 1) * (1 + 9 * 4) <= len(
        __import__("zlib").decompressobj().decompress(cut[idat + 4:])))
    checked("png-rgba-9x12-truncated-damaged.png", cut, rows_in)
    # GIF without a colour table: indices as greys.
    g = gif(distinct(4, 3))
    flags = g[10]
    no_table = g[:10] + bytes([flags & 0x70]) + g[11:13] + g[13 + 3 * (2 << (flags & 7)):]
    checked("gif-no-colour-table.gif", no_table)
    # TIFF sample layouts, each against the scaled source samples.
    def tiff_case(name, width, height, bits, photometric, src, to_rgba, **kw):
        (GOOD / name).write_bytes(tiff_samples(width, height, bits, photometric, src, **kw))
        canvas_row(name, [[to_rgba(px) for px in row] for row in src])
    def grey_rgba(bits):
        return lambda px: (scaled(px[0], bits),) * 3 + (255,)
    for bits in (2, 3, 5, 12, 24, 32):
        top = (1 << bits) - 1
        src = [[((x * 7919 + y * 104729) * (top // 11 + 1) % (top + 1),) for x in range(5)]
               for y in range(3)]
        tiff_case(f"tiff-grey-{bits}-bit.tif", 5, 3, bits, 1, src, grey_rgba(bits),
                  big_endian=bits == 12)
    src = [[((x * 40503 + y * 9973) % 65536,) * 3 for x in range(4)] for y in range(3)]
    tiff_case("tiff-rgb-16-bit-planar.tif", 4, 3, 16, 2,
              [[(r, (g * 3) % 65536, (b * 7) % 65536) for r, g, b in row] for row in src],
              lambda px: tuple(scaled(v, 16) for v in px) + (255,), planar=True)
    fl = [[((x + 4 * y) / 11.0,) for x in range(4)] for y in range(3)]
    for bits in (32, 64):
        tiff_case(f"tiff-grey-float-{bits}.tif", 4, 3, bits, 1, fl,
                  lambda px: (int(min(max(px[0], 0), 1) * 255 + 0.5),) * 3 + (255,), fmt=3,
                  big_endian=bits == 64)
    # Associated alpha at 16 bits: colour stored times alpha, divided out before rounding.
    straight = [[(60000, 30000, 1000, 2056), (65535, 0, 32768, 65535), (1234, 40000, 5000, 771)]]
    assoc = [[(r * a // 65535, g * a // 65535, b * a // 65535, a) for r, g, b, a in row]
             for row in straight]
    tiff_case("tiff-rgba-16-bit-associated-alpha.tif", 3, 1, 16, 2, assoc,
              lambda px: tuple(min(255, int(v * 65535 / px[3] / 65535 * 255 + 0.5)) if px[3]
                               else 0 for v in px[:3]) + (scaled(px[3], 16),), extra=1)
    cmyk = [[(x * 20000 % 65536, y * 30000 % 65536, 12345 * (x + 1) % 65536, 4000 * y)
             for x in range(3)] for y in range(2)]
    tiff_case("tiff-cmyk-16-bit.tif", 3, 2, 16, 5, cmyk,
              lambda px: tuple(int((1 - px[c] / 65535) * (1 - px[3] / 65535) * 255 + 0.5)
                               for c in range(3)) + (255,))
    # A fax page stored sideways, as scanners write it: orientation 6, one bit a pixel.
    fax = [[(1 if (x + 2 * y) % 3 == 0 else 0,) for x in range(6)] for y in range(2)]
    tiff_case("tiff-bilevel-orientation-6.tif", 6, 2, 1, 0, fax,
              lambda px: ((0, 0, 0, 255) if px[0] else (255, 255, 255, 255)), orientation=6)
    canvas_row("tiff-bilevel-orientation-6.tif", oriented(
        [[(0, 0, 0, 255) if px[0] else (255, 255, 255, 255) for px in row] for row in fax], 6))


def imagemagick_references():
    """Rows for the files written by ImageMagick (README.md): the sources they were made from."""
    colour = [0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF, 0x000000FF,
              0xC86432FF, 0x0A141E80, 0xFFFF0000, 0x3C4650C8, 0x5A646EFF,
              0x808080FF, 0x010203FF, 0xFEFDFC40, 0x0080FFFF, 0x4D4237FF]
    opaque = [c | 0xFF for c in colour]
    # The writer's colour reduction merged the near-black and near-white entries.
    palette = opaque[:11] + [0x000000FF, 0xFFFFFFFF] + opaque[13:]
    grey = [g << 24 | g << 16 | g << 8 | 0xFF
            for g in (0, 40, 80, 120, 160, 200, 255, 1, 2, 3, 10, 20, 30, 40, 50)]
    for names, pixels in [(["bmp-24bit-5x3.bmp", "tga-24bit-5x3.tga", "psd-rgb-raw-5x3.psd"],
                           opaque),
                          (["bmp-4bit-palette-5x3.bmp", "bmp-rle8-5x3.bmp",
                            "tga-palette-5x3.tga"], palette),
                          (["bmp-32bit-alpha-5x3.bmp", "tga-32bit-alpha-5x3.tga",
                            "tga-32bit-alpha-rle-5x3.tga", "psd-rgba-rle-5x3.psd",
                            "psd-rgba-16bit-5x3.psd"], colour),
                          (["tga-grey-5x3.tga", "psd-grey-5x3.psd"], grey)]:
        for name in names:
            assert (GOOD / name).exists(), name
            rows[name] = (5, 3, pixels)


def damaged_pictures():
    """Files of tests/data/bad/ that sizes or sniffing must refuse; their errors are listed in
    that folder's expected.tsv."""
    bad = DATA / "bad"
    # A header that promises far more pixels than follow: checked before anything is allocated.
    (bad / "bmp-4000x4000-little-data.bmp").write_bytes(bmp(4000, 4000, pixels=[1, 2, 3]))
    (bad / "bmp-last-row-short.bmp").write_bytes(bmp(1, 2, pixels=[1, 2, 3, 0, 4, 5]))
    (bad / "tga-4000x4000-little-data.tga").write_bytes(tga(width=4000, height=4000,
                                                            pixels=[1, 2, 3]))
    # RLE needs at least one packet per 128 pixels.
    (bad / "tga-rle-4000x4000-little-data.tga").write_bytes(
        tga(image_type=10, width=4000, height=4000, pixels=[1, 2, 3]))
    (bad / "psd-4000x4000-little-data.psd").write_bytes(psd(width=4000, height=4000))
    (bad / "psd-packbits-4000x4000-little-data.psd").write_bytes(
        psd(width=4000, height=4000, compression=1))
    # Nothing here may be taken for a TGA, which has no signature, or for a PSD or BMP.
    (bad / "picture-tga-header-only.tga").write_bytes(tga(width=2, height=2)[:18])
    (bad / "picture-64-zero-bytes.tga").write_bytes(bytes(64))
    (bad / "picture-64-ff-bytes.tga").write_bytes(b"\xff" * 64)
    (bad / "picture-psd-signature-and-version-3.psd").write_bytes(b"8BPS\0\3")
    (bad / "picture-bmp-signature-and-two-bytes.bmp").write_bytes(b"BM\1\2")
    # CMYK with 16-bit samples in JPEG strips: beyond the JPEG library, refused with that reason.
    cmyk = tiff_samples(2, 2, 16, 5, [[(1, 2, 3, 4)] * 2] * 2)
    (bad / "tiff-cmyk-16-bit-jpeg.tif").write_bytes(
        cmyk.replace(le(259, 2) + le(3, 2) + le(1, 4) + le(1, 2), le(259, 2) + le(3, 2) + le(1, 4)
                     + le(7, 2)))


def large_jpeg_pictures():
    """tests/data/jpeg: a 3000 x 2000 grey (90, 90, 90), baseline and progressive. The
    progressive one's coefficients outgrow malloc and come from the program's own large-block
    allocator; both are large enough for every reduced DCT scale."""
    import subprocess
    folder = DATA / "jpeg"
    folder.mkdir(exist_ok=True)
    ppm = b"P6 3000 2000 255\n" + bytes((90, 90, 90)) * 3000 * 2000
    for name, option in (("grey-3000x2000.jpg", "-optimize"),
                         ("grey-3000x2000-progressive.jpg", "-progressive")):
        (folder / name).write_bytes(subprocess.run(["cjpeg", "-quality", "95", option], input=ppm,
                                                   capture_output=True, check=True).stdout)


def canvas_pictures():
    """Pictures tests/imaging/PictureTest.cpp draws on canvases, in tests/data/canvas/."""
    import zlib
    folder = DATA / "canvas"
    folder.mkdir(exist_ok=True)

    def solid(w, h, rgba):
        return [[rgba] * w for _ in range(h)]
    pair = [[(0, 0, 0, 255), (255, 0, 0, 255)]]
    stripes = [[(255 * (x % 2),) * 3 + (255,) for x in range(8)]] * 2
    alpha = [[(200, 100, 50, 255), (200, 100, 50, 128)] + [(200, 100, 50, 255)] * 2,
             [(200, 100, 50, 0)] * 4]
    ramp = [[(y, y, y, 255)] * 4 for y in range(256)]
    for name, samples in (
            ("solid-4x4.png", solid(4, 4, (1, 2, 3, 255))),
            ("solid-5x4.png", solid(5, 4, (1, 2, 3, 255))),
            ("png-named-as-jpeg-7x5.jpg", solid(7, 5, (1, 2, 3, 255))),
            ("solid-37x23.png", solid(37, 23, (200, 100, 7, 255))),
            ("white-101x101.png", solid(101, 101, (255, 255, 255, 255))),
            ("half-alpha-3x400.png", solid(3, 400, (10, 200, 30, 128))),
            ("solid-300x100.png", solid(300, 100, (10, 20, 30, 255))),
            ("alpha-4x2.png", alpha), ("stripes-8x2.png", stripes), ("pair-2x1.png", pair),
            ("ramp-4x256.png", ramp)):
        (folder / name).write_bytes(png(samples, 6, 8))
    # Over a megabyte of image data, so that inflation runs on its own thread; samples of four
    # levels keep the file small. Every other row uses the Up filter, needing the row before.
    levels = [[tuple(v >> 6 << 6 | v >> 6 << 4 | v >> 6 << 2 | v >> 6 if k < 3 else 255
                     for k, v in enumerate(px)) for px in row] for row in noise(520, 512, 7)]
    (folder / "noise-520x512.png").write_bytes(png(levels, 6, 8, filters=(0, 2), chunk=8192))
    data = b"".join(bytes([7 if y == 300 else 0]) + bytes(520 * 4) for y in range(512))
    idat = zlib.compress(data, 9)
    (folder / "bad-filter-520x512.png").write_bytes(
        b"\x89PNG\r\n\x1a\n" + b"".join(
            be(len(body), 4) + kind + body + be(zlib.crc32(kind + body), 4)
            for kind, body in ((b"IHDR", be(520, 4) + be(512, 4) + bytes([8, 6, 0, 0, 0])),
                               (b"IDAT", idat), (b"IEND", b""))))


def main():
    canvas_pictures()
    large_jpeg_pictures()
    damaged_pictures()
    bmp_pictures()
    tga_pictures()
    psd_pictures()
    gif_tiff_pictures()
    jpeg_pictures()
    png_pictures()
    pillow_checked_pictures()
    imagemagick_references()
    with open(GOOD / "expected.tsv", "w") as out:
        out.write("# Written by tools/make-test-pictures.py. Each picture, a tab, its size, a tab,"
                  " and its\n# pixels row by row from the top as RRGGBBAA: straight alpha from the BMP, TGA and PSD\n"
                  "# readers, premultiplied as drawn on a canvas at the picture's size for GIF, JPEG, PNG and TIFF.\n")
        for name in sorted(rows):
            width, height, pixels = rows[name]
            out.write(f"{name}\t{width}x{height}\t{' '.join(f'{v:08X}' for v in pixels)}\n")


main()
