#!/usr/bin/env python3
"""Local HLS stations for Tunelark's tests (Python 3 stdlib, and ffmpeg).

Run:   python3 hls_server.py DIR [--ts] [--fmp4] [--port N]

Binds 127.0.0.1 on port N (default: a free one), prints the port as its first
line, serves until stdin closes or SIGTERM (then stops its ffmpeg processes
and exits). Started again with the same DIR and port, it is the same station
come back after a drop.

  /files/...          DIR's files (.m3u8 as application/vnd.apple.mpegurl), a
                      "Range: bytes=a-b" answered with those bytes (206)
  --ts                ffmpeg's live sliding window of MPEG-TS segments, two
                      variants (500 Hz at 48k, 1000 Hz at 128k) under
                      DIR/ts/, master playlist /files/ts/master.m3u8
  --fmp4              the same in fragmented MP4 (750 Hz), /files/fmp4/index.m3u8
  /packed.m3u8?...    a live window of packed audio written here: DIR/packed.aac
                      (ADTS) cut into segments of SEG frames, each with an ID3
                      tag (transport stream timestamp, TPE1 "Artist k", TIT2
                      "Song k", k = sequence // every). Query:
                        every=N     segments per title (default 2)
                        missing=a,b sequence numbers answered 404
                        restart=S   after S seconds numbering starts again at 0
                                    under other names
                        target=T    the TARGETDURATION written
                        freeze=S    after S seconds the playlist stops moving
"""

import http.server
import os
import signal
import socketserver
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

FRAMES_PER_SEGMENT = 86  # 2 s of AAC at 44100 Hz
WINDOW = 5
TYPES = {".m3u8": "application/vnd.apple.mpegurl", ".ts": "video/mp2t", ".aac": "audio/aac",
         ".m4s": "video/iso.segment", ".mp4": "video/mp4", ".key": "application/octet-stream"}


def adts_frames(data):
    frames, at = [], 0
    while at + 7 <= len(data) and data[at] == 0xFF and (data[at + 1] & 0xF6) == 0xF0:
        length = ((data[at + 3] & 3) << 11) | (data[at + 4] << 3) | (data[at + 5] >> 5)
        if length < 7:
            break
        frames.append(data[at:at + length])
        at += length
    return frames


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3_frame(ident, body):
    return ident.encode() + syncsafe(len(body)) + b"\0\0" + body


def id3_tag(sequence, every, seconds):
    k = sequence // every
    owner = b"com.apple.streaming.transportStreamTimestamp\0"
    frames = id3_frame("PRIV", owner + struct.pack(">Q", int(sequence * seconds * 90000)))
    frames += id3_frame("TPE1", b"\3" + ("Artist %d" % k).encode())
    frames += id3_frame("TIT2", b"\3" + ("Song %d" % k).encode())
    return b"ID3\4\0\0" + syncsafe(len(frames)) + frames


class Packed:
    def __init__(self, path):
        frames = adts_frames(open(path, "rb").read()) if os.path.exists(path) else []
        self.segments = [b"".join(frames[i:i + FRAMES_PER_SEGMENT])
                         for i in range(0, len(frames) - FRAMES_PER_SEGMENT + 1, FRAMES_PER_SEGMENT)]
        self.seconds = FRAMES_PER_SEGMENT * 1024 / 44100.0
        self.start = time.monotonic()

    def now_sequence(self, query):
        elapsed = time.monotonic() - self.start
        freeze = float(query.get("freeze", ["1e9"])[0])
        elapsed = min(elapsed, freeze)
        restart = float(query.get("restart", ["1e9"])[0])
        prefix = "seg"
        if elapsed >= restart:
            elapsed -= restart
            prefix = "again"
        return int(elapsed / self.seconds) + WINDOW, prefix

    def playlist(self, query, raw_query):
        last, prefix = self.now_sequence(query)
        first = max(0, last - WINDOW + 1)
        target = query.get("target", ["%d" % round(self.seconds + 0.5)])[0]
        lines = ["#EXTM3U", "#EXT-X-VERSION:3", "#EXT-X-TARGETDURATION:" + target,
                 "#EXT-X-MEDIA-SEQUENCE:%d" % first]
        for n in range(first, last + 1):
            lines += ["#EXTINF:%.3f," % self.seconds, "%s%d.aac?%s" % (prefix, n, raw_query)]
        return ("\n".join(lines) + "\n").encode()

    def segment(self, sequence, query):
        missing = [int(x) for x in query.get("missing", [""])[0].split(",") if x]
        if sequence in missing or not self.segments:
            return None
        every = int(query.get("every", ["2"])[0])
        return id3_tag(sequence, every, self.seconds) + self.segments[sequence % len(self.segments)]


