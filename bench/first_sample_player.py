#!/usr/bin/env python3
"""The whole player's time from a station change to its first sample out.

Each run starts the player in a folder of its own whose station list holds
one address, waits for its window, presses Down (which selects the station
and starts it, as a person would) and reads the player's real output: SDL's
disk driver writes every buffer the player renders, as it renders it, into a
named pipe read here. The time is from the key press sent to the first buffer
that holds a sample that is not silence. Needs DISPLAY (an X server) and
xdotool.

Usage: first_sample_player.py [--runs N] PROGRAM URL...
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

WINDOW_TIMEOUT = 30
SOUND_TIMEOUT = 10
SETTLE = 1.0  # the list takes the keyboard focus once the window is shown


class OutputWatch:
    """Reads the player's output pipe and notes when sound first comes."""

    def __init__(self, pipe):
        self.armed_at = None
        self.sound_at = None
        self.heard = threading.Event()
        self.thread = threading.Thread(target=self._read, args=(pipe,), daemon=True)
        self.thread.start()

    def arm(self):
        self.armed_at = time.monotonic()

    def _read(self, pipe):
        with open(pipe, "rb", buffering=0) as output:
            while True:
                block = output.read(1 << 16)
                if not block:
                    return
                if self.armed_at is None or self.sound_at is not None:
                    continue
                if block.count(0) != len(block):
                    self.sound_at = time.monotonic()
                    self.heard.set()


def run_once(program, url, folder):
    runtime = os.path.join(folder, "run")
    os.mkdir(runtime, 0o700)
    with open(os.path.join(folder, "stations1.txt"), "w") as stations:
        stations.write("Bench station, %s\n" % url)
    pipe = os.path.join(folder, "output.raw")
    os.mkfifo(pipe)
    watch = OutputWatch(pipe)
    env = dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=pipe, XDG_RUNTIME_DIR=runtime)
    with open(os.path.join(folder, "player.log"), "w") as log:
        player = subprocess.Popen([program], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                  stdout=log, stderr=log)
    try:
        subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(player.pid)],
                       stdout=subprocess.DEVNULL, timeout=WINDOW_TIMEOUT, check=True)
        time.sleep(SETTLE)
        subprocess.run(["xdotool", "key", "Down"], check=True)
        watch.arm()
        if not watch.heard.wait(SOUND_TIMEOUT):
            with open(os.path.join(folder, "player.log")) as log:
                raise RuntimeError("no sound from the player within %d s; it said:\n%s"
                                   % (SOUND_TIMEOUT, log.read()[-2000:]))
        return (watch.sound_at - watch.armed_at) * 1000
    finally:
        player.terminate()
        player.wait()
        watch.thread.join(5)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("program")
    parser.add_argument("urls", nargs="+")
    args = parser.parse_args()
    print("| stream | runs | first sample, median | first sample, max |")
    print("|---|---|---|---|")
    for url in args.urls:
        times = []
        for _ in range(args.runs):
            with tempfile.TemporaryDirectory(prefix="tunelark-first-sample.") as folder:
                times.append(run_once(os.path.abspath(args.program), url, folder))
        print("| %s | %d | %.1f ms | %.1f ms |" % (url, args.runs, statistics.median(times), max(times)),
              flush=True)


if __name__ == "__main__":
    try:
        main()
    except (RuntimeError, subprocess.SubprocessError) as error:
        print("first_sample_player: %s" % error, file=sys.stderr)
        sys.exit(1)
