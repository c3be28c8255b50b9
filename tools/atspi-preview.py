#!/usr/bin/python3
"""Reads the preview window of a running Glyphwerk as a screen reader does, over AT-SPI.

Run inside an X display and a D-Bus session bus (tools/atspi-preview.sh sets both up). Starts
the window on PICTURE, presses Preview in black and white and then in colour through AT-SPI
actions, and checks that the preview's text reads the same rows as glyphwerk-cli's plain text
file and, in colour, that each character's "fg-color" attribute is its colour in glyphwerk-cli's
RTF document. With SHOT set, saves a screenshot of the screen (ImageMagick's import) there.

    atspi-preview.py BUILD_DIR PICTURE [SHOT.png]
"""
import os
import re
import subprocess
import sys
import tempfile
import time

import pyatspi

import atspi_bus
from atspi_bus import press


def find(root, role, name, timeout=30.0):
    found = atspi_bus.find(root, role, name, timeout)
    if found is None:
        sys.exit(f"no {role} named {name!r}")
    return found


def application(name, timeout=30.0):
    app = atspi_bus.application(name, timeout)
    if app is None:
        sys.exit(f"{name} did not appear on the accessibility bus")
    return app


def rows_of(text):
    """The rows as AT-SPI gives them line by line."""
    rows, offset, count = [], 0, text.characterCount
    while offset < count:
        line, start, end = text.getTextAtOffset(offset, pyatspi.TEXT_BOUNDARY_LINE_START)
        if end <= offset:
            break
        rows.append(line.rstrip("\n"))
        offset = end
    return rows


def colours_of(text):
    """The "fg-color" of every character, run by run, as (r, g, b); None for a line break."""
    colours, offset, count = [], 0, text.characterCount
    while offset < count:
        attributes, start, end = text.getAttributeRun(offset, False)
        if end <= offset:
            break
        values = dict(a.split(":", 1) for a in attributes)
        rgb = tuple(int(v) for v in values.get("fg-color", "").split(",")) \
            if "fg-color" in values else None
        for i in range(start, end):
            colours.append(None if text.getText(i, i + 1) == "\n" else rgb)
        offset = end
    return colours


def rtf_colours(rtf):
    """Each character's colour in glyphwerk-cli's RTF document (the display text's colours at
    0 to 255); None for a line break."""
    table = [None] + [tuple(int(v) for v in m) for m in
                      re.findall(r"\\red(\d+)\\green(\d+)\\blue(\d+);", rtf)]
    body = rtf[rtf.index("\\pard"):]
    colours, current = [], None
    token = re.compile(r"\\cf(\d+) ?|\\par\b\n?|\\'[0-9a-f]{2}|\\([\\{}])|\\[a-z]+-?\d* ?|([{}\n])|(.)",
                       re.S)
    for match in token.finditer(body):
        whole = match.group(0)
        if match.group(1) is not None:
            current = table[int(match.group(1))]
        elif whole.rstrip("\n") == "\\par":
            colours.append(None)
        elif whole.startswith("\\'") or match.group(2) or match.group(4):
            colours.append(current)
    return colours


def main():
    build, picture = sys.argv[1], os.path.abspath(sys.argv[2])
    shot = sys.argv[3] if len(sys.argv) > 3 else None
    cli = os.path.join(build, "src/cli/glyphwerk-cli")
    home = tempfile.mkdtemp(prefix="glyphwerk-atspi-")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
               XDG_DATA_HOME=home + "/.local/share", GLYPHWERK_NO_FEED="1",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    window = subprocess.Popen([os.path.join(build, "src/gui/glyphwerk"), picture], env=env)
    failures = 0
    try:
        app = application("Glyphwerk")
        preview = find(app, "push button", "Preview")
        deadline = time.time() + 30
        while not preview.getState().contains(pyatspi.STATE_ENABLED) and time.time() < deadline:
            time.sleep(0.2)
        # The window's defaults: at most 100 characters wide, 10 points, Monaco.
        options = ["--max-width", "100", "--font-size", "10", picture]
        plain = subprocess.run([cli, *options], capture_output=True, text=True, check=True).stdout
        rtf = subprocess.run([cli, "-f", "rtf", "--color", *options], capture_output=True,
                             text=True, check=True, encoding="latin-1").stdout
        for mode in ("Black and white", "Colour"):
            press(find(app, "radio button", mode))
            press(preview)
            time.sleep(1.0)
            view = find(app, "text", "Converted picture")
            text = view.queryText()
            rows = rows_of(text)
            same = rows == plain.splitlines()
            print(f"{mode}: {len(rows)} rows of {max(map(len, rows), default=0)} characters, "
                  f"{text.characterCount} characters; rows as the plain text file: {same}")
            failures += not same
            if mode == "Colour":
                got = colours_of(text)
                want = rtf_colours(rtf)
                matching = sum(1 for g, w in zip(got, want) if g == w)
                wrong = [(i, g, w) for i, (g, w) in enumerate(zip(got, want)) if g != w]
                if wrong:
                    print("first differences (offset, AT-SPI, glyphwerk-cli):", wrong[:5])
                print(f"Colour: fg-color of {matching} of {len(want)} characters as "
                      f"glyphwerk-cli's RTF (first: {got[:3]})")
                failures += matching != len(want) or len(got) != len(want)
        if shot:
            subprocess.run(["import", "-window", "root", shot], check=True)
            print(f"screenshot: {shot}")
    finally:
        window.terminate()
        window.wait(timeout=10)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
