"""Recording a chained Ogg station across songs, through the window: one
file per song, named after it, each playable from its first byte
(dbus-run-session -- /usr/bin/python3 recordings_e2e.py PROGRAM)."""

import json
import os
import subprocess
import sys
import tempfile

from player_session import SOURCE, PlayerSession, run, wait_until

TITLES = ["First Song", "Second Song", "Third Song"]


def start_server(folder):
    """A station sending three Vorbis songs of 4 s, chained, over 10 s."""
    chain = b""
    for number, title in enumerate(TITLES):
        wav, ogg = os.path.join(folder, "%d.wav" % number), os.path.join(folder, "%d.ogg" % number)
        subprocess.run(["sox", "-n", "-b", "16", wav, "synth", "4", "sine", str(440 + 110 * number)], check=True)
        subprocess.run(["oggenc", "-Q", "-s", str(number + 1), "-c", "title=" + title, "-o", ogg, wav], check=True)
        chain += open(ogg, "rb").read()
    open(os.path.join(folder, "chain.ogg"), "wb").write(chain)
    server = subprocess.Popen([sys.executable, os.path.join(SOURCE, "tests/support/stream_server.py")],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    port = int(server.stdout.readline())
    route = {"cmd": "route", "path": "/chain.ogg", "headers": ["Content-Type: application/ogg", "icy-name: Chain FM"],
             "body": [{"file": os.path.join(folder, "chain.ogg")}], "rate": len(chain) // 10, "then": "stall"}
    server.stdin.write(json.dumps(route) + "\n")
    server.stdin.flush()
    assert json.loads(server.stdout.readline())["ok"]
    return server, "http://127.0.0.1:%d/chain.ogg" % port


def one_playable_file_per_song(s):
    s.click(s.control("Stations")[0])
    wait_until(lambda: "OGG" in s.text("Stream format"), "the Ogg station to play")
    s.click("Rec")  # within the first song: its file starts with the song's headers
    wait_until(lambda: s.checked("Rec"), "the Rec check mark")
    wait_until(lambda: "02-Second Song.ogg" in s.records() and s.text("Song title") == TITLES[2],
               "the third song", timeout=120)
    s.listen(1.0)
    s.click("Rec")  # the last song's file is named once it is closed
    wait_until(lambda: not s.checked("Rec") and "r.tmp" not in s.records(), "the Rec check mark cleared")
    names = sorted(s.records())
    assert names == ["%02d-%s.ogg" % (n + 1, t) for n, t in enumerate(TITLES)], names
    for name in names:
        path = os.path.join(s.record, name)
        errors = subprocess.run(["ffprobe", "-v", "error", "-show_packets", path], stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True).stderr
        assert not errors, (name, errors)
        data = open(path, "rb").read()  # one song: one first page (BOS flag), at the start
        assert data.startswith(b"OggS") and data[5] & 2 and data.count(b"OggS\0\2") == 1, name


def main():
    program = sys.argv[1]
    folder = tempfile.mkdtemp(prefix="tunelark-e2e-ogg.")
    server, url = start_server(folder)
    try:
        run([one_playable_file_per_song], lambda: PlayerSession(program, [("Chain FM", url)]))
    finally:
        server.stdin.close()
        server.wait()


if __name__ == "__main__":
    main()
