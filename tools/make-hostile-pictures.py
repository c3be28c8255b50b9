#!/usr/bin/env python3
"""Writes pictures whose headers claim far more than their data holds, or whose data expands
a thousandfold, to check that decoding stays within its time and memory caps.

    tools/make-hostile-pictures.py small DIR   the few-hundred-byte variants kept in tests/data/bad
                                               (and, those drawn as far as they go, in
                                               tests/data/damaged)
    tools/make-hostile-pictures.py large DIR   full-size files for measuring (up to 100 MB)

Each file is named after what it holds. Standard library only.
"""

import os
import struct
import sys
import zlib


# --- PNG -------------------------------------------------------------------------------------

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(width, height, depth, colour, data, interlace=0, extra=b""):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + extra +
            png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


def adam7_bytes(width, height, bpp):
    """Bytes of filtered image data in an interlaced picture of 8-bit samples."""
    total = 0
    for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
                           (1, 0, 2, 2), (0, 1, 1, 2)):
        cols, rows = (width - x0 + dx - 1) // dx, (height - y0 + dy - 1) // dy
        if cols > 0 and rows > 0:
            total += rows * (1 + cols * bpp)
    return total


def zeros_deflated(total, limit=None, chunk=1 << 24):
    """zlib stream of `total` zero bytes; cut at `limit` bytes when given (then incomplete)."""
    z = zlib.compressobj(9)
    out = bytearray()
    block = bytes(chunk)
    left = total
    while left > 0:
        n = min(left, chunk)
        out += z.compress(block[:n])
        left -= n
        if limit is not None and len(out) >= limit:
            return bytes(out[:limit])
    out += z.flush()
    return bytes(out if limit is None else out[:limit])


# --- GIF -------------------------------------------------------------------------------------

def lzw_constant(pixels, min_size=2, limit=None):
    """GIF LZW codes for `pixels` pixels of colour 0, as giflib's encoder would write them
    (a clear code whenever the table fills). Cut at `limit` bytes when given."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    acc = 0
    nbits = 0
    state = {"running": eoi + 1, "bits": min_size + 1}

    def put(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += state["bits"]
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
        if state["running"] >= (1 << state["bits"]) and code <= 4095 and state["bits"] < 12:
            state["bits"] += 1

    put(clear)
    longest = 1
    left = pixels
    while left > 0:
        if limit is not None and len(out) >= limit:
            return bytes(out[:limit])
        run = min(longest, left)
        left -= run
        put(0 if run == 1 else eoi + 1 + run - 2)
        if left == 0:
            break
        if state["running"] >= 4095:
            put(clear)
            state["running"], state["bits"], longest = eoi + 1, min_size + 1, 1
        else:
            state["running"] += 1
            longest = run + 1
    put(eoi)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(screen_w, screen_h, left, top, frame_w, frame_h, codes, interlaced=False, min_size=2):
    head = b"GIF89a" + struct.pack("<HHBBB", screen_w, screen_h, 0x80 | (min_size - 1), 0, 0)
    palette = bytes([0, 0, 0, 255, 255, 255] + [128] * (3 * (1 << min_size) - 6))
    desc = b"," + struct.pack("<HHHHB", left, top, frame_w, frame_h, 0x40 if interlaced else 0)
    blocks = bytearray([min_size])
    for i in range(0, len(codes), 255):
        piece = codes[i:i + 255]
        blocks += bytes([len(piece)]) + piece
    return head + palette + desc + bytes(blocks) + b"\x00;"


# --- JPEG ------------------------------------------------------------------------------------

def jpeg_progressive_header(width, height, sampling=0x11):
    """Start of a progressive 3-component JPEG: the frame header and its first scan's header."""
    sof = struct.pack(">BHHB", 8, height, width, 3) + b"".join(
        bytes([i, sampling if i == 1 else 0x11, 0]) for i in (1, 2, 3))
    sos = bytes([3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 0, 0])
    return (b"\xff\xd8" + b"\xff\xc2" + struct.pack(">H", 2 + len(sof)) + sof +
            b"\xff\xda" + struct.pack(">H", 2 + len(sos)) + sos + b"\xff\xd9")


# --- TIFF ------------------------------------------------------------------------------------

def tiff_grey_one_strip(width, height, strip):
    """Little-endian, 8-bit grey, Adobe deflate, the whole picture in one strip."""
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, 8), (259, 3, 1, 8),
               (262, 3, 1, 1), (273, 4, 1, 0), (277, 3, 1, 1), (278, 4, 1, height),
               (279, 4, 1, len(strip))]
    ifd_at = 8
    data_at = ifd_at + 2 + 12 * len(entries) + 4
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if tag == 273:
            value = data_at
        packed = struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value)
        ifd += struct.pack("<HHI", tag, kind, count) + packed
    return b"II*\x00" + struct.pack("<I", ifd_at) + ifd + b"\0\0\0\0" + strip


