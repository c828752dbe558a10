#!/usr/bin/env python3
"""Tunelark demo station: a small internet-radio server on this computer.

It plays the invented songs of tools/demo_audio/ one after another, forever,
as an MP3 stream at http://127.0.0.1:8765/ (or /demo.mp3), paced in real
time like a real station: every listener hears the same moment, a new
listener first gets a short burst of the last two seconds. A listener that
sends "Icy-MetaData: 1" gets the song titles ("Artist - Song") as ICY
metadata every 16000 audio bytes.

Usage: python3 tools/demo_station.py [--port N] [--verbose] [--icy-status]
Stops on Ctrl+C or SIGTERM. Standard library only.
"""

import argparse
import collections
import errno
import os
import signal
import socket
import subprocess
import sys
import threading
import time

DEFAULT_PORT = 8765
STATION_NAME = "Tunelark demo station"
META_INTERVAL = 16000          # audio bytes between metadata blocks, as Icecast
BURST_BYTES = 32 * 1024        # about 2 s at 128 kbps
HISTORY_SECONDS = 30.0         # a listener further behind than this is dropped
MAX_LISTENERS = 32
MAX_REQUEST_BYTES = 8192
REQUEST_TIMEOUT = 10.0
SEND_TIMEOUT = 15.0
STREAM_PATHS = ("/", "/demo.mp3")

HERE = os.path.dirname(os.path.abspath(__file__))


def log(verbose, text):
    if verbose:
        print("demo_station: " + text, file=sys.stderr, flush=True)


# ---- MP3 frames ----

BITRATES_KBPS = {  # (MPEG-1?, layer) -> index 1..14
    (True, 3): (32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320),
    (False, 3): (8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160),
}
SAMPLE_RATES = {3: (44100, 48000, 32000), 2: (22050, 24000, 16000), 0: (11025, 12000, 8000)}


def frame_info(header):
    """Returns (length in bytes, seconds, kbps) of the Layer III frame whose
    4 header bytes are given, or None when they are not a frame header."""
    if len(header) < 4 or header[0] != 0xFF or (header[1] & 0xE0) != 0xE0:
        return None
    version = (header[1] >> 3) & 3
    layer = 4 - ((header[1] >> 1) & 3)
    rate_index = (header[2] >> 4) & 15
    freq_index = (header[2] >> 2) & 3
    if version == 1 or layer != 3 or rate_index in (0, 15) or freq_index == 3:
        return None
    mpeg1 = version == 3
    kbps = BITRATES_KBPS[(mpeg1, 3)][rate_index - 1]
    rate = SAMPLE_RATES[version][freq_index]
    padding = (header[2] >> 1) & 1
    samples = 1152 if mpeg1 else 576
    length = samples // 8 * kbps * 1000 // rate + padding
    return length, samples / rate, kbps


def skip_id3v2(data):
    if len(data) >= 10 and data[:3] == b"ID3":
        size = 0
        for b in data[6:10]:
            size = (size << 7) | (b & 0x7F)
        return 10 + size + (10 if data[5] & 0x10 else 0)
    return 0


def split_frames(data):
    """Yields (frame bytes, seconds, kbps) for each MP3 frame of a file,
    skipping tags and anything between frames."""
    pos = skip_id3v2(data)
    while pos + 4 <= len(data):
        info = frame_info(data[pos:pos + 4])
        if info is None or pos + info[0] > len(data):
            pos += 1
            continue
        yield data[pos:pos + info[0]], info[1], info[2]
        pos += info[0]


class Song:
    def __init__(self, title, path):
        with open(path, "rb") as f:
            self.frames = list(split_frames(f.read()))
        if not self.frames:
            raise ValueError(path + " holds no MP3 frames")
        self.title = title


# ---- the songs ----

def song_list_path(folder):
    return os.path.join(folder, "songs.txt")


def songs_present(folder):
    try:
        with open(song_list_path(folder), encoding="utf-8") as f:
            lines = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    except OSError:
        return False
    return bool(lines) and all(
        len(parts) == 2 and os.path.isfile(os.path.join(folder, parts[0])) for parts in lines)


def make_songs(folder):
    script = os.path.join(HERE, "make_demo_audio.sh")
    print("demo_station: making the demo songs in " + folder, file=sys.stderr, flush=True)
    subprocess.run([script, folder], check=True)


def song_folder(requested):
    """The folder with the songs, making them when they are missing: beside
    this script, or in the user's cache folder when that cannot be written."""
    if requested:
        if not songs_present(requested):
            make_songs(requested)
        return requested
    folder = os.path.join(HERE, "demo_audio")
    if songs_present(folder):
        return folder
    cache = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
                         "tunelark", "demo_audio")
    if songs_present(cache):
        return cache
    try:
        make_songs(folder)
        return folder
    except (OSError, subprocess.CalledProcessError):
        make_songs(cache)
        return cache


