#!/usr/bin/python3
"""Tries the window's tone controls and live preview as a new user with a screen reader would,
over AT-SPI, and takes a screenshot after each step.

Run inside an X display and a D-Bus session bus (tools/atspi-tour.sh sets both up). Starts the
window on PICTURE and finds every control by its role and accessible name, as a screen reader
does. Then, with SHOTS_DIR set, saves the screen (main window and preview side by side) there:

    1-black-background.png  black background, Black and white, Text: Preview pressed once
    2-invert-on-black.png   "Invert brightness" checked
    3-slider-live.png       the Brightness slider set to +40
    4-width-live.png        the maximum width typed over with 60

Preview is pressed only for the first shot; each later step waits for the open preview to
refresh by itself (its text, read back over AT-SPI, changes) and says how long that took. After
each step the preview must read as glyphwerk-cli's plain text with the same settings. Last, it
walks the accessibility tree of both windows and lists every control without a name. Exits
non-zero when a control cannot be found by name, the preview did not refresh or differs from
glyphwerk-cli's text, or a control has no name; notes (a preview window too small for its art)
are printed without failing.

    atspi-tour.py BUILD_DIR PICTURE [SHOTS_DIR]

Needs python3-pyatspi, xvfb, dbus and ImageMagick's import; windows are placed with libX11
through ctypes, as no window manager runs under xvfb-run.
"""
import ctypes
import ctypes.util
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

import atspi_bus
from atspi_bus import find, press

# A sanitizer build converts a photograph in a second or two.
REFRESH_TIMEOUT = 15.0

failures = []
notes = []


def note(message):
    print("NOTE:", message)
    notes.append(message)


def fail(message):
    print("FAULT:", message)
    failures.append(message)


def control(root, role, name, timeout=30.0):
    found = find(root, role, name, timeout)
    if found is None:
        seen = sorted({(a.getRoleName(), a.name) for a in descendants(root)
                       if a.getRoleName() == role})
        fail(f"no {role} named {name!r}; the {role}s seen: {seen}")
        raise SystemExit(finish())
    return found


def descendants(root):
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        yield node
        try:
            stack.extend(reversed([node.getChildAtIndex(i) for i in range(node.childCount)]))
        except Exception:  # a child that went away while walking
            pass


def application(name, timeout=30.0):
    app = atspi_bus.application(name, timeout)
    if app is None:
        fail(f"{name} did not appear on the accessibility bus")
        raise SystemExit(finish())
    return app


def checked(accessible):
    return accessible.getState().contains(pyatspi.STATE_CHECKED)


def preview_text(app):
    view = find(app, "text", "Converted picture", timeout=0.5)
    if view is None:
        return None
    text = view.queryText()
    return text.getText(0, text.characterCount)


def ink_of(app):
    """The "fg-color" attribute of the preview's first character, if the view reports one."""
    view = find(app, "text", "Converted picture", timeout=0.5)
    if view is None:
        return None
    attributes, _, _ = view.queryText().getAttributeRun(0, False)
    return dict(a.split(":", 1) for a in attributes).get("fg-color")


def wait_for_change(app, before, what, by_itself=True):
    """Waits for the open preview's text to differ from BEFORE; says how long it took."""
    start = time.time()
    while time.time() - start < REFRESH_TIMEOUT:
        now = preview_text(app)
        if now is not None and now != before:
            elapsed = time.time() - start
            time.sleep(0.5)  # let the repaint land before the screenshot
            rows = now.splitlines()
            how = "refreshed by itself" if by_itself else "showed the art"
            print(f"{what}: the preview {how} within {elapsed:.1f} s "
                  f"({len(rows)} rows of {max(map(len, rows))} characters)")
            return preview_text(app)
        time.sleep(0.1)
    fail(f"{what}: the open preview did not change within {REFRESH_TIMEOUT:.0f} s")
    return before


def fits(app, what):
    """The preview window is sized to its art: says so, or which scroll bars it needs."""
    view = find(app, "text", "Converted picture", timeout=0.5)
    area = find(app, "filler", "Converted picture, scrollable", timeout=0.5)
    if view is None or area is None:
        return
    extents = [tuple(a.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))[2:]
               for a in (view, area)]
    bars = [a for a in descendants(area) if a.getRoleName() == "scroll bar"
            and a.getState().contains(pyatspi.STATE_SHOWING)]
    print(f"{what}: art {extents[0][0]}x{extents[0][1]}, scrolling area "
          f"{extents[1][0]}x{extents[1][1]}, {len(bars)} scroll bar(s) showing")
    if bars and extents[0][0] <= 2000 and extents[0][1] <= 1200:
        note(f"{what}: the preview shows {len(bars)} scroll bar(s) for art of "
             f"{extents[0][0]}x{extents[0][1]} in a scrolling area of "
             f"{extents[1][0]}x{extents[1][1]}, on a 2560x1600 screen")


