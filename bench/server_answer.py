#!/usr/bin/env python3
"""How long a server takes to answer a new listener, seen from a bare socket.

For each address: connect, send a plain GET asking for ICY metadata, and time
the first byte of the answer and the first byte after its headers (the audio).
No player is involved, so this is the server's own share of any player's
wait for its first sample.

Usage: server_answer.py [--runs N] URL...   (http://127.0.0.1:PORT/path only)
"""

import argparse
import socket
import statistics
import time
import urllib.parse

TIMEOUT = 10.0
GAP = 0.3


def time_answer(url):
    parts = urllib.parse.urlsplit(url)
    start = time.monotonic()
    with socket.create_connection((parts.hostname, parts.port or 80), timeout=TIMEOUT) as conn:
        request = "GET %s HTTP/1.0\r\nHost: %s\r\nIcy-MetaData: 1\r\n\r\n" % (parts.path or "/", parts.netloc)
        conn.sendall(request.encode("ascii"))
        received = b""
        first_byte = None
        while True:
            block = conn.recv(65536)
            if not block:
                raise RuntimeError("%s closed before any audio" % url)
            now = time.monotonic()
            first_byte = first_byte or now
            received += block
            end = received.find(b"\r\n\r\n")
            if end >= 0 and len(received) > end + 4:
                return (first_byte - start) * 1000, (now - start) * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("urls", nargs="+")
    args = parser.parse_args()
    print("| stream | runs | first byte of the answer | first audio byte |")
    print("|---|---|---|---|")
    for url in args.urls:
        answers, audio = [], []
        for _ in range(args.runs):
            first, sound = time_answer(url)
            answers.append(first)
            audio.append(sound)
            time.sleep(GAP)
        print("| %s | %d | %.1f / %.1f ms | %.1f / %.1f ms |" % (
            url, args.runs, statistics.median(answers), max(answers),
            statistics.median(audio), max(audio)), flush=True)


if __name__ == "__main__":
    main()