def make_handler(root, packed):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def answer_part(self, body, ctype):
            first, _, last = self.headers["Range"][len("bytes="):].partition("-")
            first, last = int(first), min(int(last or len(body) - 1), len(body) - 1)
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, len(body)))
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(last + 1 - first))
            self.end_headers()
            self.wfile.write(body[first:last + 1])

        def answer(self, body, ctype):
            if body is None:
                self.send_response(404)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            self.send_response(200)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query)
            name = os.path.basename(url.path)
            if url.path == "/packed.m3u8":
                return self.answer(packed.playlist(query, url.query), TYPES[".m3u8"])
            for prefix in ("seg", "again"):
                if url.path.startswith("/" + prefix) and name.endswith(".aac"):
                    return self.answer(packed.segment(int(name[len(prefix):-4]), query), TYPES[".aac"])
            path = os.path.normpath(os.path.join(root, url.path[len("/files/"):]))
            if not url.path.startswith("/files/") or not path.startswith(root) or not os.path.isfile(path):
                return self.answer(None, "")
            with open(path, "rb") as f:
                body, ctype = f.read(), TYPES.get(os.path.splitext(path)[1], "application/octet-stream")
            if (self.headers["Range"] or "").startswith("bytes="):
                return self.answer_part(body, ctype)
            self.answer(body, ctype)

    return Handler


def tone(frequency, rate):
    return ["-f", "lavfi", "-i", "aevalsrc=0.5*sin(2*PI*%d*t):s=%d" % (frequency, rate)]


def start_ffmpeg(root, kind):
    out = os.path.join(root, kind)
    os.makedirs(out, exist_ok=True)
    # A live station that drops never says its list ended: neither does the
    # window a stopped encoder leaves behind.
    live = ["-f", "hls", "-hls_time", "2", "-hls_list_size", "5", "-hls_flags", "delete_segments+omit_endlist"]
    if kind == "ts":
        args = tone(500, 44100) + tone(1000, 44100) + [
            "-map", "0:a", "-map", "1:a", "-ac", "2", "-c:a", "aac", "-b:a:0", "48k", "-b:a:1", "128k"] + live + [
            "-master_pl_name", "master.m3u8", "-var_stream_map", "a:0 a:1",
            "-hls_segment_filename", os.path.join(out, "v%v_%05d.ts"), os.path.join(out, "v%v.m3u8")]
    else:
        args = tone(750, 48000) + ["-ac", "2", "-c:a", "aac", "-b:a", "96k"] + live + [
            "-hls_segment_type", "fmp4", "-hls_fmp4_init_filename", "init.mp4",
            "-hls_segment_filename", os.path.join(out, "s%05d.m4s"), os.path.join(out, "index.m3u8")]
    return subprocess.Popen(["ffmpeg", "-loglevel", "error", "-nostdin", "-re"] + args, stdin=subprocess.DEVNULL)


def main():
    root = os.path.abspath(sys.argv[1])
    packed = Packed(os.path.join(root, "packed.aac"))
    port = int(sys.argv[sys.argv.index("--port") + 1]) if "--port" in sys.argv else 0
    # A port given again after a drop is taken back at once, its closed
    # connections still waiting out TIME_WAIT notwithstanding.
    socketserver.ThreadingTCPServer.allow_reuse_address = True
    server = socketserver.ThreadingTCPServer(("127.0.0.1", port), make_handler(root, packed))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    encoders = [start_ffmpeg(root, kind) for kind in ("ts", "fmp4") if "--" + kind in sys.argv]
    # Stopped by its stdin closing or by a signal: its encoders stop with it.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        print(server.server_address[1], flush=True)
        sys.stdin.read()
    finally:
        for e in encoders:
            e.terminate()
            e.wait()


if __name__ == "__main__":
    main()
