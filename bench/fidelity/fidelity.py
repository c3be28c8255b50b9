#!/usr/bin/python3
"""Art fidelity: how much of a photograph survives as characters.

Method. Every tool writes black-and-white art of each photograph at a given width. One
renderer draws every text the same way: Pillow, DejaVu Sans Mono at 12 px, black ink on
white, one line every ascent + descent pixels (15 px), each line drawn whole from the left
edge. The photograph is flattened on white, turned to grey (ITU-R 601 luma of its sRGB
values) and resized by area averaging to the drawing's size, so every tool is compared with
its own drawing's rows and columns.

Both grey images are then seen as an eye at reading distance sees them: converted to linear
light (sRGB decoding), blurred with a Gaussian of sigma = half a character width (3.6 px at
12 px; at 60 cm from a 96 dpi screen that is about 5.5 minutes of arc, where single strokes
of a 12 px glyph are no longer resolved but the cell's tone and its coarse shape are), and
encoded back to sRGB values, since the eye compares lightness, not light. Blurring in linear
light is what optics does: a glyph's ink mixes with the paper around it as light, not as sRGB
numbers.

Each drawing is compared with the part of the photograph it shows. jp2a and chafa show all
of it; glyphwerk-cli leaves out its grid's outer frame of cells (the first and last column,
the first row and the last two), so its drawing is compared with the photograph less that
frame. Without this the score would mostly measure a shift of up to one cell, not how well
the characters render what they stand for; --whole compares every drawing with the whole
photograph instead.

The score is the mean SSIM (scikit-image, Gaussian window sigma 1.5, data range 1) of the two
blurred images, averaged over all photographs and both widths (80 and 160 characters).

Peers are given their better mode for dark ink on white: jp2a with and without --invert,
chafa -c none --symbols ascii with and without --invert; the better SSIM of each pair counts,
per photograph and width.

"stretched" configurations are an ESTIMATE of an automatic contrast option the program does
not have yet: the benchmark itself stretches the photograph's luma percentiles (by default 2%
to black, 1% to white, the same factor on every channel; --stretch LOW,HIGH sets them) before
handing it to the program, and the drawing is still compared with the original photograph.

Usage: fidelity.py CLI OUT_DIR [--config LABEL=ARGS]... [--shots NAME] [--widths 80,160]
                   [--pictures NAME,...] [--stretch 2,99]
  CLI is glyphwerk-cli; ARGS are its options, separated by spaces; a config whose label starts
  with "stretched" gets the stretched photograph. Without --config: the default conversion.
"""

import argparse
import os
import shlex
import subprocess
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from scipy.ndimage import gaussian_filter
from skimage.metrics import structural_similarity

FONT_SIZE = 12
WIDTHS = (80, 160)
WALLPAPERS = "/usr/share/wallpapers"
SKIMAGE = "/usr/lib/python3/dist-packages/skimage/data"

# (name, kind, file). Portraits come from python3-skimage's sample data (the only photographs
# of people Debian ships that we found); landscapes and the high-contrast picture from
# plasma-workspace-wallpapers.
PICTURES = [
    ("astronaut", "portrait", f"{SKIMAGE}/astronaut.png"),
    ("camera", "portrait", f"{SKIMAGE}/camera.png"),
    ("chelsea", "portrait", f"{SKIMAGE}/chelsea.png"),
    ("EveningGlow", "landscape", f"{WALLPAPERS}/EveningGlow/contents/images/1920x1080.jpg"),
    ("Path", "landscape", f"{WALLPAPERS}/Path/contents/images/1920x1080.jpg"),
    ("ColdRipple", "landscape", f"{WALLPAPERS}/ColdRipple/contents/images/1920x1080.jpg"),
    ("Grey", "high contrast", f"{WALLPAPERS}/Grey/contents/images/1920x1080.jpg"),
    ("horse", "high contrast", f"{SKIMAGE}/horse.png"),
]


def font_file():
    out = subprocess.run(["fc-match", "-f", "%{file}", "DejaVu Sans Mono"], check=True,
                         capture_output=True, text=True).stdout
    if "DejaVuSansMono" not in out:
        sys.exit("fidelity: DejaVu Sans Mono not found (install fonts-dejavu-core)")
    return out


