"""What the AT-SPI drivers in tools/ share: finding the program and its controls on the
accessibility bus by role and name, as a screen reader does, and pressing them."""
import time

import pyatspi


def find(root, role, name, timeout=30.0):
    """The first descendant with this role and accessible name, or None after the timeout."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = pyatspi.findDescendant(
            root, lambda a: a is not None and a.getRoleName() == role and a.name == name)
        if found is not None:
            return found
        time.sleep(0.2)
    return None


def application(name, timeout=30.0):
    """The application of this name on the bus, or None after the timeout."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def press(accessible):
    action = accessible.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click", "Toggle", "toggle"):
            action.doAction(i)
            return
    action.doAction(0)
