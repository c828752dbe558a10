"""Recording a chained Ogg station across songs, through the window: one
file per song, named after it, each playable from its first byte.

Usage: dbus-run-session -- /usr/bin/python3 recordings_e2e.py PROGRAM
"""

import json
import os
import subprocess
import sys
import tempfile

from player_session import SOURCE, PlayerSession, run, wait_until

TITLES = ["First Song", "Second Song", "Third Song"]


def chained_ogg(folder):
    """Three Vorbis songs of 4 s, one after another in one file."""
    chain = b""
    for number, title in enumerate(TITLES):
        wav, ogg = os.path.join(folder, "%d.wav" % number), os.path.join(folder, "%d.ogg" % number)
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "4", "sine", str(440 + 110 * number)],
                       check=True)
        subprocess.run(["oggenc", "-Q", "-s", str(number + 1), "-c", "title=" + title, "-o", ogg, wav], check=True)
        chain += open(ogg, "rb").read()
    path = os.path.join(folder, "chain.ogg")
    open(path, "wb").write(chain)
    return path, len(chain)


def start_server(path, size):
    server = subprocess.Popen([sys.executable, os.path.join(SOURCE, "tests/support/stream_server.py")],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    port = int(server.stdout.readline())
    route = {"cmd": "route", "path": "/chain.ogg", "headers": ["Content-Type: application/ogg", "icy-name: Chain FM"],
             "body": [{"file": path}], "rate": size // 10, "then": "stall"}
    server.stdin.write(json.dumps(route) + "\n")
    server.stdin.flush()
    assert json.loads(server.stdout.readline())["ok"]
    return server, "http://127.0.0.1:%d/chain.ogg" % port


def bos_pages(data):
    count, at = 0, data.find(b"OggS")
    while at >= 0:
        count += data[at + 5] & 2 != 0
        at = data.find(b"OggS", at + 4)
    return count


def one_playable_file_per_song(s):
    s.click(s.control("Stations")[0])
    wait_until(lambda: "OGG" in s.text("Stream format"), "the Ogg station to play")
    s.click("Rec")  # within the first song: its file starts with the song's headers
    wait_until(lambda: s.checked("Rec"), "the Rec check mark")
    wait_until(lambda: "02-Second Song.ogg" in s.records() and s.text("Song title") == TITLES[2],
               "the third song", timeout=120)
    s.listen(1.0)
    s.click("Rec")
    wait_until(lambda: not s.checked("Rec"), "the Rec check mark cleared")
    names = sorted(s.records())
    assert names == ["%02d-%s.ogg" % (n + 1, t) for n, t in enumerate(TITLES)], names
    for name in names:
        path = os.path.join(s.record, name)
        errors = subprocess.run(["ffprobe", "-v", "error", "-show_packets", path], stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True).stderr
        assert not errors, (name, errors)
        assert bos_pages(open(path, "rb").read()) == 1, name


def main():
    program = sys.argv[1]
    folder = tempfile.mkdtemp(prefix="tunelark-e2e-ogg.")
    server, url = start_server(*chained_ogg(folder))
    try:
        run([one_playable_file_per_song], lambda: PlayerSession(program, [("Chain FM", url)]))
    finally:
        server.stdin.close()
        server.wait()


if __name__ == "__main__":
    main()