def flatten(image):
    image = image.convert("RGBA")
    white = Image.new("RGBA", image.size, (255, 255, 255, 255))
    return Image.alpha_composite(white, image).convert("RGB")


def prepare(out_dir, stretch=(2.0, 99.0)):
    """Flattened RGB copies, at most 1280 wide, and their percentile-stretched twins."""
    os.makedirs(out_dir, exist_ok=True)
    prepared = []
    for name, kind, path in PICTURES:
        if not os.path.exists(path):
            print(f"fidelity: {path} missing, skipped (scripts/install-deps.sh --bench)")
            continue
        plain = f"{out_dir}/{name}.png"
        stretched = f"{out_dir}/{name}-stretched-{stretch[0]:g}-{stretch[1]:g}.png"
        if not (os.path.exists(plain) and os.path.exists(stretched)):
            image = flatten(Image.open(path))
            if image.width > 1280:
                image = image.resize((1280, round(image.height * 1280 / image.width)),
                                     Image.BOX)
            image.save(plain)
            rgb = np.asarray(image).astype(np.float64)
            luma = rgb @ np.array([0.299, 0.587, 0.114])
            low, high = np.percentile(luma, list(stretch))
            if high > low:
                rgb = (rgb - low) * (255.0 / (high - low))
            Image.fromarray(np.clip(rgb + 0.5, 0, 255).astype(np.uint8)).save(stretched)
        prepared.append((name, kind, plain, stretched))
    return prepared


def run_text(command):
    result = subprocess.run(command, capture_output=True, check=True)
    text = result.stdout.decode("utf-8", "replace").replace("\r", "")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()  # the last line's feed
    return lines


class Renderer:
    def __init__(self):
        self.font = ImageFont.truetype(font_file(), FONT_SIZE)
        ascent, descent = self.font.getmetrics()
        self.line = ascent + descent
        self.cell = self.font.getlength("M")

    def draw(self, lines):
        columns = max((len(l) for l in lines), default=1)
        width = max(1, round(columns * self.cell))
        height = max(1, len(lines) * self.line)
        image = Image.new("L", (width, height), 255)
        draw = ImageDraw.Draw(image)
        for row, text in enumerate(lines):
            draw.text((0, row * self.line), text, font=self.font, fill=0)
        return image


def to_linear(values):
    v = values / 255.0
    return np.where(v <= 0.04045, v / 12.92, ((v + 0.055) / 1.055) ** 2.4)


def to_srgb(linear):
    linear = np.clip(linear, 0.0, 1.0)
    return np.where(linear <= 0.0031308, linear * 12.92, 1.055 * linear ** (1 / 2.4) - 0.055)


def seen(grey, sigma):
    return to_srgb(gaussian_filter(to_linear(np.asarray(grey, dtype=np.float64)), sigma))


def shown_part(size, lines, width):
    """The box of the photograph glyphwerk-cli's drawing of `lines` at `width` shows."""
    w, h = size
    grid_width = min(width + 2, w, 513)
    grid_height = (grid_width * h) // w / 2  # may end in .5, like the program's
    rows = int(grid_height)
    if len(lines) != rows - 2 or max((len(l) for l in lines), default=0) > grid_width - 2:
        return (0, 0, w, h)  # not the grid expected: compare with the whole photograph
    return (w / grid_width, h / grid_height, w * (grid_width - 1) / grid_width,
            h * (rows - 1) / grid_height)


def score(photo_grey, art, renderer, box=None):
    if box is not None:
        photo_grey = photo_grey.crop(tuple(round(v) for v in box))
    reference = photo_grey.resize(art.size, Image.BOX)
    sigma = renderer.cell / 2
    return structural_similarity(seen(reference, sigma), seen(art, sigma), data_range=1.0,
                                 gaussian_weights=True, sigma=1.5,
                                 use_sample_covariance=False)


def side_by_side(grey, drawings, renderer):
    """The photograph and every drawing in a row, each under its label."""
    first = next(iter(drawings.values()))
    panels = [("photograph", grey.resize(first.size, Image.BOX))] + list(drawings.items())
    label_height = renderer.line + 4
    width = sum(art.width for _, art in panels) + 8 * (len(panels) - 1)
    height = max(art.height for _, art in panels) + label_height
    sheet = Image.new("L", (width, height), 255)
    draw = ImageDraw.Draw(sheet)
    x = 0
    for label, art in panels:
        draw.text((x, 0), label, font=renderer.font, fill=0)
        sheet.paste(art, (x, label_height))
        x += art.width + 8
    return sheet