# --- BMP and PSD -----------------------------------------------------------------------------

def bmp(width, height, bits, compression, palette, pixels):
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels),
                       2835, 2835, len(palette) // 4, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + \
        pixels


def psd_rgb_rle_black(width, height):
    """RGB, 8 bits, every row of every channel a PackBits run of zeros."""
    row = bytearray()
    left = width
    while left > 0:
        n = min(128, left)
        row += bytes([257 - n if n > 1 else 0, 0])
        left -= n
    head = b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, height, width, 8, 3)
    counts = struct.pack(">H", len(row)) * (3 * height)
    return head + struct.pack(">III", 0, 0, 0) + struct.pack(">H", 1) + counts + \
        bytes(row) * (3 * height)


# --- The sets --------------------------------------------------------------------------------

def small():
    big_interlaced = 11585  # 11585 squared is just below the whole-picture limit
    return {
        "png-1x100000000.png": png(1, 100000000, 8, 0, zeros_deflated(1000)),
        "png-interlaced-11585x11585-little-data.png":
            png(big_interlaced, big_interlaced, 8, 6, zeros_deflated(1 << 20), interlace=1),
        "picture-bmp-2147483647x-1.bmp": bmp(2**31 - 1, -1, 24, 0, b"", bytes(64)),
        "picture-bmp-rle8-11585x11585-truncated.bmp":
            bmp(big_interlaced, big_interlaced, 8, 1, bytes(4), b"\x02\x00" * 8),
        "jpeg-progressive-444-11585x11585.jpg": jpeg_progressive_header(11585, 11585),
        "gif-30000x30000-little-data.gif":
            gif(30000, 30000, 0, 0, 30000, 30000, lzw_constant(10**6, limit=600)),
        "gif-interlaced-frame-65535x65535-on-10x10-screen.gif":
            gif(10, 10, 0, 0, 65535, 65535, lzw_constant(10**6, limit=600), interlaced=True),
        "tiff-one-strip-11585x11585-little-data.tif":
            tiff_grey_one_strip(big_interlaced, big_interlaced, zeros_deflated(1 << 20)),
    }


def large():
    side = 11585
    text = png_chunk(b"tEXt", b"Comment\0" + b"x" * (100 << 20))
    rgb_8x8 = zeros_deflated(8 * (1 + 8 * 3))
    return {
        # Refused at the header.
        "gif-65535x65535-1.5MB.gif":
            gif(65535, 65535, 0, 0, 65535, 65535, lzw_constant(2**32, limit=1_500_000)),
        "gif-interlaced-frame-65535x65535-on-10x10-screen-1.5MB.gif":
            gif(10, 10, 0, 0, 65535, 65535, lzw_constant(2**32, limit=1_500_000), True),
        "tiff-65535x65535-524KB.tif":
            tiff_grey_one_strip(65535, 65535, zeros_deflated(65535 * 65535, limit=524_000)),
        # Within the caps.
        "gif-frame-off-screen-1.5MB.gif":
            gif(10, 10, 20, 0, 30000, 30000, lzw_constant(2**32, limit=1_500_000)),
        "gif-interlaced-frame-32768x32768-on-10x10-screen.gif":
            gif(10, 10, 0, 0, 32768, 32768, lzw_constant(32768 * 32768), True),
        "png-grey-30000x30000.png":
            png(30000, 30000, 8, 0, zeros_deflated(30000 * 30001)),
        "png-rgb-30000x30000.png":
            png(30000, 30000, 8, 2, zeros_deflated(30000 * 90001)),
        "png-interlaced-11585x11585.png":
            png(side, side, 8, 6, zeros_deflated(adam7_bytes(side, side, 4)), 1),
        "png-interlaced-11585x11585-130KB.png":
            png(side, side, 8, 6, zeros_deflated(side * (side * 4 + 1), limit=130_000), 1),
        "png-8x8-100MB-text.png": png(8, 8, 8, 2, rgb_8x8, extra=text),
        "bmp-rle8-11585x11585-62B.bmp": bmp(side, side, 8, 1, bytes(4), b"\x00\x01\x00\x00"),
        "tiff-one-strip-11585x11585-130KB.tif":
            tiff_grey_one_strip(side, side, zeros_deflated(side * side)),
        "psd-rle-11585x11585.psd": psd_rgb_rle_black(side, side),
    }


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("small", "large"):
        sys.exit(__doc__)
    os.makedirs(sys.argv[2], exist_ok=True)
    for name, data in (small() if sys.argv[1] == "small" else large()).items():
        with open(os.path.join(sys.argv[2], name), "wb") as f:
            f.write(data)
        print(f"{len(data):>11} {name}")


if __name__ == "__main__":
    main()
