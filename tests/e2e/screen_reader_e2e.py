"""The player from the keyboard alone, with Orca listening: its debug log says what it spoke."""

import os
import re
import subprocess
import sys
import time

from player_session import PlayerSession, icecast_port, run, wait_until

STARTED = []
# Orca writes its debug log through a block-buffered file, so what it said
# last may wait in the buffer until it has more to log; an idle player gives
# it nothing more. Started through this, Orca writes its log line by line.
LINE_BUFFERED_ORCA = """
import builtins, runpy, sys
path, real_open = sys.argv[1], builtins.open
def line_buffered(file, mode="r", *args, **kwargs):
    if file == path and not args and not kwargs:
        return real_open(file, mode, 1)
    return real_open(file, mode, *args, **kwargs)
builtins.open = line_buffered
sys.argv = ["orca", "--debug-file", path, "-d", "speech"]
runpy.run_path("/usr/bin/orca", run_name="__main__")
"""
SPOKEN = re.compile(rb"SPEECH OUTPUT: '(.*?)' ?\{'established", re.DOTALL)
TAB_STOPS = [("Pause", "push button"), ("Exit", "push button"), ("Info", "push button"), ("Volume", "slider"),
             ("Reverb", "slider"), ("10 kHz", "slider"), ("1 kHz", "slider"), ("125 Hz", "slider"),
             ("Инструментал", "selected radio button"), ("Rec", "check box not checked"), ("Stations", "List")]


class Orca:
    def __init__(self, s):
        self.s, self.path, self.offset, self.lines, self.mark = s, s.folder + "/orca.log", 0, [], 0
        env = dict(os.environ, DISPLAY=s.xvfb.display, HOME=s.folder, XDG_CONFIG_HOME=s.folder)
        self.process = subprocess.Popen([sys.executable, "-c", LINE_BUFFERED_ORCA, self.path], env=env)
        STARTED.append(self)

    def spoken(self):
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            found = list(SPOKEN.finditer(f.read()))  # a text still being written waits
        self.offset += found[-1].end() if found else 0
        self.lines += [m.group(1).decode() for m in found]
        return self.lines[self.mark:]

    def press(self, key, *words):  # waits until Orca has said every one of words
        self.mark = len(self.lines)
        self.s.key(key)
        wait_until(lambda: all(w in " ".join(self.spoken()) for w in words), "Orca to say %s" % (words,))


def keyboard_alone(s):
    orca = Orca(s)
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Tunelark"], env=s.xdotool_env,
                            stdout=subprocess.PIPE, text=True).stdout.split()[0]
    s.xdotool("windowfocus", "--sync", window)
    wait_until(lambda: "Stations" in " ".join(orca.spoken()), "Orca at the list")
    orca.press("Home", "Harness MP3")  # nothing selected: the first key chooses the first station
    for name, role in TAB_STOPS:
        orca.press("Tab", name, role)
    for key, said in [("shift+Tab", "Rec"), ("shift+Tab", "Инструментал"), ("Down", "Выключено"),
                      ("Down", "Вокал"), ("Tab", "Rec"), ("space", "checked")]:
        orca.press(key, said)
    assert s.checked("Rec") and s.checked("Вокал") and s.value("Reverb") == 9  # the arrows click
    for _ in range(7):
        s.key("shift+Tab")
    orca.press("Return", "BASS version. 2.4.9", "Загруженные плагины")  # the Info box, read as it opens
    s.key("Return")
    wait_until(lambda: not s.boxes(), "the Info box closed")
    s.xdotool("windowfocus", "--sync", window)  # a window manager's part
    for key, said in [("shift+Tab", "Exit"), ("shift+Tab", "Pause"), ("space", "Play"), ("space", "Pause")]:
        orca.press(key, said)

    # A minute of playing: each new title told once, the meters never.
    orca.mark, titles, end = len(orca.lines), [], time.monotonic() + 60
    while time.monotonic() < end:
        title = s.text("Song title")
        titles += [title] if title and title not in titles[-1:] else []
        time.sleep(0.2)
    told = [line for line in orca.spoken() if line.startswith("notification")]
    assert not [line for line in orca.spoken() if "percent" in line or "dialog" in line], orca.spoken()
    assert len(titles) >= 5 and len(told) >= len(titles) - 2, (titles, told)
    assert all(a != b for a, b in zip(told, told[1:])), "a title told twice: %s" % told


def main():
    url = "http://127.0.0.1:%d/test." % icecast_port()
    stations = [("Harness MP3", url + "mp3"), ("Harness Ogg", url + "ogg")]
    try:
        run([keyboard_alone], lambda: PlayerSession(sys.argv[1], stations))
    finally:  # run() ends the program: Orca first, telling what it said last
        for orca in STARTED:
            orca.process.terminate()
            sys.stderr.write("Orca said last:\n  " + "\n  ".join(orca.lines[-30:]) + "\n")


if __name__ == "__main__":
    main()