def load_songs(folder):
    songs = []
    with open(song_list_path(folder), encoding="utf-8") as f:
        for line in f:
            if line.strip():
                name, title = line.rstrip("\n").split("\t")
                songs.append(Song(title, os.path.join(folder, name)))
    return songs


# ---- the broadcast: one timeline that every listener follows ----

class Broadcast:
    """Releases the songs' frames in real time into a shared history.
    Listeners read the history by sequence number under `cond`."""

    def __init__(self, songs, stop):
        self.songs = songs
        self.stop = stop
        self.cond = threading.Condition()
        self.history = collections.deque()  # (frame bytes, seconds, title); guarded by cond
        self.first_seq = 0                   # sequence number of history[0]; guarded by cond
        self.held_seconds = 0.0              # length of the history; guarded by cond
        self.kbps = songs[0].frames[0][2]

    def end_seq(self):
        return self.first_seq + len(self.history)

    def run(self):
        # Starting the clock a burst early fills the history at once, so the
        # first listener gets its burst like every later one.
        burst_seconds = BURST_BYTES * 8 / (self.kbps * 1000)
        clock = time.monotonic() - burst_seconds
        while not self.stop.is_set():
            for song in self.songs:
                for data, seconds, _ in song.frames:
                    delay = clock - time.monotonic()
                    if delay > 0 and self.stop.wait(delay):
                        return
                    if delay < -1.0:
                        # Woken late (a suspended computer): go on from now
                        # rather than rush the missed time out to listeners.
                        clock = time.monotonic()
                    self.publish(data, seconds, song.title)
                    clock += seconds

    def publish(self, data, seconds, title):
        with self.cond:
            self.history.append((data, seconds, title))
            self.held_seconds += seconds
            while self.held_seconds > HISTORY_SECONDS:
                self.held_seconds -= self.history.popleft()[1]
                self.first_seq += 1
            self.cond.notify_all()

    def burst_start(self):
        """Where a new listener starts: the last BURST_BYTES of the history."""
        with self.cond:
            seq, size = self.end_seq(), 0
            while seq > self.first_seq and size < BURST_BYTES:
                seq -= 1
                size += len(self.history[seq - self.first_seq][0])
            return seq

    def wait_frames(self, seq):
        """Blocks until frames after `seq` exist; returns them as a list of
        (bytes, title) and the next sequence number, or (None, seq) when the
        station stops or the listener fell out of the history."""
        with self.cond:
            while self.end_seq() <= seq and not self.stop.is_set():
                self.cond.wait(1.0)
            if self.stop.is_set() or seq < self.first_seq:
                return None, seq
            start = seq - self.first_seq
            frames = [(self.history[i][0], self.history[i][2])
                      for i in range(start, len(self.history))]
            return frames, self.end_seq()

    def wake_all(self):
        with self.cond:
            self.cond.notify_all()


# ---- listeners ----

def metadata_block(title):
    """An ICY metadata block: a length byte (in 16-byte units), then the text
    padded with NULs. None gives the empty block (the title did not change)."""
    if title is None:
        return b"\x00"
    text = ("StreamTitle='%s';" % title).encode("utf-8")[:255 * 16]
    units = (len(text) + 15) // 16
    return bytes([units]) + text.ljust(units * 16, b"\x00")


class IcyWriter:
    """Puts a metadata block before the audio byte that follows every
    META_INTERVAL audio bytes; the block names the song that byte belongs to,
    and is empty when that is the title this listener was last sent."""

    def __init__(self):
        self.until_meta = META_INTERVAL
        self.last_title = None

    def add(self, out, data, title):
        pos = 0
        while pos < len(data):
            if self.until_meta == 0:
                out += metadata_block(None if title == self.last_title else title)
                self.last_title = title
                self.until_meta = META_INTERVAL
            n = min(self.until_meta, len(data) - pos)
            out += data[pos:pos + n]
            self.until_meta -= n
            pos += n


def read_request(conn):
    """Reads the request head; returns (method, path, headers dict with
    lower-case names) or None when it is malformed, too long or too slow."""
    conn.settimeout(REQUEST_TIMEOUT)
    head = b""
    deadline = time.monotonic() + REQUEST_TIMEOUT
    while b"\r\n\r\n" not in head and b"\n\n" not in head:
        if len(head) > MAX_REQUEST_BYTES or time.monotonic() > deadline:
            return None
        chunk = conn.recv(2048)
        if not chunk:
            return None
        head += chunk
    lines = head.decode("latin-1").replace("\r\n", "\n").split("\n\n", 1)[0].split("\n")
    parts = lines[0].split()
    if len(parts) != 3 or not parts[2].startswith("HTTP/"):
        return None
    headers = {}
    for line in lines[1:]:
        name, sep, value = line.partition(":")
        if sep:
            headers[name.strip().lower()] = value.strip()
    return parts[0], parts[1].split("?", 1)[0], headers


