#!/usr/bin/env python3
"""Starts a Tunelark launcher and reads its window through AT-SPI, as a
screen reader would: window.py LAUNCHER stations | record FOLDER

stations: prints the station list's entries, one a line after "entry:".
record:   also plays the first station (a click), switches "Rec" on and waits until
          an .mp3 recording of more than 0 bytes is in FOLDER.
Needs an X display and a session bus (xvfb-run, dbus-run-session)."""
import os
import subprocess
import sys
import time

import pyatspi

TIMEOUT = 120  # seconds; a loaded machine starts Qt slowly


def wait_for(what, probe):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the application's tree is still being built
            found = None
        if found:
            return found
        time.sleep(0.2)
    sys.exit("timed out waiting for " + what)


def window_of(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid and app.childCount:
            return app
    return None


def all_of(root, role):
    return pyatspi.findAllDescendants(root, lambda a: a.getRole() == role)


def recordings(folder):
    return [f for f in os.listdir(folder) if f.endswith(".mp3") and os.path.getsize(os.path.join(folder, f)) > 0]


def main():
    launcher, mode = sys.argv[1], sys.argv[2]
    os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    player = subprocess.Popen([launcher])
    try:
        app = wait_for("the window", lambda: window_of(player.pid))
        items = wait_for("the station list", lambda: all_of(app, pyatspi.ROLE_LIST_ITEM))
        print("".join("entry:" + item.name + "\n" for item in items), end="", flush=True)
        if mode == "record":
            box = items[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2), str(box.y + box.height // 2),
                            "click", "1"], check=True)
            rec = wait_for("Rec", lambda: [c for c in all_of(app, pyatspi.ROLE_CHECK_BOX) if c.name == "Rec"])
            # Space on the focused box, as a person without a mouse does.
            rec[0].queryComponent().grabFocus()
            wait_for("focus on Rec", lambda: rec[0].getState().contains(pyatspi.STATE_FOCUSED))
            subprocess.run(["xdotool", "key", "space"], check=True)
            wait_for("a recording", lambda: recordings(sys.argv[3]))
        if player.poll() is not None:
            sys.exit("the player ended early")
    finally:
        player.terminate()
        player.wait()


main()