def same_as_cli(app, build, picture, options, what):
    """The open preview reads the rows glyphwerk-cli writes as plain text with OPTIONS."""
    cli = os.path.join(build, "src/cli/glyphwerk-cli")
    plain = subprocess.run([cli, "--font-size", "10", *options, picture], capture_output=True,
                           text=True, check=True).stdout
    shown = preview_text(app) or ""
    if shown.splitlines() != plain.splitlines():
        fail(f"{what}: the preview is not glyphwerk-cli {' '.join(options)}'s text")
    else:
        print(f"{what}: the preview reads as glyphwerk-cli {' '.join(options)}")


def summary(text):
    rows = text.splitlines()
    dense = sum(c not in " .'`" for c in text if c != "\n")
    return f"{len(rows)} rows of {max(map(len, rows))} characters, {dense} not blank or dots"


class WindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class Screen:
    """Moves top-level windows with libX11, since nothing else places them under xvfb-run."""

    def __init__(self):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + \
            [ctypes.POINTER(ctypes.c_ulong)] * 2 + \
            [ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)), ctypes.POINTER(ctypes.c_uint)]
        self.x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
        self.x.XMoveWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_int]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.display = self.x.XOpenDisplay(None)

    def windows(self):
        """The mapped top-level windows as (id, x, y, width, height), bottom first."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        self.x.XQueryTree(self.display, self.x.XDefaultRootWindow(self.display),
                          ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                          ctypes.byref(count))
        found = []
        attributes = WindowAttributes()
        for i in range(count.value):
            self.x.XGetWindowAttributes(self.display, children[i], ctypes.byref(attributes))
            a = attributes
            if a.map_state == 2 and a.width > 50 and a.height > 50:  # IsViewable
                found.append((children[i], a.x, a.y, a.width, a.height))
        return found

    def move(self, window, x, y):
        self.x.XMoveWindow(self.display, window, x, y)
        self.x.XSync(self.display, 0)


def side_by_side(screen):
    """Puts the main window at the left and the preview to its right; the box around both."""
    windows = screen.windows()
    # The main window is the one mapped first, at the bottom of the stack.
    main, others = windows[0], windows[1:]
    screen.move(main[0], 0, 0)
    right, bottom = main[3], main[4]
    for window in others:
        screen.move(window[0], right + 10, 0)
        right, bottom = right + 10 + window[3], max(bottom, window[4])
    time.sleep(0.5)
    return right, bottom


def shoot(directory, name, screen):
    if not directory:
        return
    width, height = side_by_side(screen)
    path = os.path.join(directory, name)
    # Cropped to the windows, not trimmed: the dark preview would be trimmed away.
    subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+0+0", "+repage",
                    path], check=True)
    print(f"screenshot: {path}")


CONTROL_ROLES = {
    "push button", "toggle button", "check box", "radio button", "text", "password text",
    "spin button", "slider", "combo box", "menu item", "check menu item", "radio menu item",
    "menu", "scroll bar", "page tab", "list", "list item", "table", "tree", "tree table",
    "entry", "image", "link", "dial", "tool bar", "canvas",
}


def unnamed_controls(app):
    """Every control (an interactive role, or anything that takes focus) without a name."""
    missing = []
    for node in descendants(app):
        try:
            role, name = node.getRoleName(), node.name
            focusable = node.getState().contains(pyatspi.STATE_FOCUSABLE)
        except Exception:
            continue
        if (role in CONTROL_ROLES or focusable) and not name.strip():
            path, parent = [], node.parent
            while parent is not None and parent != app:
                if parent.name:
                    path.append(f"{parent.getRoleName()} {parent.name!r}")
                parent = parent.parent
            missing.append(f"{role} (in {' / '.join(reversed(path)) or 'the application'})")
    return missing


def type_text(field, keys):
    """Types KEYS over FIELD's text as a user would: click into it, erase it, type. Key events
    go to the window under the pointer, as no window manager gives focus."""
    x, y, width, height = field.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")
    time.sleep(0.3)
    generate = pyatspi.Registry.generateKeyboardEvent
    generate(0xff57, None, pyatspi.KEY_SYM)  # End
    for _ in range(field.queryText().characterCount):
        generate(0xff08, None, pyatspi.KEY_SYM)  # BackSpace
        time.sleep(0.05)
    for key in keys:
        generate(ord(key), None, pyatspi.KEY_SYM)
        time.sleep(0.05)


def finish():
    for n in notes:
        print("note:", n)
    if failures:
        print(f"{len(failures)} fault(s):")
        for f in failures:
            print("  -", f)
    return 1 if failures else 0


def main():
    build, picture = sys.argv[1], os.path.abspath(sys.argv[2])
    shots = sys.argv[3] if len(sys.argv) > 3 else None
    if shots:
        os.makedirs(shots, exist_ok=True)
    home = tempfile.mkdtemp(prefix="glyphwerk-tour-")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
               XDG_DATA_HOME=home + "/.local/share", GLYPHWERK_NO_FEED="1",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    window = subprocess.Popen([os.path.join(build, "src/gui/glyphwerk"), picture], env=env)
    screen = Screen()
    try:
        app = application("Glyphwerk")
        preview = control(app, "push button", "Preview")
        deadline = time.time() + 60
        while not preview.getState().contains(pyatspi.STATE_ENABLED) and time.time() < deadline:
            time.sleep(0.2)

        # a. Black background, black and white, text: one press of Preview.
        press(control(app, "push button", "Background colour"))
        for name in ("Red:", "Green:", "Blue:"):
            control(app, "spin button", name).queryValue().currentValue = 0
        time.sleep(0.3)
        press(control(app, "push button", "OK"))
        time.sleep(0.3)
        bw = control(app, "radio button", "Black and white")
        if not checked(bw):
            press(bw)
        text_format = control(app, "radio button", "Format: Text")
        if not checked(text_format):
            press(text_format)
        press(preview)
        first = wait_for_change(app, None, "Preview pressed", by_itself=False)
        ink = ink_of(app)
        print(f"1 black background: {summary(first)}; ink fg-color {ink}")
        if ink is not None and ink != "255,255,255":
            fail(f"the ink on a black background is {ink}, not white")
        shoot(shots, "1-black-background.png", screen)
        fits(app, "1")
        same_as_cli(app, build, picture, ["--max-width", "100"], "1")
        # The preview's scroll bars show only while the art overflows the window: look now.
        missing = set(unnamed_controls(app))

        # b. Invert brightness, without pressing Preview again.
        invert = control(app, "check box", "Invert brightness")
        press(invert)
        if not checked(invert):
            fail("Invert brightness did not become checked")
        inverted = wait_for_change(app, first, "Invert brightness")
        print(f"2 inverted: {summary(inverted)}")
        shoot(shots, "2-invert-on-black.png", screen)
        same_as_cli(app, build, picture, ["--max-width", "100", "--invert"], "2")

        # c. The Brightness slider to +40; its number field should follow.
        slider = control(app, "slider", "Brightness")
        slider.queryValue().currentValue = 40
        brighter = wait_for_change(app, inverted, "Brightness slider at +40")
        field = control(app, "spin button", "Brightness value").queryValue().currentValue
        if field != 40:
            fail(f"the Brightness value field shows {field}, not 40, after the slider moved")
        print(f"3 brightness +40: {summary(brighter)}")
        shoot(shots, "3-slider-live.png", screen)
        same_as_cli(app, build, picture, ["--max-width", "100", "--invert", "--brightness", "40"],
                    "3")

        # d. Type 60 over the maximum width of 100.
        width = control(app, "text", "Maximum width:")
        type_text(width, "60")
        typed = width.queryText().getText(0, -1)
        if typed != "60":
            fail(f"the Maximum width field reads {typed!r} after typing 60")
        narrower = wait_for_change(app, brighter, "Maximum width typed as 60")
        longest = max(map(len, narrower.splitlines()))
        if longest > 60:
            fail(f"rows of {longest} characters after a maximum width of 60")
        print(f"4 width 60: {summary(narrower)}")
        shoot(shots, "4-width-live.png", screen)
        fits(app, "4")
        same_as_cli(app, build, picture, ["--max-width", "60", "--invert", "--brightness", "40"],
                    "4")

        # Every control of both windows has a name.
        missing |= set(unnamed_controls(app))
        for entry in sorted(missing):
            fail(f"no accessible name: {entry}")
        if not missing:
            print("every control of the main window and the preview has an accessible name")
    finally:
        window.terminate()
        window.wait(timeout=10)
    return finish()


if __name__ == "__main__":
    sys.exit(main())
