#!/usr/bin/env python3
"""The player driven from the desktop by real MPRIS2 clients (playerctl and
dbus-send), with its sound captured by SDL's disk driver. Run inside a
private session bus and X server:

  dbus-run-session -- xvfb-run -a python3 mpris_test.py PLAYER SOURCE_DIR
"""

import array
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
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


class SongSignals:
    """The Metadata of every PropertiesChanged signal the player sends, in order."""

    def __enter__(self):
        rule = "type='signal',member='PropertiesChanged',path='/org/mpris/MediaPlayer2'"
        self.monitor = subprocess.Popen(["dbus-monitor", "--session", rule], stdout=subprocess.PIPE, text=True)
        self.lines = []
        self.reader = threading.Thread(target=lambda: self.lines.extend(self.monitor.stdout), daemon=True)
        self.reader.start()
        wait_for("the monitor", lambda: any("member=NameLost" in line for line in self.lines))  # a monitor now
        return self

    def __exit__(self, *failed):
        self.monitor.terminate()
        self.reader.join(timeout=30)

    def songs(self):
        pairs = re.compile(r'string "(xesam:\w+)"\s+variant\s+string "([^"]*)"')
        return [dict(pairs.findall(block)) for block in "".join(self.lines).split("\nsignal ") if "xesam:album" in block]


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


def windows(name):
    find = ["xdotool", "search", "--onlyvisible", "--name", name]
    return subprocess.run(find, capture_output=True, text=True).stdout.split()


def press_in(window, key):
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", key], check=True, timeout=30)


def focused():
    return subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout.strip()


def start_player(folder, env, log, runtime=None):
    env = dict(env, XDG_RUNTIME_DIR=runtime or tempfile.mkdtemp(dir=folder), QT_QPA_PLATFORM="xcb")
    with open(os.path.join(folder, log), "w") as out:
        return subprocess.Popen([PLAYER], cwd=folder, env=env, stdout=out, stderr=subprocess.STDOUT)


def check_controls(folder, port):
    sound = os.path.join(folder, "out.raw")
    player = start_player(folder, dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=sound), "player.log")
    wait_for("player on the bus", lambda: ctl("status") == "Stopped")
    assert "NoTrack" in ctl("metadata", "mpris:trackid")

    ctl("next")  # the first station, as the Down key
    wait_for("playing", lambda: ctl("status") == "Playing")
    assert (bus_get("CanGoPrevious"), bus_get("CanGoNext")) == ("false", "true")
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

    with SongSignals() as signals:
        ctl("next")
        wait_for("second station", lambda: ctl("metadata", "album") == "Beta")
        wait_for("Windows-1251 title as UTF-8", lambda: ctl("metadata", "title") == RUSSIAN)
    first = next(song for song in signals.songs() if song.get("xesam:album") == "Beta")
    assert not first.get("xesam:title", "").startswith("Alpha"), first
    ctl("previous")
    wait_for("first station again", lambda: ctl("metadata", "album") == "Alpha" and ctl("status") == "Playing")
    ctl("next")
    ctl("next")
    wait_for("Stopped after a failed connection", lambda: ctl("metadata", "album") == "Gone" and ctl("status") == "Stopped")
    check_error_box_blocks_station_changes()
    ctl("previous")
    wait_for("Beta again", lambda: ctl("metadata", "album") == "Beta" and ctl("status") == "Playing")

    assert bus("org.mpris.MediaPlayer2.Raise").returncode == 0
    press_in(windows("^Tunelark")[0], "alt+i")
    wait_for("the Info box", lambda: windows("^Harkbox info"))
    assert bus("org.mpris.MediaPlayer2.Quit").returncode == 0
    assert player.wait(timeout=60) == 0
    assert ctl("status") != "Playing"


def check_error_box_blocks_station_changes():
    """The window takes no clicks behind a box; the desktop's Next and
    Previous wait for it as well, so boxes cannot pile up."""
    wait_for("the error box", lambda: windows("^BASS Error"))
    assert (bus_get("CanGoPrevious"), bus_get("CanGoNext")) == ("false", "false")
    assert bus("org.mpris.MediaPlayer2.Player.Previous").returncode != 0
    assert ctl("metadata", "album") == "Gone"
    press_in(windows("^BASS Error")[0], "Return")
    wait_for("the box closed", lambda: not windows("^BASS Error"))
    wait_for("the end of the list", lambda: (bus_get("CanGoPrevious"), bus_get("CanGoNext")) == ("true", "false"))


def check_without_bus(folder):
    env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
    runtime = tempfile.mkdtemp(dir=folder)
    player = start_player(folder, dict(env, SDL_AUDIODRIVER="dummy"), "nobus.log", runtime)
    wait_for("window without a bus", lambda: windows("^Tunelark"))
    assert player.poll() is None
    # Started again while another window has the input: the running one comes forward.
    other = subprocess.Popen(["xlogo"], stderr=subprocess.DEVNULL)
    wait_for("another window", lambda: windows("^xlogo"))
    subprocess.run(["xdotool", "windowfocus", "--sync", windows("^xlogo")[0]], check=True, timeout=30)
    assert start_player(folder, dict(env, SDL_AUDIODRIVER="dummy"), "second.log", runtime).wait(timeout=60) == 0
    wait_for("the running player's window forward", lambda: focused() == windows("^Tunelark")[0])
    other.terminate()
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
