"""One run of the built player for end-to-end tests, used as a person uses it.

The player runs from a private copy in a temporary folder, so its record
folder (beside the program) and its station list are its own; in a private
Xvfb, on the session bus of the caller (run the test under dbus-run-session),
with a private XDG_RUNTIME_DIR, and SDL's disk driver writing what it plays
into a file. Input goes through the XTEST extension (xdotool); the window is
read through AT-SPI (pyatspi, Debian's python3).

Every wait polls for the state it needs, with generous time-outs: the tests
must pass on a slow, loaded machine.
"""

import array
import ctypes
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import traceback

import pyatspi

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
TIMEOUT = 60
RATE, CHANNELS = 44100, 2  # what the engine opens SDL's device with (32-bit float)


def wait_until(check, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = check()
        except Exception:  # an accessible may vanish or not exist yet
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def icecast_port():
    """The harness's server (tools/test.sh starts one), or one of our own."""
    if os.environ.get("ICECAST_PORT"):
        return int(os.environ["ICECAST_PORT"])
    folder = tempfile.mkdtemp(prefix="tunelark-e2e-icecast.")
    out = subprocess.run(["bash", os.path.join(SOURCE, "tests/support/icecast/start.sh"),
                          "--owner", str(os.getpid()), folder],
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    return int(out.split("ICECAST_PORT=")[1].split()[0])


class Xvfb:
    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:  # the server picks a free display and says which
            self.display = ":" + pipe.readline().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait()


def close_window(display, window):
    """What a window manager sends when the close box is clicked: WM_DELETE_WINDOW."""
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

    dpy = x.XOpenDisplay(display.encode())
    event = ClientMessage(type=33, window=window, format=32,  # 33: ClientMessage
                          message_type=x.XInternAtom(dpy, b"WM_PROTOCOLS", 0))
    event.data[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    x.XFlush(dpy)
    x.XCloseDisplay(dpy)


def program_folder(program, folder, stations):
    """Puts a copy of the program, its plug-ins and the HLS plug-in's media
    module (linked) and a stations1.txt of (name, url) pairs into folder, so
    that its record folder is the folder's own; returns the copy's path."""
    copy = os.path.join(folder, "tunelark")
    shutil.copy2(program, copy)
    here = os.path.dirname(program)
    for plugin in glob.glob(os.path.join(here, "bass*.so")) + glob.glob(os.path.join(here, "tunelark-*.so")):
        os.symlink(plugin, os.path.join(folder, os.path.basename(plugin)))
    with open(os.path.join(folder, "stations1.txt"), "w") as f:
        f.writelines("%s, %s\n" % station for station in stations)
    return copy


class PlayerSession:
    """stations: (name, url) pairs for stations1.txt."""

    def __init__(self, program, stations):
        self.folder = tempfile.mkdtemp(prefix="tunelark-e2e.")
        self.program = program_folder(program, self.folder, stations)
        self.output = os.path.join(self.folder, "output.f32")
        self.record = os.path.join(self.folder, "record")
        self.xvfb = Xvfb()
        runtime = os.path.join(self.folder, "run")
        os.mkdir(runtime, 0o700)
        env = {k: v for k, v in os.environ.items() if k != "QT_QPA_PLATFORM"}
        env.update(DISPLAY=self.xvfb.display, XDG_RUNTIME_DIR=runtime, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=self.output)
        self.log = open(os.path.join(self.folder, "player.log"), "w")
        self.player = subprocess.Popen([self.program], cwd=self.folder, env=env, stdin=subprocess.DEVNULL,
                                       stdout=self.log, stderr=self.log)
        self.xdotool_env = dict(os.environ, DISPLAY=self.xvfb.display)
        try:
            self.dialog = wait_until(self._find_dialog, "the player's window in the accessibility tree")
        except AssertionError:
            self.close(True)
            raise

    def close(self, failed):
        if self.player.poll() is None:
            self.player.kill()
            self.player.wait()
        self.xvfb.stop()
        self.log.close()
        if failed:
            with open(self.log.name) as log:
                sys.stderr.write("the player said:\n" + log.read()[-3000:])
        shutil.rmtree(self.folder, ignore_errors=True)

    # ---- the window, read through AT-SPI ----

    def _find_dialog(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == self.player.pid:
                for child in app:
                    if child is not None and child.getRole() == pyatspi.ROLE_DIALOG and child.childCount:
                        return child
        return None

    def boxes(self):
        """The player's message boxes on screen."""
        self.dialog.clearCache()
        return [w for w in self.dialog.getApplication() if w is not None and w != self.dialog
                and w.getState().contains(pyatspi.STATE_SHOWING)]

    def control(self, name, role=None):
        """A control by its accessible name (a static text: by its description)."""
        self.dialog.clearCache()
        for child in self.dialog:
            if name in (child.name, child.description) and (role is None or child.getRole() == role):
                return child
        raise LookupError("no control named %r" % name)

    def text(self, name):
        return self.control(name).name

    def value(self, name):
        return round(self.control(name).queryValue().currentValue)

    def set_value(self, name, value):
        self.control(name).queryValue().currentValue = value

    def checked(self, name):
        return self.control(name).getState().contains(pyatspi.STATE_CHECKED)

    def rows(self, name):
        return [row.name.strip() for row in self.control(name)]

    def selected_row(self, name):
        rows = [row for row in self.control(name) if row.getState().contains(pyatspi.STATE_SELECTED)]
        return rows[0].name.strip() if rows else None

    # ---- input, as a person gives it ----

    def extents(self, accessible):
        e = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.xdotool_env, check=True)

    def point(self, accessible, fx=0.5, fy=0.5):
        x, y, w, h = self.extents(accessible)
        return int(x + fx * w), int(y + fy * h)

    def click(self, name_or_accessible):
        target = self.control(name_or_accessible) if isinstance(name_or_accessible, str) else name_or_accessible
        self.xdotool("mousemove", *self.point(target), "click", 1)

    def drag(self, name, start, end, steps=8):
        """Presses at start, moves to end in steps, releases; (fx, fy) within the control."""
        control = self.control(name)
        (x0, y0), (x1, y1) = self.point(control, *start), self.point(control, *end)
        self.xdotool("mousemove", x0, y0, "mousedown", 1)
        for i in range(1, steps + 1):
            self.xdotool("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(0.02)  # paces the motion as a hand does; nothing waits on it
        self.xdotool("mouseup", 1)

    def key(self, *keys):
        self.xdotool("key", *keys)

    def close_box(self):
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.player.pid)],
                                env=self.xdotool_env, stdout=subprocess.PIPE, text=True).stdout.split()[0]
        close_window(self.xvfb.display, int(window))

    def exit_code(self):
        deadline = time.monotonic() + TIMEOUT
        while self.player.poll() is None and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.player.poll()

    # ---- the sound, from SDL's disk output ----

    def _frames(self):
        return os.path.getsize(self.output) // (4 * CHANNELS) if os.path.exists(self.output) else 0

    def listen(self, seconds):
        """The next `seconds` of output as interleaved float samples."""
        start = self._frames()
        end = start + int(seconds * RATE)
        wait_until(lambda: self._frames() >= end, "%.1f s more of output" % seconds)
        samples = array.array("f")
        with open(self.output, "rb") as f:
            f.seek(start * 4 * CHANNELS)
            samples.frombytes(f.read((end - start) * 4 * CHANNELS))
        return samples

    def level(self, seconds=1.0):
        """Median RMS of 20 ms blocks that hold sound (a late buffer of a loaded
        machine is silence, not the stream's level); 0 for silence."""
        samples = self.listen(seconds)
        block = RATE * CHANNELS // 50
        levels = [(sum(s * s for s in samples[i:i + block]) / block) ** 0.5
                  for i in range(0, len(samples) - block + 1, block)]
        loud = [v for v in levels if v > 1e-4]
        return statistics.median(loud) if len(loud) > len(levels) // 2 else 0.0

    def wait_level(self, check, what):
        """Waits for a level (of 0.5 s) that check() accepts; returns it."""
        levels = []
        wait_until(lambda: check(levels.append(self.level(0.5)) or levels[-1]), what)
        return levels[-1]

    # ---- the record folder ----

    def records(self):
        """{file name: size} of the record folder."""
        if not os.path.isdir(self.record):
            return {}
        return {n: os.path.getsize(os.path.join(self.record, n)) for n in os.listdir(self.record)}


def run(checks, make_session):
    """Runs each check(session) in order, in one session made by make_session()
    and a new one after a check that ended the player; exits 1 if any failed."""
    failed = []
    session = None
    for check in checks:
        session = session or make_session()
        try:
            check(session)
            print("ok   " + check.__name__, flush=True)
        except Exception:
            failed.append(check.__name__)
            print("FAIL " + check.__name__ + "\n" + traceback.format_exc(), flush=True)
        if session.player.poll() is not None:
            session.close(bool(failed))
            session = None
    if session:
        session.close(bool(failed))
    sys.exit(1 if failed else 0)