def peers():
    return {
        "jp2a": [lambda p, w: ["jp2a", f"--width={w}", p],
                 lambda p, w: ["jp2a", "--invert", f"--width={w}", p]],
        "chafa": [lambda p, w: ["chafa", "-c", "none", "--symbols", "ascii", "--format",
                                "symbols", "--animate", "off", "--size", f"{w}x", p],
                  lambda p, w: ["chafa", "-c", "none", "--symbols", "ascii", "--invert",
                                "--format", "symbols", "--animate", "off", "--size", f"{w}x",
                                p]],
    }


def main():
    parser = argparse.ArgumentParser(description="Art fidelity benchmark")
    parser.add_argument("cli")
    parser.add_argument("out_dir")
    parser.add_argument("--config", action="append", default=[],
                        help="LABEL=ARGS for glyphwerk-cli; repeatable")
    parser.add_argument("--whole", action="store_true",
                        help="compare every drawing with the whole photograph")
    parser.add_argument("--shots", default="",
                        help="picture name whose drawings are saved as PNG in OUT_DIR/shots")
    parser.add_argument("--widths", default=",".join(str(w) for w in WIDTHS),
                        help="comma-separated widths (a subset while iterating)")
    parser.add_argument("--pictures", default="",
                        help="comma-separated picture names (default: all)")
    parser.add_argument("--stretch", default="2,99",
                        help="LOW,HIGH: the luma percentiles the stretched estimate maps to "
                             "black and white")
    args = parser.parse_args()
    stretch = tuple(float(v) for v in args.stretch.split(","))
    widths = [int(w) for w in args.widths.split(",")]
    configs = []
    for c in args.config or ["default="]:
        label, _, options = c.partition("=")
        configs.append((label, shlex.split(options)))

    renderer = Renderer()
    pictures = prepare(f"{args.out_dir}/pictures", stretch)
    if args.pictures:
        wanted = args.pictures.split(",")
        pictures = [p for p in pictures if p[0] in wanted]
    tools = [label for label, _ in configs] + list(peers())
    scores = {t: {} for t in tools}
    for name, kind, plain, stretched in pictures:
        grey = Image.open(plain).convert("L")
        for width in widths:
            drawings = {}
            for label, options in configs:
                source = stretched if label.startswith("stretched") else plain
                lines = run_text([args.cli, "-w", str(width), *options, source])
                art = renderer.draw(lines)
                drawings[label] = art
                box = None if args.whole else shown_part(grey.size, lines, width)
                scores[label][(name, width)] = score(grey, art, renderer, box)
            for tool, variants in peers().items():
                best = None
                for variant in variants:
                    art = renderer.draw(run_text(variant(plain, width)))
                    s = score(grey, art, renderer)
                    if best is None or s > best[0]:
                        best = (s, art)
                scores[tool][(name, width)] = best[0]
                drawings[tool] = best[1]
            if name == args.shots:
                shots = f"{args.out_dir}/shots"
                os.makedirs(shots, exist_ok=True)
                for label, art in drawings.items():
                    art.save(f"{shots}/{name}-{width}-{label}.png")
                side_by_side(grey, drawings, renderer).save(
                    f"{shots}/{name}-{width}-side-by-side.png")
            print(f"{name:12s} {width:4d} " +
                  " ".join(f"{t}={scores[t][(name, width)]:.3f}" for t in tools), flush=True)

    means = {t: float(np.mean(list(scores[t].values()))) for t in tools}
    best_peer = max(means["jp2a"], means["chafa"])
    print()
    print("| Tool | " + " | ".join(f"{n} {w}" for n, _, _, _ in pictures for w in widths)
          + " | Mean SSIM | / best peer |")
    print("|---" * (2 + 2 * len(pictures) + 1) + "|")
    for t in tools:
        cells = " | ".join(f"{scores[t][(n, w)]:.3f}" for n, _, _, _ in pictures
                           for w in widths)
        print(f"| {t} | {cells} | {means[t]:.3f} | {means[t] / best_peer:.3f} |")


if __name__ == "__main__":
    main()
