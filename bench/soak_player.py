"""Long runs of the whole player, driven as a person drives it.

Soak (default): many station changes among four local stations, chosen by
keys and clicks on the station list with random gaps, "Rec" clicked at random;
then the checks below. One station (--hour): one station for a long time,
its resident memory read every few minutes.

The four stations, served by tests/support/stream_server.py on loopback:
  Alpha    MP3 (128 kbps, 44.1 kHz) with a new ICY title every second
  Bravo    chained Ogg Vorbis: a new link, with its own comments, every song
  Charlie  MP3 (96 kbps, 48 kHz) whose server drops the connection mid-stream
           (the player connects again by itself while it stays on it)
  Delta    refused: 404 (the player's error box, closed with Return)
Each station's audio bytes are a file looped (Charlie: a file's head), and
the four files share no frame layout, so a record file can be told apart as a
contiguous piece of exactly one station's bytes. The recorder writes the
received audio bytes with the ICY metadata taken out, unchanged, so that is
what is matched.

The player runs from a private copy in a temporary folder (its record folder
is beside the program), with a private HOME, TMPDIR and runtime folder, under
a private Xvfb, with SDL's dummy output. Before the run the positions of the
list rows and of "Rec" are read once through AT-SPI from a first, short-lived
player with accessibility on; the measured player runs without it, as most
people's does.

Checks at the end of a soak (exit status 1 if one fails):
  - the player is alive;
  - back on the warm-up's station with Rec off, resident memory (VmRSS) is
    within 10 % of the level after warm-up, and open descriptors and threads
    are back at their warm-up counts;
  - every record file is a contiguous piece of one station's audio bytes and
    of no other's;
  - nothing was written in the player's folders (program, home, temporary)
    outside its record folder.

Usage (under dbus-run-session, with Debian's python3 for pyatspi):
  soak_player.py PROGRAM [--changes N] [--seed S]
  soak_player.py PROGRAM --hour [--minutes M] [--every MIN]
"""

import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
# The end-to-end tests' private X server and polling wait.
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from player_session import Xvfb, program_folder, wait_until  # noqa: E402
SERVER = os.path.join(SOURCE, "tests", "support", "stream_server.py")
BOX_NAME = "BASS Error!"
STATIONS = ["Alpha", "Bravo", "Charlie", "Delta"]


def say(text):
    print(text, flush=True)


def run(*args, **kwargs):
    return subprocess.run([str(a) for a in args], check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True, **kwargs).stdout


# ---- the stations' audio ----

def make_media(folder):
    """Encodes the stations' files; returns {station: bytes}."""
    def sox(name, rate, seconds, *synth):
        path = os.path.join(folder, name + ".wav")
        run("sox", "-n", "-r", rate, "-c", 2, "-b", 16, path, "synth", seconds, *synth)
        return path

    media = {}
    wav = sox("alpha", 44100, 10, "sine", 440, "sine", 554)
    run("lame", "--quiet", "-t", "-b", 128, wav, os.path.join(folder, "alpha.mp3"))
    wav = sox("charlie", 48000, 2, "sine", 660, "square", 330)
    run("lame", "--quiet", "-t", "-b", 96, wav, os.path.join(folder, "charlie.mp3"))
    links = []
    for song in range(6):  # a chain of six songs, each a link of its own with its own serial
        wav = sox("bravo%d" % song, 44100, 1.5, "sine", 300 + 70 * song)
        link = os.path.join(folder, "bravo%d.ogg" % song)
        run("oggenc", "--quiet", "-q", 1, "-s", 1000 + song, "-c", "TITLE=Bravo - Song %d" % song,
            "-o", link, wav)
        links.append(link)
    with open(os.path.join(folder, "bravo.ogg"), "wb") as out:
        for link in links:
            with open(link, "rb") as f:
                out.write(f.read())
    for name in ("alpha.mp3", "bravo.ogg", "charlie.mp3"):
        with open(os.path.join(folder, name), "rb") as f:
            media[name.split(".")[0].capitalize()] = f.read()
    return media