def simple_response(conn, status, text):
    body = (text + "\n").encode()
    conn.sendall(("HTTP/1.0 %s\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                  "Connection: close\r\n\r\n" % (status, len(body))).encode() + body)


class Station:
    def __init__(self, broadcast, port, options):
        self.broadcast = broadcast
        self.port = port
        self.options = options
        self.lock = threading.Lock()
        self.clients = set()  # open listener sockets; guarded by lock

    def stream_head(self, with_meta):
        status = "ICY 200 OK" if self.options.icy_status else "HTTP/1.0 200 OK"
        lines = [status,
                 "Content-Type: audio/mpeg",
                 "icy-name: " + STATION_NAME,
                 "icy-description: Invented songs for trying Tunelark",
                 "icy-genre: Demo",
                 "icy-url: http://127.0.0.1:%d/" % self.port,
                 "icy-br: %d" % self.broadcast.kbps,
                 "icy-pub: 0",
                 "Cache-Control: no-cache, no-store",
                 "Server: Tunelark demo station"]
        if with_meta:
            lines.append("icy-metaint: %d" % META_INTERVAL)
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")

    def serve(self, conn, peer):
        request = read_request(conn)
        if request is None:
            simple_response(conn, "400 Bad Request", "Bad request")
            return
        method, path, headers = request
        if method not in ("GET", "HEAD"):
            simple_response(conn, "405 Method Not Allowed", "Only GET is served here")
            return
        if path not in STREAM_PATHS:
            simple_response(conn, "404 Not Found", "The stream is at / or /demo.mp3")
            return
        with_meta = headers.get("icy-metadata", "").strip() == "1"
        conn.settimeout(SEND_TIMEOUT)
        conn.sendall(self.stream_head(with_meta))
        if method == "GET":
            log(self.options.verbose, "%s:%d listens%s" % (peer + (" with titles" if with_meta else "",)))
            self.stream(conn, with_meta)

    def stream(self, conn, with_meta):
        writer = IcyWriter() if with_meta else None
        seq = self.broadcast.burst_start()
        while True:
            frames, seq = self.broadcast.wait_frames(seq)
            if frames is None:
                return
            out = bytearray()
            for data, title in frames:
                if writer:
                    writer.add(out, data, title)
                else:
                    out += data
            conn.sendall(out)

    def handle(self, conn, peer):
        try:
            self.serve(conn, peer)
        except OSError:
            pass  # the listener went away or stopped reading
        finally:
            with self.lock:
                self.clients.discard(conn)
            conn.close()
            log(self.options.verbose, "%s:%d left" % peer)

    def accept(self, conn, peer):
        with self.lock:
            full = len(self.clients) >= MAX_LISTENERS
            if not full:
                self.clients.add(conn)
        if full:
            try:
                conn.settimeout(2.0)
                simple_response(conn, "503 Service Unavailable", "Too many listeners")
            except OSError:
                pass
            conn.close()
            return
        threading.Thread(target=self.handle, args=(conn, peer), daemon=True).start()

    def close_all(self):
        with self.lock:
            clients = list(self.clients)
        for conn in clients:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


# ---- start and stop ----

def listening_socket(port):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        server.bind(("127.0.0.1", port))
    except OSError as e:
        server.close()
        if e.errno == errno.EADDRINUSE:
            print("demo_station: port %d is already in use (is the demo station running?); not starting"
                  % port, file=sys.stderr)
        else:
            print("demo_station: cannot listen on 127.0.0.1:%d: %s" % (port, e.strerror), file=sys.stderr)
        sys.exit(1)
    server.listen(16)
    server.settimeout(0.5)
    return server


def parse_options():
    parser = argparse.ArgumentParser(description="Tunelark demo station: a local MP3 radio stream.")
    parser.add_argument("--port", type=int, default=DEFAULT_PORT,
                        help="port on 127.0.0.1 (default %d)" % DEFAULT_PORT)
    parser.add_argument("--audio", help="folder with songs.txt and the MP3 files (default: tools/demo_audio)")
    parser.add_argument("--icy-status", action="store_true",
                        help='answer "ICY 200 OK" instead of "HTTP/1.0 200 OK", as old SHOUTcast servers do')
    parser.add_argument("--verbose", action="store_true", help="report listeners on stderr")
    return parser.parse_args()


def main():
    options = parse_options()
    server = listening_socket(options.port)
    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    try:
        songs = load_songs(song_folder(options.audio))
    except (OSError, ValueError, subprocess.CalledProcessError) as e:
        print("demo_station: no songs to play: %s" % e, file=sys.stderr)
        return 1
    broadcast = Broadcast(songs, stop)
    threading.Thread(target=broadcast.run, daemon=True).start()
    station = Station(broadcast, options.port, options)
    log(options.verbose, "playing at http://127.0.0.1:%d/" % options.port)
    while not stop.is_set():
        try:
            conn, peer = server.accept()
        except socket.timeout:
            continue
        except OSError:
            if stop.is_set():
                break
            raise
        station.accept(conn, peer)
    server.close()
    broadcast.wake_all()
    station.close_all()
    return 0


if __name__ == "__main__":
    sys.exit(main())
