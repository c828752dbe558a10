#!/usr/bin/env python3
"""Scripted HTTP / ICY radio server for Tunelark's tests (Python 3, stdlib only).

Run:   python3 stream_server.py [--port N] [routes.json]

It binds 127.0.0.1 on a free port (or port N) and prints that port as its
first line on stdout. Routes come from the optional file (a JSON list of route objects) and
from commands on stdin. Without a routes file it exits when stdin closes, so
it never outlives the test that started it (tests/support/stream_server.h
does all of this for gtest); with one it serves until it is killed (Ctrl-C),
for manual use.

Commands: one JSON object per line on stdin; one JSON reply line on stdout.
  {"cmd": "route", "path": "/a", ...}  add or replace a route  -> {"ok": true}
  {"cmd": "requests", "path": "/a"}   request heads received on that path
      -> {"ok": true, "requests": [{"line": "GET /a HTTP/1.1", "headers": ["Icy-MetaData: 1", ...]}]}
      a request whose connection has ended (answer sent, or the client
      left) also carries "done": true
  {"cmd": "open", "gate": "g"}        let connections waiting at gate g go on
                                      (and any that reach it later) -> {"ok": true}
  {"cmd": "quit"}                     -> {"ok": true}, then the server exits

A route says what every connection to its path gets (the request's path and
query are matched exactly first, then the path alone; no match gets a 404):
  action     "respond" (default); "silent": read the request, never answer;
             "close": close at once without sending a byte
  delay      seconds to wait before answering
  status     the status line, default "HTTP/1.0 200 OK" ("ICY 200 OK",
             "HTTP/1.1 302 Found", "HTTP/1.0 404 Not Found", anything)
  headers    header lines sent as given, e.g. ["Content-Type: audio/mpeg",
             "icy-metaint: 16000", "Location: /b"]
  pad_headers  that many bytes more of filler header lines (huge heads)
  head       raw text sent instead of status, headers and blank line
  head_hex   the same as hex bytes (garbage, no blank line...)
  head_rate  bytes per second for the head (1: a byte a second); default all at once
  body       a list of parts, sent in order (see below)
  loop       true: the body starts again after its last part (endless stream)
  rate       bytes per second for the body (metadata included); default unlimited
  then       after the body: "close" (default) or "stall" (stay silent and
             open until the client leaves)
  metaint    insert ICY metadata after every `metaint` audio bytes
  meta       metadata blocks by index; block k follows audio byte
             (k + 1) * metaint - 1. Each is one of
               {"block": k, "title": "X"}        StreamTitle='X'; padded with NULs
               {"block": k, "text": "..."}       that text padded with NULs
               {"block": k, "length": L, "fill": "A"}  length byte L, L*16 fill bytes, no NUL
               {"block": k, "hex": "05414243"}   exactly these bytes (short: a cut-off block)
             Blocks not listed are empty (a single zero byte).
  titles     {"every": n, "list": ["A", "B"]}: block k with k % n == 0 carries
             StreamTitle='list[(k / n) % len]'; (for endless streams)

Body parts:
  {"text": "..."}           text (bytes that are not UTF-8 in a command pass as they are)
  {"hex": "fffb9064"}       bytes
  {"file": "/abs/path"}     a file's bytes
  {"bytes": N, "pattern": "counter", "start": s}  N bytes (start + i) % 251;
                            "zero" or "random" (with "seed") patterns too
  {"pause": seconds}        wait, then go on
  {"gate": "g"}             wait until the test opens gate g (see the commands):
                            a test acts while nothing flows, however slow it is
  {"stall": true}           stop sending; stay open until the client leaves
  {"close": true}           close the connection now (mid-stream)

"{base}" in header lines, heads and text parts becomes http://127.0.0.1:<port>.
A TLS handshake gets a plain-text answer: https:// to this server fails its
handshake at once.
"""

import json
import random
import socket
import socketserver
import sys
import threading
import time

MAX_REQUEST_HEAD = 64 * 1024


class Routes:
    def __init__(self):
        self._lock = threading.Lock()
        self._routes = {}
        self._requests = {}

    def set(self, route):
        with self._lock:
            self._routes[route["path"]] = route

    def find(self, target):
        path = target.split("?", 1)[0]
        with self._lock:
            return self._routes.get(target) or self._routes.get(path)

    def log(self, target, line, headers):
        path = target.split("?", 1)[0]
        with self._lock:
            entry = {"line": line, "headers": headers}
            self._requests.setdefault(path, []).append(entry)
            return entry

    def finish(self, entry):
        with self._lock:
            entry["done"] = True

    def requests(self, path):
        with self._lock:
            return [dict(entry) for entry in self._requests.get(path, [])]


