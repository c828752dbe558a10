#!/usr/bin/env python3
"""window.py LAUNCHER stations | record FOLDER: starts the launcher and reads
its window through AT-SPI (under xvfb-run and dbus-run-session). Prints the
station list, one "entry:" line each; "record" then clicks the first station,
switches "Rec" on with Space and waits for an .mp3 of >0 bytes in FOLDER."""
import os
import subprocess
import sys
import time

import pyatspi


def wait_for(what, probe, timeout=120):  # generous: Qt starts slowly under load
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the window's tree is still being built
            found = None
        if found:
            return found
        time.sleep(0.2)
    sys.exit("timed out waiting for " + what)


def find(root, role):
    return pyatspi.findAllDescendants(root, lambda a: a.getRole() == role)


def app_of(pid):
    return [a for a in pyatspi.Registry.getDesktop(0) if a and a.get_process_id() == pid and a.childCount]


def recordings(folder):
    return [f for f in os.listdir(folder) if f.endswith(".mp3") and os.path.getsize(os.path.join(folder, f))]


os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
player = subprocess.Popen([sys.argv[1]])
try:
    app = wait_for("the window", lambda: app_of(player.pid))[0]
    items = wait_for("the station list", lambda: find(app, pyatspi.ROLE_LIST_ITEM))
    print("".join("entry:" + item.name + "\n" for item in items), end="", flush=True)
    if sys.argv[2] == "record":
        box = items[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2), str(box.y + box.height // 2),
                        "click", "1"], check=True)
        rec = wait_for("Rec", lambda: [c for c in find(app, pyatspi.ROLE_CHECK_BOX) if c.name == "Rec"])[0]
        rec.queryComponent().grabFocus()
        wait_for("focus on Rec", lambda: rec.getState().contains(pyatspi.STATE_FOCUSED))
        subprocess.run(["xdotool", "key", "space"], check=True)
        wait_for("a recording", lambda: recordings(sys.argv[3]))
    if player.poll() is not None:
        sys.exit("the player ended early")
finally:
    player.terminate()
    player.wait()
