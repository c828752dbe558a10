#!/usr/bin/env python3
"""The player driven from the desktop by real MPRIS2 clients (playerctl and
dbus-send), with its sound captured by SDL's disk driver. Run inside a
private session bus and X server:

  dbus-run-session -- xvfb-run -a python3 mpris_test.py PLAYER SOURCE_DIR
"""

import array
import json
import os
import subprocess
import sys
import tempfile
import time

PLAYER, SOURCE = sys.argv[1], sys.argv[2]
RUSSIAN = "Кино - Группа крови"  # sent in Windows-1251, as many stations do
DEST = ["--dest=org.mpris.MediaPlayer2.tunelark", "/org/mpris/MediaPlayer2"]


def wait_for(what, check, timeout=60):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if check():
            return
        time.sleep(0.1)
    sys.exit("FAIL: no " + what)


def ctl(*args):
    out = subprocess.run(["playerctl", "-p", "tunelark", *args], capture_output=True, timeout=30).stdout
    return out.decode("utf-8").strip()  # a byte that is not UTF-8 fails here


def bus(method, *args):
    cmd = ["dbus-send", "--session", "--print-reply", *DEST, method, *args]
    return subprocess.run(cmd, capture_output=True, text=True, timeout=30)


def bus_get(name):
    reply = bus("org.freedesktop.DBus.Properties.Get", "string:org.mpris.MediaPlayer2.Player", "string:" + name)
    return reply.stdout.split("variant", 1)[-1].split()[-1].strip('"')


def set_volume(value):
    return bus("org.freedesktop.DBus.Properties.Set", "string:org.mpris.MediaPlayer2.Player",
               "string:Volume", "variant:double:" + value)


def output_peak(path, seconds=0.3):
    """The loudest sample of the last moments the device played (float32)."""
    size = os.path.getsize(path) // 4 * 4
    take = min(size, int(44100 * 2 * 4 * seconds))
    with open(path, "rb") as f:
        f.seek(size - take)
        samples = array.array("f", f.read(take))
    return max((abs(s) for s in samples), default=0.0)


def start_server(folder):
    song = os.path.join(SOURCE, "tools", "demo_audio", "01-severny-veter.mp3")
    server = subprocess.Popen([sys.executable, os.path.join(SOURCE, "tests", "support", "stream_server.py")],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    port = int(server.stdout.readline())
    for path, titles in (("/a", ["Alpha - One", "Alpha - Two"]),
                         ("/b", [RUSSIAN.encode("cp1251").decode("utf-8", "surrogateescape")])):
        route = {"cmd": "route", "path": path, "headers": ["Content-Type: audio/mpeg", "icy-metaint: 8000"],
                 "metaint": 8000, "titles": {"every": 2, "list": titles}, "rate": 16500, "loop": True,
                 "body": [{"file": song}]}
        server.stdin.write(json.dumps(route) + "\n")
        server.stdin.flush()
        server.stdout.readline()
    with open(os.path.join(folder, "stations1.txt"), "w") as f:
        f.write("Alpha,http://127.0.0.1:{0}/a\nBeta,http://127.0.0.1:{0}/b\nGone,http://127.0.0.1:{0}/gone\n".format(port))
    return server, port


def start_player(folder, env, log):
    env = dict(env, XDG_RUNTIME_DIR=tempfile.mkdtemp(dir=folder), QT_QPA_PLATFORM="xcb")
    with open(os.path.join(folder, log), "w") as out:
        return subprocess.Popen([PLAYER], cwd=folder, env=env, stdout=out, stderr=subprocess.STDOUT)


def check_controls(folder, port):
    sound = os.path.join(folder, "out.raw")
    player = start_player(folder, dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=sound), "player.log")
    wait_for("player on the bus", lambda: ctl("status") == "Stopped")
    assert "NoTrack" in ctl("metadata", "mpris:trackid")

    ctl("next")  # the first station, as the Down key
    wait_for("playing", lambda: ctl("status") == "Playing")
    assert ctl("metadata", "album") == "Alpha"
    assert ctl("metadata", "xesam:url") == "http://127.0.0.1:%d/a" % port
    wait_for("first title", lambda: ctl("metadata", "title") == "Alpha - One")
    first_track = ctl("metadata", "mpris:trackid")
    wait_for("title change", lambda: ctl("metadata", "title") == "Alpha - Two")
    assert ctl("metadata", "mpris:trackid") != first_track
    wait_for("sound", lambda: output_peak(sound) > 0.02)

    ctl("play-pause")
    wait_for("pause seen by both clients", lambda: ctl("status") == "Paused" and bus_get("PlaybackStatus") == "Paused")
    wait_for("silence while paused", lambda: output_peak(sound) < 1e-4)
    ctl("play")
    wait_for("playing again", lambda: bus_get("PlaybackStatus") == "Playing" and output_peak(sound) > 0.02)

    ctl("volume", "0.5")
    wait_for("volume 0.5 seen by both clients", lambda: ctl("volume") == "0.500000" and bus_get("Volume") == "0.5")
    ctl("volume", "0")
    wait_for("silence at volume 0", lambda: output_peak(sound) < 1e-4)
    for asked, kept in (("nan", "0"), ("-5", "0"), ("1e308", "1"), ("0.25", "0.25")):
        assert set_volume(asked).returncode == 0, asked
        wait_for("volume %s kept at %s" % (asked, kept), lambda: bus_get("Volume") == kept)
    wait_for("sound at volume 0.25", lambda: output_peak(sound) > 0.005)

    ctl("next")
    wait_for("second station", lambda: ctl("metadata", "album") == "Beta")
    wait_for("Windows-1251 title as UTF-8", lambda: ctl("metadata", "title") == RUSSIAN)
    ctl("previous")
    wait_for("first station again", lambda: ctl("metadata", "album") == "Alpha" and ctl("status") == "Playing")
    ctl("next")
    ctl("next")
    wait_for("Stopped after a failed connection", lambda: ctl("metadata", "album") == "Gone" and ctl("status") == "Stopped")

    assert bus("org.mpris.MediaPlayer2.Raise").returncode == 0
    assert bus("org.mpris.MediaPlayer2.Quit").returncode == 0
    assert player.wait(timeout=60) == 0


def check_without_bus(folder):
    env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
    player = start_player(folder, dict(env, SDL_AUDIODRIVER="dummy"), "nobus.log")
    find = ["xdotool", "search", "--onlyvisible", "--name", "^Tunelark"]
    wait_for("window without a bus", lambda: subprocess.run(find, capture_output=True).returncode == 0)
    assert player.poll() is None
    player.terminate()
    player.wait(timeout=60)
    with open(os.path.join(folder, "nobus.log")) as log:
        said = log.read()
    assert "bus" not in said.lower(), said


def main():
    with tempfile.TemporaryDirectory() as folder:
        server, port = start_server(folder)
        try:
            check_controls(folder, port)
            check_without_bus(folder)
        finally:
            server.stdin.close()
            server.wait(timeout=30)
    print("PASS")


main()