class ClientGone(Exception):
    pass


class Gates:
    def __init__(self):
        self._lock = threading.Lock()
        self._events = {}

    def get(self, name):
        with self._lock:
            return self._events.setdefault(name, threading.Event())


GATES = Gates()


def generated(part):
    count = int(part["bytes"])
    pattern = part.get("pattern", "counter")
    if pattern == "zero":
        return bytes(count)
    if pattern == "random":
        return random.Random(part.get("seed", 1)).randbytes(count)
    start = int(part.get("start", 0))
    return bytes((start + i) % 251 for i in range(count))


def encoded(text):
    # Command bytes that are not UTF-8 arrive as surrogate escapes and
    # leave as the same bytes (titles in Windows-1251, Latin-1...).
    return text.encode("utf-8", "surrogateescape")


def padded_text(text):
    data = encoded(text)
    blocks = (len(data) + 15) // 16
    if blocks > 255:
        raise ValueError("metadata text longer than 4080 bytes")
    return bytes([blocks]) + data + bytes(blocks * 16 - len(data))


def metadata_block(spec):
    if "hex" in spec:
        return bytes.fromhex(spec["hex"])
    if "length" in spec:
        length = int(spec["length"])
        return bytes([length]) + spec.get("fill", "A").encode("latin-1")[:1] * (length * 16)
    if "title" in spec:
        return padded_text("StreamTitle='%s';" % spec["title"])
    return padded_text(spec.get("text", ""))


