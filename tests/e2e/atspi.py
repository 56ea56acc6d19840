"""Reads the running panel through its accessibility interface (AT-SPI), as a
screen reader does: what a window says, and where a control is on the screen.

    atspi.py texts PID TITLE            the names of the labels in the window
                                        TITLE of process PID, one a line
    atspi.py centre PID ROLE NAME       "x y": the screen centre of the first
                                        showing control of that role and name

Both wait up to 10 s for what they look for (the accessibility tree follows
the widgets a little later) and exit with 1 when it does not come.
"""

import sys
import os
import time

import pyatspi


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def windows(app, title):
    return [w for w in app if w is not None and w.name == title and showing(w)]


def texts(pid, title):
    app = application(pid)
    if app is None:
        return None
    found = [
        node.name
        for window in windows(app, title)
        for node in descendants(window)
        if node.getRole() == pyatspi.ROLE_LABEL and node.name
    ]
    return "\n".join(found) if found else None


def centre(pid, role, name):
    app = application(pid)
    if app is None:
        return None
    for window in app:
        if window is None or not showing(window):
            continue
        for node in descendants(window):
            if node.getRoleName() == role and node.name.strip() == name and showing(node):
                box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                if box.width > 0 and box.height > 0:
                    return f"{box.x + box.width // 2} {box.y + box.height // 2}"
    return None


def main():
    command, pid = sys.argv[1], int(sys.argv[2])
    look = {
        "texts": lambda: texts(pid, sys.argv[3]),
        "centre": lambda: centre(pid, sys.argv[3], sys.argv[4]),
    }[command]
    deadline = time.monotonic() + 10 * int(os.environ.get("ZR70_TEST_TIME_FACTOR", "1"))
    while True:
        try:
            result = look()
        except Exception:  # the tree changes while it is read
            result = None
        if result is not None:
            print(result)
            return 0
        if time.monotonic() > deadline:
            return 1
        time.sleep(0.05)


if __name__ == "__main__":
    sys.exit(main())
