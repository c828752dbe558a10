"""The player used with the keyboard alone while Orca, a real screen reader,
listens on the same session: what Orca says, read from its debug log (speech
itself is off, so no sound server is needed).

Usage: dbus-run-session -- /usr/bin/python3 screen_reader_e2e.py PROGRAM
"""

import os
import re
import subprocess
import sys
import time

import pyatspi

from player_session import PlayerSession, icecast_port, run, wait_until

PRESETS = {"Выключено": [10, 10, 10, 20], "Вокал": [10, 5, 10, 9], "Инструментал": [8, 10, 2, 9]}
SLIDERS = ["125 Hz", "1 kHz", "10 kHz", "Reverb"]
# Tab from the station list, in template order; the preset group is reached
# at its checked button.
TAB_STOPS = [("Pause", "button"), ("Exit", "button"), ("Info", "button"), ("Volume", "slider"),
             ("Reverb", "slider"), ("10 kHz", "slider"), ("1 kHz", "slider"), ("125 Hz", "slider"),
             ("Инструментал", "radio button"), ("Rec", "check box"), ("Stations", "list")]
SPOKEN = re.compile(rb"SPEECH OUTPUT: '(.*?)' ?\{'established", re.DOTALL)


class Orca:
    """Orca on the session's bus and display, speaking only into its log."""

    def __init__(self, session):
        self.path = os.path.join(session.folder, "orca.log")
        home = os.path.join(session.folder, "orca-home")
        os.mkdir(home)
        env = dict(os.environ, DISPLAY=session.xvfb.display, HOME=home, XDG_CONFIG_HOME=home + "/config",
                   XDG_DATA_HOME=home + "/data", XDG_RUNTIME_DIR=home)
        self.process = subprocess.Popen(["orca", "--debug-file", self.path, "-d", "speech"], env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.lines, self.offset, self.heard = [], 0, 0

    def stop(self):
        self.process.terminate()
        self.process.wait()

    def spoken(self):
        """Every text Orca has spoken so far."""
        if os.path.exists(self.path):
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                chunk = f.read()
            # A text may run over several lines; one still being written waits.
            matches = list(SPOKEN.finditer(chunk))
            if matches:
                self.offset += matches[-1].end()
                self.lines += [m.group(1).decode("utf-8", "replace") for m in matches]
        return self.lines

    def since_mark(self):
        return " | ".join(self.spoken()[self.heard:])

    def mark(self):
        self.heard = len(self.spoken())

    def says(self, *words):
        """Waits until Orca has said every one of words since the last mark."""
        return wait_until(lambda: all(w.lower() in self.since_mark().lower() for w in words) and self.since_mark(),
                          "Orca to say %s (it said: %s)" % (words, self.since_mark()))


def press(s, orca, key, *words):
    orca.mark()
    s.key(key)
    return orca.says(*words)


def focused_objects(s):
    """The focused objects of the window; a focused list's caret row is the
    list's own (its active descendant), not a second focus."""
    s.dialog.clearCache()
    found = []

    def walk(accessible, in_focused_list):
        focused = accessible.getState().contains(pyatspi.STATE_FOCUSED)
        if focused and not (in_focused_list and accessible.getRole() == pyatspi.ROLE_LIST_ITEM):
            found.append("%s (%s)" % (accessible.name, accessible.getRoleName()))
        for child in accessible:
            if child is not None:
                walk(child, focused and accessible.getRole() == pyatspi.ROLE_LIST)
    walk(s.dialog, False)
    return found


def keyboard_alone_with_orca_listening(s):
    orca = s.orca
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Tunelark"], env=s.xdotool_env,
                            stdout=subprocess.PIPE, text=True).stdout.split()[0]
    s.xdotool("windowfocus", "--sync", window)
    orca.says("Stations")
    # Nothing is selected yet: the first key chooses the first station.
    press(s, orca, "Home", "Harness MP3")
    wait_until(lambda: s.selected_row("Stations") == "Harness MP3", "the first station chosen by Home")
    wait_until(lambda: "MP3" in s.text("Stream format"), "the station to play")

    for name, role in TAB_STOPS:
        said = press(s, orca, "Tab", name, role)
        focused = focused_objects(s)
        assert len(focused) == 1, "after Tab to %s, focused: %s" % (name, focused)
        print("  Tab: %s" % said)

    for _ in range(9):  # back to the checked preset
        s.key("Tab")
    for caption in PRESETS:  # Down goes through the group in template order, wrapping
        said = press(s, orca, "Down", caption)
        assert "not selected" not in said.lower(), said
        wait_until(lambda: s.checked(caption), caption + " chosen by the arrow key")
        wait_until(lambda: [s.value(n) for n in SLIDERS] == PRESETS[caption], caption + ": the sliders moved")
    press(s, orca, "Tab", "Rec", "not checked")
    press(s, orca, "space", "checked")
    wait_until(lambda: s.checked("Rec"), "Rec on by Space")
    said = press(s, orca, "space", "not checked")
    wait_until(lambda: not s.checked("Rec"), "Rec off by Space")

    s.key("shift+Tab")  # back to the checked preset, then to the sliders
    press(s, orca, "shift+Tab", "125 Hz", "slider")
    press(s, orca, "Down", "9")  # Instrumental left it at 8; Down raises it
    wait_until(lambda: s.value("125 Hz") == 9, "125 Hz moved by Down")

    for _ in range(4):
        s.key("shift+Tab")
    press(s, orca, "shift+Tab", "Info", "button")
    orca.mark()
    s.key("Return")
    box = wait_until(lambda: s.boxes(), "the Info box")[0]
    report = "".join(child.name for child in box)
    first_line = next(line.strip() for line in report.splitlines() if line.strip())
    orca.says(first_line)
    s.key("Return")
    wait_until(lambda: not s.boxes(), "the Info box closed by Return")
    s.xdotool("windowfocus", "--sync", window)  # a window manager's part: no one else gives it back
    press(s, orca, "shift+Tab", "Exit")
    press(s, orca, "shift+Tab", "Pause")
    press(s, orca, "space", "Play")
    wait_until(lambda: s.control("Play", pyatspi.ROLE_PUSH_BUTTON), "paused by Space")
    press(s, orca, "space", "Pause")

    # A minute of playing: new titles are told once each, the meters never.
    orca.mark()
    titles, deadline = [], time.monotonic() + 60
    while time.monotonic() < deadline:
        title = s.text("Song title")
        if title and (not titles or titles[-1] != title):
            titles.append(title)
        time.sleep(0.2)
    spoken = orca.spoken()[orca.heard:]
    assert not [line for line in spoken if "percent" in line.lower()], spoken
    told = [t for t in titles if any(t in line for line in spoken)]
    assert len(told) >= len(titles) - 2 and len(told) >= 3, "titles %s, Orca said %s" % (titles, spoken)
    for t in titles:
        assert sum(t in line for line in spoken) <= titles.count(t), "%r told more than once: %s" % (t, spoken)
    print("  titles told: %s" % told)

    press(s, orca, "Tab", "Exit")
    s.key("Return")
    assert s.exit_code() == 0


def main():
    program = sys.argv[1]
    port = icecast_port()
    stations = [("Harness MP3", "http://127.0.0.1:%d/test.mp3" % port),
                ("Harness Ogg", "http://127.0.0.1:%d/test.ogg" % port)]

    def session():
        s = PlayerSession(program, stations)
        s.orca = Orca(s)
        closing = s.close

        def close(failed):
            s.orca.stop()
            if failed and os.environ.get("TUNELARK_KEEP_ORCA_LOG"):
                subprocess.run(["cp", s.orca.path, os.environ["TUNELARK_KEEP_ORCA_LOG"]])
            if failed:
                sys.stderr.write("Orca said:\n  " + "\n  ".join(s.orca.spoken()[-60:]) + "\n")
            if failed and os.environ.get("TUNELARK_KEEP_ORCA_LOG"):
                subprocess.run(["cp", s.log.name, os.environ["TUNELARK_KEEP_ORCA_LOG"] + ".player"])
            closing(failed)
        s.close = close
        return s
    run([keyboard_alone_with_orca_listening], session)


if __name__ == "__main__":
    main()