class Connection:
    """One client: sends what its route says."""

    def __init__(self, sock, route, base):
        self.sock = sock
        self.route = route
        self.base = base
        self.rate = route.get("rate")
        self.sent = 0
        self.started = time.monotonic()
        self.metaint = int(route.get("metaint", 0) or 0)
        self.audio_left = self.metaint
        self.block_index = 0
        self.blocks = {int(b["block"]): b for b in route.get("meta", [])}

    def expand(self, text):
        return text.replace("{base}", self.base)

    def send_raw(self, data):
        try:
            self.sock.sendall(data)
        except OSError:
            raise ClientGone()

    def send_paced(self, data):
        if not self.rate:
            self.send_raw(data)
            return
        chunk = max(1, int(self.rate) // 20)
        for offset in range(0, len(data), chunk):
            piece = data[offset:offset + chunk]
            self.send_raw(piece)
            self.sent += len(piece)
            due = self.started + self.sent / float(self.rate)
            delay = due - time.monotonic()
            if delay > 0:
                time.sleep(delay)

    def head(self):
        if "head_hex" in self.route:
            return bytes.fromhex(self.route["head_hex"])
        if "head" in self.route:
            return encoded(self.expand(self.route["head"]))
        lines = [self.route.get("status", "HTTP/1.0 200 OK")]
        lines += [self.expand(h) for h in self.route.get("headers", [])]
        pad = int(self.route.get("pad_headers", 0))
        index = 0
        while pad > 0:
            line = "X-Pad-%d: %s" % (index, "p" * min(1000, pad))
            lines.append(line)
            pad -= len(line) + 2
            index += 1
        return encoded("\r\n".join(lines) + "\r\n\r\n")

    def send_head(self):
        data = self.head()
        rate = self.route.get("head_rate")
        if not rate:
            self.send_raw(data)
            return
        for i in range(len(data)):
            self.send_raw(data[i:i + 1])
            time.sleep(1.0 / float(rate))

    def next_block(self):
        index = self.block_index
        self.block_index += 1
        if index in self.blocks:
            return metadata_block(self.blocks[index])
        titles = self.route.get("titles")
        if titles and index % int(titles["every"]) == 0:
            names = titles["list"]
            return padded_text("StreamTitle='%s';" % names[(index // int(titles["every"])) % len(names)])
        return b"\x00"

    def send_audio(self, data):
        if not self.metaint:
            self.send_paced(data)
            return
        while data:
            run = data[:self.audio_left]
            data = data[len(run):]
            self.audio_left -= len(run)
            out = run
            if self.audio_left == 0:
                out += self.next_block()
                self.audio_left = self.metaint
            self.send_paced(out)

    def wait_for_client_to_leave(self):
        try:
            while self.sock.recv(65536):
                pass
        except OSError:
            pass
        raise ClientGone()

    def client_left(self):
        try:
            return self.sock.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT) == b""
        except BlockingIOError:
            return False
        except OSError:
            return True

    def wait_at_gate(self, name):
        gate = GATES.get(name)
        while not gate.wait(0.2):
            if self.client_left():
                raise ClientGone()

    def send_part(self, part):
        if "gate" in part:
            self.wait_at_gate(str(part["gate"]))
        elif "pause" in part:
            time.sleep(float(part["pause"]))
        elif part.get("stall"):
            self.wait_for_client_to_leave()
        elif part.get("close"):
            raise ClientGone()
        elif "text" in part:
            self.send_audio(encoded(self.expand(part["text"])))
        elif "hex" in part:
            self.send_audio(bytes.fromhex(part["hex"]))
        elif "file" in part:
            with open(part["file"], "rb") as f:
                self.send_audio(f.read())
        elif "bytes" in part:
            self.send_audio(generated(part))

    def run(self):
        action = self.route.get("action", "respond")
        if action == "close":
            return
        if action == "silent":
            self.wait_for_client_to_leave()
        time.sleep(float(self.route.get("delay", 0)))
        self.send_head()
        self.started = time.monotonic()
        while True:
            for part in self.route.get("body", []):
                self.send_part(part)
            if not self.route.get("loop") or not self.route.get("body"):
                break
        if self.route.get("then") == "stall":
            self.wait_for_client_to_leave()


NOT_FOUND = {"status": "HTTP/1.0 404 Not Found", "headers": ["Content-Type: text/plain"],
             "body": [{"text": "no such route\n"}]}


def read_request_head(sock):
    data = sock.recv(4096)
    if data[:1] == b"\x16":
        # A TLS handshake: answer in plain text, as a misconfigured server
        # would, so the client fails its handshake at once.
        sock.sendall(b"HTTP/1.0 400 Bad Request\r\n\r\n")
        return None
    while b"\r\n\r\n" not in data and b"\n\n" not in data:
        chunk = sock.recv(4096)
        if not chunk or len(data) > MAX_REQUEST_HEAD:
            return None
        data += chunk
    text = data.decode("latin-1")
    lines = text.replace("\r\n", "\n").split("\n\n", 1)[0].split("\n")
    return lines[0], lines[1:]


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        entry = None
        try:
            head = read_request_head(sock)
            if head is None:
                return
            line, headers = head
            parts = line.split(" ")
            target = parts[1] if len(parts) > 1 else "/"
            entry = self.server.routes.log(target, line, headers)
            route = self.server.routes.find(target) or NOT_FOUND
            Connection(sock, route, self.server.base).run()
        except (ClientGone, OSError):
            pass
        finally:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            if entry is not None:
                self.server.routes.finish(entry)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def reply(obj):
    sys.stdout.write(json.dumps(obj) + "\n")
    sys.stdout.flush()


def run_command(server, command):
    kind = command.get("cmd")
    if kind == "route":
        route = dict(command)
        del route["cmd"]
        server.routes.set(route)
        return {"ok": True}
    if kind == "requests":
        return {"ok": True, "requests": server.routes.requests(command.get("path", "/"))}
    if kind == "open":
        GATES.get(str(command.get("gate", ""))).set()
        return {"ok": True}
    if kind == "quit":
        return {"ok": True}
    return {"ok": False, "error": "unknown command %r" % kind}


def serve_commands(server, until_killed):
    for raw in sys.stdin.buffer:
        text = raw.decode("utf-8", "surrogateescape").strip()
        if not text:
            continue
        try:
            command = json.loads(text)
            reply(run_command(server, command))
        except (ValueError, KeyError, TypeError) as error:
            reply({"ok": False, "error": str(error)})
            continue
        if command.get("cmd") == "quit":
            until_killed = False
            break
    if not until_killed:
        server.shutdown()


def main():
    args = sys.argv[1:]
    port = 0
    if args[:1] == ["--port"] and len(args) > 1:
        port = int(args[1])
        args = args[2:]
    server = Server(("127.0.0.1", port), Handler)
    server.routes = Routes()
    port = server.server_address[1]
    server.base = "http://127.0.0.1:%d" % port
    if args:
        with open(args[0]) as f:
            for route in json.load(f):
                server.routes.set(route)
    reply(port)
    threading.Thread(target=serve_commands, args=(server, bool(args)), daemon=True).start()
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