class StreamServer:
    def __init__(self, log):
        self.process = subprocess.Popen([sys.executable, SERVER], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=log, text=True)
        self.port = int(self.process.stdout.readline())
        self.base = "http://127.0.0.1:%d" % self.port

    def command(self, **command):
        self.process.stdin.write(json.dumps(command) + "\n")
        self.process.stdin.flush()
        reply = json.loads(self.process.stdout.readline())
        assert reply.get("ok"), reply
        return reply

    def stop(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            self.process.terminate()
            self.process.wait()


def titles(prefix, count):
    return ["%s - Song %d" % (prefix, i) for i in range(count)]


def serve_stations(server, folder, media, title_seconds=1.0):
    """Routes for the four stations; returns {station: url} and {station: the
    bytes one connection's audio can hold, looped as the server sends it}."""
    alpha_rate = 16000  # 128 kbps
    metaint = 8000
    server.command(cmd="route", path="/alpha.mp3", status="HTTP/1.0 200 OK", loop=True,
                   rate=alpha_rate + 40, metaint=metaint,
                   headers=["Content-Type: audio/mpeg", "icy-name: Alpha", "icy-metaint: %d" % metaint],
                   titles={"every": max(1, round(title_seconds * alpha_rate / metaint)),
                           "list": titles("Alpha", 4000)},
                   body=[{"file": os.path.join(folder, "alpha.mp3")}])
    bravo_seconds = 6 * 1.5
    server.command(cmd="route", path="/bravo.ogg", status="HTTP/1.0 200 OK", loop=True,
                   rate=int(len(media["Bravo"]) / bravo_seconds * 1.02) + 1,
                   headers=["Content-Type: application/ogg", "icy-name: Bravo"],
                   body=[{"file": os.path.join(folder, "bravo.ogg")}])
    # Two seconds of sound sent at four times its pace, then the connection is
    # dropped: every visit longer than half a second sees it end mid-stream.
    server.command(cmd="route", path="/charlie.mp3", status="HTTP/1.0 200 OK", rate=4 * 12000,
                   metaint=4000, titles={"every": 1000, "list": ["Charlie - Live"]},
                   headers=["Content-Type: audio/mpeg", "icy-name: Charlie", "icy-metaint: 4000"],
                   body=[{"file": os.path.join(folder, "charlie.mp3")}, {"close": True}])
    server.command(cmd="route", path="/delta.mp3", status="HTTP/1.0 404 Not Found",
                   headers=["Content-Type: text/plain"], body=[{"text": "no such station\n"}])
    urls = {"Alpha": server.base + "/alpha.mp3", "Bravo": server.base + "/bravo.ogg",
            "Charlie": server.base + "/charlie.mp3", "Delta": server.base + "/delta.mp3"}
    return urls


def piece_of(record, stream, looped):
    """Whether record is a contiguous piece of the stream's bytes (of the
    stream looped without end when looped)."""
    if not record:
        return True
    if looped:
        haystack = stream * (len(record) // len(stream) + 2)
    else:
        haystack = stream
    return haystack.find(record) >= 0


# ---- the player ----

class Player:
    """The player from a copy of its own in folder/app, HOME folder/home,
    TMPDIR folder/tmp."""

    def __init__(self, program, folder, display, stations, accessible=False):
        self.folder = folder
        self.app = os.path.join(folder, "app")
        self.home = os.path.join(folder, "home")
        self.tmp = os.path.join(folder, "tmp")
        runtime = os.path.join(folder, "run")
        for path in (self.app, self.home, self.tmp):
            os.makedirs(path, exist_ok=True)
        os.makedirs(runtime, 0o700, exist_ok=True)
        self.program = program_folder(program, self.app, stations)
        self.record = os.path.join(self.app, "record")
        env = {k: v for k, v in os.environ.items()
               if k not in ("QT_QPA_PLATFORM", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON")}
        env.update(DISPLAY=display, HOME=self.home, TMPDIR=self.tmp, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"), SDL_AUDIODRIVER="dummy")
        if accessible:
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env_x = dict(os.environ, DISPLAY=display)
        self.log = open(os.path.join(folder, "player.log"), "w")
        self.process = subprocess.Popen([self.program], cwd=self.app, env=env, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=self.log)
        self.pid = self.process.pid
        self.window = int(wait_until(lambda: self.xdotool("search", "--onlyvisible", "--pid", self.pid).split()[0],
                                     "the player's window"))

    def xdotool(self, *args):
        return run("xdotool", *args, env=self.env_x)

    def geometry(self):
        out = self.xdotool("getwindowgeometry", "--shell", self.window)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"])

    def box_open(self):
        try:
            return bool(self.xdotool("search", "--onlyvisible", "--name", BOX_NAME).split())
        except subprocess.CalledProcessError:  # none found
            return False

    def alive(self):
        return self.process.poll() is None

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()

    # ---- /proc readings ----

    def status(self, field):
        with open("/proc/%d/status" % self.pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
        return 0

    def rss_kib(self):
        return self.status("VmRSS")

    def threads(self):
        return self.status("Threads")

    def fds(self):
        return len(os.listdir("/proc/%d/fd" % self.pid))

    def reading(self):
        return {"rss": self.rss_kib(), "fds": self.fds(), "threads": self.threads()}

    def thread_names(self):
        names = {}
        for task in os.listdir("/proc/%d/task" % self.pid):
            try:
                with open("/proc/%d/task/%s/comm" % (self.pid, task)) as f:
                    name = f.read().strip()
            except OSError:
                continue
            names[name] = names.get(name, 0) + 1
        return ", ".join("%s %d" % item if item[1] > 1 else item[0] for item in sorted(names.items()))

    def fd_targets(self):
        targets = {}
        for fd in os.listdir("/proc/%d/fd" % self.pid):
            try:
                target = os.readlink("/proc/%d/fd/%s" % (self.pid, fd))
            except OSError:
                continue
            target = target.split(":[")[0] if ":[" in target else target
            targets[target] = targets.get(target, 0) + 1
        return ", ".join("%s %d" % item if item[1] > 1 else item[0] for item in sorted(targets.items()))

    def memory_parts(self):
        """Resident KiB by kind of mapping, from smaps: the main heap, the
        malloc arenas of other threads (64 MiB-aligned anonymous heaps),
        thread stacks (8 MiB anonymous), other anonymous memory, files."""
        parts = {"heap": 0, "arenas": 0, "stacks": 0, "anon": 0, "files": 0}
        arena_count = 0
        with open("/proc/%d/smaps" % self.pid) as f:
            kind = None
            for line in f:
                fields = line.split()
                if "-" in fields[0] and not fields[0].endswith(":"):
                    start, end = (int(x, 16) for x in fields[0].split("-"))
                    path = fields[5] if len(fields) > 5 else ""
                    if path == "[heap]":
                        kind = "heap"
                    elif path.startswith("/"):
                        kind = "files"
                    elif path:
                        kind = "anon"
                    elif start % (64 << 20) == 0:
                        kind = "arenas"
                        arena_count += 1
                    elif end - start == 8 << 20:
                        kind = "stacks"
                    else:
                        kind = "anon"
                elif fields[0] == "Rss:":
                    parts[kind] += int(fields[1])
        return "heap %d, %d arenas %d, stacks %d, other anonymous %d, files %d (KiB resident)" % (
            parts["heap"], arena_count, parts["arenas"], parts["stacks"], parts["anon"], parts["files"])


def calibrate(program, folder, display, stations):
    """Where the rows of the station list and the Rec box are, relative to the
    window, read through AT-SPI from a player with accessibility on."""
    import pyatspi

    player = Player(program, folder, display, stations, accessible=True)
    try:
        def dialog():
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.get_process_id() == player.pid:
                    for child in app:
                        if child is not None and child.getRole() == pyatspi.ROLE_DIALOG and child.childCount:
                            return child
            return None

        window = wait_until(dialog, "the calibration player in the accessibility tree")

        def control(name):
            window.clearCache()
            for child in window:
                if name in (child.name, child.description):
                    return child
            raise LookupError(name)

        def centre(accessible):
            e = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            return e.x + e.width // 2, e.y + e.height // 2

        wx, wy = player.geometry()
        rows = wait_until(lambda: [centre(row) for row in control("Stations")] or None, "the station rows")
        assert len(rows) == len(stations), rows
        rec = centre(control("Rec"))
        return {"rows": [(x - wx, y - wy) for x, y in rows], "rec": (rec[0] - wx, rec[1] - wy)}
    finally:
        player.stop()


def listing(folders, skip):
    """{path: (size, mtime)} of every file and folder under the folders, but
    for those under skip."""
    found = {}
    for top in folders:
        for root, dirs, files in os.walk(top):
            if root == skip or root.startswith(skip + os.sep):
                dirs[:] = []
                continue
            for name in dirs + files:
                path = os.path.join(root, name)
                if path == skip:
                    continue
                st = os.lstat(path)
                found[path] = (st.st_size if not os.path.isdir(path) else 0, st.st_mtime_ns)
    return found


class Hand:
    """A person at the window: keys and clicks, and closing the error box."""

    def __init__(self, player, places, rng):
        self.player = player
        self.places = places
        self.rng = rng
        self.row = None           # the station list's selected row, as far as we know
        self.list_focused = False  # whether keys go to the station list
        self.rec_clicks = 0
        self.boxes_closed = 0
        self.stubborn_boxes = 0   # boxes that needed the focus given to them
        self.by_key = 0
        self.by_click = 0

    def click(self, x, y):
        self.player.xdotool("mousemove", "--window", self.player.window, x, y, "click", 1)

    def close_box(self):
        """Closes the error box if one is open: Return, as a person does. A key
        pressed in the moment the box is shown may reach the window beneath,
        before the box has the focus; then the box is focused and Return
        pressed again."""
        if not self.player.box_open():
            return False
        deadline = time.monotonic() + 30
        while True:
            self.player.xdotool("key", "Return")
            try:
                wait_until(lambda: not self.player.box_open(), "the error box to close", 1)
                break
            except AssertionError:
                if time.monotonic() > deadline:
                    raise
            try:
                box = self.player.xdotool("search", "--onlyvisible", "--name", BOX_NAME).split()[0]
                self.player.xdotool("windowfocus", "--sync", box)
                self.stubborn_boxes += 1
            except (subprocess.CalledProcessError, IndexError):
                pass  # closed meanwhile
        self.boxes_closed += 1
        self.list_focused = False  # the focus goes back where Qt decides
        return True

    def choose(self, row):
        """Selects row by a key when one key does it and keys reach the list,
        otherwise by a click on the row."""
        keys = {}
        if self.list_focused and self.row is not None:
            keys = {0: "Home", len(self.places["rows"]) - 1: "End"}
            if self.row > 0:
                keys.setdefault(self.row - 1, "Up")
            if self.row < len(self.places["rows"]) - 1:
                keys.setdefault(self.row + 1, "Down")
        if row in keys and self.rng.random() < 0.5:
            self.player.xdotool("key", keys[row])
            self.by_key += 1
        else:
            self.click(*self.places["rows"][row])
            self.by_click += 1
        self.row = row
        self.list_focused = True

    def toggle_rec(self):
        self.click(*self.places["rec"])
        self.rec_clicks += 1
        self.list_focused = False  # the check box took the focus


# ---- the runs ----

def report_details(player):
    say("    threads: " + player.thread_names())
    say("    descriptors: " + player.fd_targets())
    say("    memory: " + player.memory_parts())


def report_reading(label, r, base=None):
    text = "%-28s VmRSS %7.1f MiB  fds %3d  threads %3d" % (label, r["rss"] / 1024, r["fds"], r["threads"])
    if base:
        text += "  (%+.1f %% of the baseline)" % (100.0 * (r["rss"] - base["rss"]) / base["rss"])
    say(text)


def settle(player, hand, row, seconds):
    """Back on row, no box open, then seconds of playing, and Qt's thread
    pool idle: its threads (and their descriptors) end 30 s after their last
    task, so counts read while they live are not comparable."""
    hand.close_box()
    if hand.row != row:
        hand.choose(row)
    time.sleep(1.0)
    hand.close_box()
    time.sleep(seconds)
    wait_until(lambda: "Thread (pooled)" not in player.thread_names(), "Qt's pooled threads to end", 60)


def rec_is_on(player):
    """Rec's mark, as the record folder tells it while a station plays: a file
    grows or a new one comes."""
    before = listing([player.record], "/nonexistent")
    time.sleep(1.5)
    return listing([player.record], "/nonexistent") != before


def soak(args, folder, media, urls, places, display):
    rng = random.Random(args.seed)
    stations = [(name, urls[name]) for name in STATIONS]
    player = Player(args.program, os.path.join(folder, "soak"), display, stations)
    hand = Hand(player, places, rng)
    failures = []
    try:
        time.sleep(1.0)  # the list takes the focus once the window is shown
        # Warm-up: every station once, Rec on and off, so that every decoder,
        # the error box and the record folder have been used before the
        # baseline; then back on Alpha.
        for row in (0, 1, 2, 3, 0):
            hand.choose(row)
            time.sleep(1.5)
            hand.close_box()
        hand.toggle_rec()
        time.sleep(1.5)
        hand.toggle_rec()
        settle(player, hand, 0, 5.0)
        base = player.reading()
        before = listing([player.app, player.home, player.tmp], player.record)
        say("baseline after warm-up (every station once, Rec on and off, then 5 s on Alpha):")
        report_reading("  baseline", base)
        report_details(player)
        hand.by_key = hand.by_click = hand.rec_clicks = hand.boxes_closed = 0

        started = time.monotonic()
        readings = []
        rec_on = False
        for change in range(1, args.changes + 1):
            hand.close_box()
            if not player.alive():
                break
            if rng.random() < 0.3:
                hand.toggle_rec()
                rec_on = not rec_on
                time.sleep(rng.uniform(0.05, 0.3))
            row = rng.choice([r for r in range(len(STATIONS)) if r != hand.row])
            hand.choose(row)
            time.sleep(rng.uniform(0.05, 0.6))
            if change % 100 == 0 and player.alive():
                r = player.reading()
                readings.append((change, r))
                report_reading("  after %d changes" % change, r, base)
                if args.details:
                    report_details(player)
        elapsed = time.monotonic() - started

        alive = player.alive()
        say("")
        say("%d changes in %.0f s (%d by key, %d by click), Rec clicked %d times, %d error boxes closed"
            " (%d focused first)" % (args.changes, elapsed, hand.by_key, hand.by_click, hand.rec_clicks,
                                     hand.boxes_closed, hand.stubborn_boxes))
        if not alive:
            failures.append("the player died (exit status %s)" % player.process.poll())
        else:
            # Rec off: the mark is unknown after the station changes switched
            # it off by themselves; a growing file says it is on.
            settle(player, hand, 0, 1.0)
            if rec_is_on(player):
                hand.toggle_rec()
            settle(player, hand, 0, 5.0)
            end = player.reading()
            report_reading("  at the end, on Alpha", end, base)
            report_details(player)
            if end["rss"] > base["rss"] * 1.10:
                failures.append("resident memory grew %.1f %% (baseline %d KiB, end %d KiB)"
                                % (100.0 * (end["rss"] - base["rss"]) / base["rss"], base["rss"], end["rss"]))
            for key in ("fds", "threads"):
                if end[key] != base[key]:
                    failures.append("%s: %d at the baseline, %d at the end" % (key, base[key], end[key]))
        after = listing([player.app, player.home, player.tmp], player.record)
        outside = sorted(p for p in after if p not in before or after[p] != before[p])
        gone = sorted(p for p in before if p not in after)
        say("files outside the record folder written during the run: %d, removed: %d" % (len(outside), len(gone)))
        for path in outside + gone:
            say("  " + path)
        if outside or gone:
            failures.append("files changed outside the record folder")
        failures += check_records(player, media)
    finally:
        player.stop()
    return failures


def check_records(player, media):
    looped = {"Alpha": True, "Bravo": True, "Charlie": False}
    failures = []
    names = sorted(os.listdir(player.record)) if os.path.isdir(player.record) else []
    counts = {name: 0 for name in looped}
    total = 0
    short = 0
    misnamed = 0
    empty = 0
    for name in names:
        with open(os.path.join(player.record, name), "rb") as f:
            data = f.read()
        total += len(data)
        if not data:
            empty += 1
            continue
        owners = [station for station in looped if piece_of(data, media[station], looped[station])]
        if len(owners) == 1:
            counts[owners[0]] += 1
            named = name.split("-", 1)[1].rsplit(".", 1)[0] if "-" in name else None
            if named and named != owners[0]:
                misnamed += 1
        elif len(owners) > 1 and len(data) < 64:
            short += 1  # a few bytes that several stations send alike
        else:
            failures.append("record %s (%d bytes) is a piece of %s" % (name, len(data), owners or "no station"))
    say("record files: %d (%.1f MiB): %s; %d empty; %d too short to tell apart; "
        "%d named after another station's title"
        % (len(names), total / 1048576.0, ", ".join("%d of %s" % (counts[s], s) for s in counts),
           empty, short, misnamed))
    for failure in failures[:20]:
        say("  " + failure)
    if not names:
        failures.append("no record file was written")
    return failures


def one_station(args, folder, urls, display):
    player = Player(args.program, os.path.join(folder, "hour"), display, [("Alpha", urls["Alpha"])])
    failures = []
    try:
        time.sleep(1.0)
        player.xdotool("key", "Down")
        started = time.monotonic()
        time.sleep(60)
        base = player.reading()
        say("one station (Alpha, a new ICY title every 2 s) for %d minutes; baseline after 1 minute:" % args.minutes)
        report_reading("  1 min", base)
        peak = base["rss"]
        minute = 1
        while minute < args.minutes:
            minute = min(args.minutes, minute + args.every)
            time.sleep(max(0.0, started + 60 * minute - time.monotonic()))
            if not player.alive():
                failures.append("the player died after about %d minutes" % minute)
                break
            r = player.reading()
            peak = max(peak, r["rss"])
            report_reading("  %d min" % minute, r, base)
        if player.alive():
            end = player.reading()
            if end["rss"] > base["rss"] * 1.10 or peak > base["rss"] * 1.10:
                failures.append("resident memory not flat: baseline %d KiB, peak %d KiB, end %d KiB"
                                % (base["rss"], peak, end["rss"]))
            for key in ("fds", "threads"):
                if end[key] != base[key]:
                    failures.append("%s: %d after 1 minute, %d at the end" % (key, base[key], end[key]))
    finally:
        player.stop()
    return failures


def stop_on_signal(number, frame):
    raise SystemExit(128 + number)  # runs the clean-up of every finally block


def main():
    for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(number, stop_on_signal)
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--changes", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--hour", action="store_true", help="one station instead of the soak")
    parser.add_argument("--minutes", type=int, default=60)
    parser.add_argument("--every", type=int, default=5, help="minutes between readings (--hour)")
    parser.add_argument("--details", action="store_true", help="threads and memory parts at every reading")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)

    folder = tempfile.mkdtemp(prefix="tunelark-soak.")
    server_log = open(os.path.join(folder, "server.log"), "w")
    server = xvfb = None
    failures = []
    try:
        media = make_media(folder)
        server = StreamServer(server_log)
        urls = serve_stations(server, folder, media, title_seconds=2.0 if args.hour else 1.0)
        xvfb = Xvfb()
        os.environ["DISPLAY"] = xvfb.display  # for AT-SPI's look at the calibration player
        if args.hour:
            failures = one_station(args, folder, urls, xvfb.display)
        else:
            places = calibrate(args.program, os.path.join(folder, "calibration"), xvfb.display,
                               [(name, urls[name]) for name in STATIONS])
            failures = soak(args, folder, media, urls, places, xvfb.display)
    except Exception as error:  # a setup step failed: say so, exit 2
        say("soak: %s: %s" % (type(error).__name__, error))
        failures = None
    finally:
        if server:
            server.stop()
        if xvfb:
            xvfb.stop()
        server_log.close()
        if args.keep:
            say("work folder kept: " + folder)
        else:
            shutil.rmtree(folder, ignore_errors=True)
    if failures is None:
        sys.exit(2)
    say("")
    for failure in failures:
        say("FAIL " + failure)
    say("FAIL" if failures else "ok: every check passed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
